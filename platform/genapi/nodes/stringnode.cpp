#include "platform/genapi/nodes/stringnode.h"

#include <limits>

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

void StringNode::Link() {
  ValueNode::Link();
  if (const XmlProperty* p = Property("Value")) value_ = p->text;
  targetNode_ = ResolveOptional("pValue");
  if (targetNode_ != nullptr) {
    target_ = dynamic_cast<IString*>(targetNode_);
    if (target_ == nullptr) {
      throw RUNTIME_EXCEPTION("Node '%s': pValue '%s' is not a string", Name().c_str(),
                              targetNode_->Name().c_str());
    }
  }
}

EAccessMode StringNode::OwnAccessMode() const {
  return targetNode_ ? targetNode_->AccessMode() : RW;
}

void StringNode::SetValue(const gcstring& Value, bool Verify) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  RecursionGuard recursion(valueBusy_, *this);
  if (target_) {
    target_->SetValue(Value, Verify);
    return;
  }
  value_ = Value.str();
  NotifyChanged();
}

gcstring StringNode::GetValue(bool Verify, bool IgnoreCache) {
  NodeMap::Guard guard(Map());
  CheckReadable();
  RecursionGuard recursion(valueBusy_, *this);
  return target_ ? target_->GetValue(Verify, IgnoreCache) : gcstring(value_);
}

int64_t StringNode::GetMaxLength() {
  NodeMap::Guard guard(Map());
  RecursionGuard recursion(valueBusy_, *this);
  return target_ ? target_->GetMaxLength() : std::numeric_limits<int64_t>::max();
}

gcstring StringNode::ToString(bool Verify, bool IgnoreCache) {
  return GetValue(Verify, IgnoreCache);
}

void StringNode::FromString(const gcstring& ValueStr, bool Verify) { SetValue(ValueStr, Verify); }

}  // namespace GenApi
