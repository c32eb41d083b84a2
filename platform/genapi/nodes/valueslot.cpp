#include "platform/genapi/nodes/valueslot.h"

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

ValueSlot::Entry ValueSlot::Parse(NodeBase& owner, const XmlProperty& property, bool isNode) const {
  Entry entry;
  if (isNode) {
    entry.node = owner.Resolve(property);
  } else {
    entry.constant = isFloat_ ? Number::Float(ParseFloat(property.text, owner))
                              : Number::Int(ParseInteger(property.text, owner));
  }
  return entry;
}

void ValueSlot::Configure(NodeBase& owner, bool isFloat) {
  owner_ = &owner;
  isFloat_ = isFloat;
  direct_.constant = isFloat ? Number::Float(0.0) : Number::Int(0);
  for (const XmlProperty* p : owner.Properties("Value")) direct_ = Parse(owner, *p, false);
  for (const XmlProperty* p : owner.Properties("pValue")) direct_ = Parse(owner, *p, true);
  index_ = owner.ResolveOptional("pIndex");
  if (index_ == nullptr) return;
  for (const char* name : {"ValueIndexed", "pValueIndexed"}) {
    const bool isNode = name[0] == 'p';
    for (const XmlProperty* p : owner.Properties(name)) {
      const std::string* index = p->Attribute("Index");
      if (index == nullptr) {
        throw RUNTIME_EXCEPTION("Node '%s': %s without Index", owner.Name().c_str(), name);
      }
      indexed_.emplace_back(ParseInteger(*index, owner), Parse(owner, *p, isNode));
    }
  }
  for (const XmlProperty* p : owner.Properties("ValueDefault")) default_ = Parse(owner, *p, false);
  for (const XmlProperty* p : owner.Properties("pValueDefault")) default_ = Parse(owner, *p, true);
}

ValueSlot::Entry& ValueSlot::Current() {
  if (index_ == nullptr) return direct_;
  const int64_t index = index_->ReadNumber(false, false).AsInt();
  for (auto& [key, entry] : indexed_) {
    if (key == index) return entry;
  }
  if (default_) return *default_;
  throw OUT_OF_RANGE_EXCEPTION("Node '%s': no value for index %lld", owner_->Name().c_str(),
                               static_cast<long long>(index));
}

Number ValueSlot::Convert(const Number& value) const {
  if (isFloat_) return Number::Float(value.AsFloat());
  return Number::Int(value.AsInt());
}

Number ValueSlot::Read(bool verify, bool ignoreCache) {
  Entry& entry = Current();
  // The owner checked its own access, which includes the target's.
  return Convert(entry.node ? entry.node->ReadNumberTrusted(verify, ignoreCache) : entry.constant);
}

void ValueSlot::Write(const Number& value, bool verify) {
  Entry& entry = Current();
  if (entry.node) {
    // The owner checked its own access, which includes the target's.
    entry.node->WriteNumberTrusted(value, verify);
    return;
  }
  entry.constant = Convert(value);
  owner_->Map().NodeChanged(*owner_);
}

EAccessMode ValueSlot::AccessMode() const {
  if (index_ && !IsReadable(index_->AccessMode())) return NA;
  NodeBase* target = const_cast<ValueSlot*>(this)->Target();
  return target ? target->AccessMode() : RW;
}

NodeBase* ValueSlot::Target() { return Current().node; }

bool ValueSlot::CacheValid() {
  NodeBase* target = Target();
  if (target == nullptr) return true;
  auto* value = dynamic_cast<IValue*>(target);
  return value == nullptr || value->IsValueCacheValid();
}

void LimitRef::Configure(NodeBase& owner, const char* inlineName, const char* nodeName,
                         bool isFloat) {
  if (const XmlProperty* p = owner.Property(inlineName)) {
    constant_ = isFloat ? Number::Float(ParseFloat(p->text, owner))
                        : Number::Int(ParseInteger(p->text, owner));
  }
  node_ = owner.ResolveOptional(nodeName);
}

Number LimitRef::Get() const {
  if (node_) return node_->ReadNumber(false, false);
  return *constant_;
}

}  // namespace GenApi
