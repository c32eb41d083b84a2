#include "platform/genapi/nodemap/selectorset.h"

#include <algorithm>

#include "platform/genapi/api/pointer.h"

namespace GenApi {

CSelectorSet::CSelectorSet(IBase* pBase) {
  Collect(pBase);
  for (IValue* selector : selectors_) {
    saved_.push_back(IsReadable(selector) ? selector->ToString() : gcstring());
  }
}

void CSelectorSet::Collect(IBase* base) {
  auto* selector = dynamic_cast<ISelector*>(base);
  if (selector == nullptr) return;
  FeatureList_t selecting;
  selector->GetSelectingFeatures(selecting);
  for (IValue* s : selecting) {
    if (std::find(selectors_.begin(), selectors_.end(), s) != selectors_.end()) continue;
    Collect(s);  // selectors of this selector come first
    if (std::find(selectors_.begin(), selectors_.end(), s) == selectors_.end()) {
      selectors_.push_back(s);
    }
  }
}

bool CSelectorSet::First(IValue* selector) {
  if (!IsWritable(selector)) return false;
  if (auto* e = dynamic_cast<IEnumeration*>(selector)) {
    StringList_t symbolics;
    e->GetSymbolics(symbolics);
    if (symbolics.empty()) return false;
    e->FromString(symbolics.front());
  } else if (auto* i = dynamic_cast<IInteger*>(selector)) {
    i->SetValue(i->GetMin());
  } else if (auto* b = dynamic_cast<IBoolean*>(selector)) {
    b->SetValue(false);
  } else {
    return false;
  }
  return true;
}

bool CSelectorSet::Next(IValue* selector) {
  if (!IsWritable(selector) || !IsReadable(selector)) return false;
  if (auto* e = dynamic_cast<IEnumeration*>(selector)) {
    StringList_t symbolics;
    e->GetSymbolics(symbolics);
    const auto it = std::find(symbolics.begin(), symbolics.end(), e->ToString());
    if (it == symbolics.end() || it + 1 == symbolics.end()) return false;
    e->FromString(*(it + 1));
    return true;
  }
  if (auto* i = dynamic_cast<IInteger*>(selector)) {
    const int64_t value = i->GetValue();
    const int64_t inc = i->GetInc();
    if (value > i->GetMax() - inc) return false;
    i->SetValue(value + inc);
    return true;
  }
  if (auto* b = dynamic_cast<IBoolean*>(selector)) {
    if (b->GetValue()) return false;
    b->SetValue(true);
    return true;
  }
  return false;
}

void CSelectorSet::SetFirst() {
  for (IValue* selector : selectors_) First(selector);
}

bool CSelectorSet::SetNext(bool) {
  for (size_t i = selectors_.size(); i-- > 0;) {
    if (Next(selectors_[i])) return true;
    First(selectors_[i]);
  }
  return false;
}

void CSelectorSet::Restore() {
  for (size_t i = 0; i < selectors_.size(); ++i) {
    if (!saved_[i].empty() && IsWritable(selectors_[i])) selectors_[i]->FromString(saved_[i]);
  }
}

gcstring CSelectorSet::ToString() {
  std::string text;
  for (IValue* selector : selectors_) {
    if (!text.empty()) text += ' ';
    text += selector->GetNode()->GetName().str() + "=" +
            (IsReadable(selector) ? selector->ToString().str() : std::string("?"));
  }
  return text;
}

void CSelectorSet::GetSelectorList(FeatureList_t& SelectorList, bool Incremental) {
  SelectorList.clear();
  listed_.resize(selectors_.size());
  for (size_t i = 0; i < selectors_.size(); ++i) {
    const gcstring value = IsReadable(selectors_[i]) ? selectors_[i]->ToString() : gcstring();
    if (!Incremental || listed_[i] != value || listed_[i].empty()) {
      SelectorList.push_back(selectors_[i]);
    }
    listed_[i] = value;
  }
}

}  // namespace GenApi
