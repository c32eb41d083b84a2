#include "platform/genapi/nodes/enumerationnode.h"

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

EnumEntryNode::EnumEntryNode(NodeMap& map, SharedNodeXml xml, std::string symbolic)
    : ValueNode(map, std::move(xml)), symbolic_(std::move(symbolic)) {}

void EnumEntryNode::Link() {
  ValueNode::Link();
  if (const XmlProperty* p = Property("Value")) value_ = ParseInteger(p->text, *this);
  numericValue_ = static_cast<double>(value_);
  if (const XmlProperty* p = Property("NumericValue")) numericValue_ = ParseFloat(p->text, *this);
  if (const XmlProperty* p = Property("Symbolic")) symbolic_ = p->text;
  if (const XmlProperty* p = Property("IsSelfClearing")) selfClearing_ = p->text == "Yes";
}

gcstring EnumEntryNode::ToString(bool, bool) { return symbolic_; }

void EnumEntryNode::FromString(const gcstring&, bool) {
  throw ACCESS_EXCEPTION("Node '%s': an enumeration entry is read-only", Name().c_str());
}

EnumerationNode::EnumerationNode(NodeMap& map, SharedNodeXml xml,
                                 std::vector<EnumEntryNode*> entries)
    : ValueNode(map, std::move(xml)), entries_(std::move(entries)) {}

void EnumerationNode::Link() {
  ValueNode::Link();
  slot_.Configure(*this, false);
  for (EnumEntryNode* entry : entries_) {
    entry->AddDependent(this);
    readingChildren_.push_back(entry);
  }
}

void EnumerationNode::GetSymbolics(StringList_t& Symbolics) {
  NodeMap::Guard guard(Map());
  Symbolics.clear();
  for (EnumEntryNode* entry : entries_) {
    if (IsAvailable(entry->GetAccessMode())) Symbolics.push_back(entry->GetSymbolic());
  }
}

void EnumerationNode::GetEntries(NodeList_t& Entries) {
  Entries.assign(entries_.begin(), entries_.end());
}

void EnumerationNode::SetIntValue(int64_t Value, bool Verify) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  IEnumEntry* entry = GetEntry(Value);
  if (entry == nullptr) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': %lld is not the value of an entry", Name().c_str(),
                                 static_cast<long long>(Value));
  }
  if (!IsAvailable(entry->GetAccessMode())) {
    throw ACCESS_EXCEPTION("Node '%s': the entry '%s' is not available", Name().c_str(),
                           entry->GetSymbolic().c_str());
  }
  RecursionGuard recursion(valueBusy_, *this);
  slot_.Write(Number::Int(Value), Verify);
}

int64_t EnumerationNode::GetIntValue(bool Verify, bool IgnoreCache) {
  NodeMap::Guard guard(Map());
  CheckReadable();
  RecursionGuard recursion(valueBusy_, *this);
  return slot_.Read(Verify, IgnoreCache).AsInt();
}

IEnumEntry* EnumerationNode::GetEntryByName(const gcstring& Symbolic) {
  for (EnumEntryNode* entry : entries_) {
    if (entry->GetSymbolic() == Symbolic) return entry;
  }
  return nullptr;
}

IEnumEntry* EnumerationNode::GetEntry(int64_t IntValue) {
  for (EnumEntryNode* entry : entries_) {
    if (entry->GetValue() == IntValue) return entry;
  }
  return nullptr;
}

IEnumEntry* EnumerationNode::GetCurrentEntry(bool Verify, bool IgnoreCache) {
  return GetEntry(GetIntValue(Verify, IgnoreCache));
}

gcstring EnumerationNode::ToString(bool Verify, bool IgnoreCache) {
  const int64_t value = GetIntValue(Verify, IgnoreCache);
  IEnumEntry* entry = GetEntry(value);
  if (entry == nullptr) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': the value %lld has no entry", Name().c_str(),
                                 static_cast<long long>(value));
  }
  return entry->GetSymbolic();
}

void EnumerationNode::FromString(const gcstring& ValueStr, bool Verify) {
  IEnumEntry* entry = GetEntryByName(ValueStr);
  if (entry == nullptr) {
    throw INVALID_ARGUMENT_EXCEPTION("Node '%s' has no entry '%s'", Name().c_str(),
                                     ValueStr.c_str());
  }
  SetIntValue(entry->GetValue(), Verify);
}

Number EnumerationNode::ReadNumber(bool verify, bool ignoreCache) {
  return Number::Int(GetIntValue(verify, ignoreCache));
}

void EnumerationNode::WriteNumber(const Number& value, bool verify) {
  SetIntValue(value.AsInt(), verify);
}

}  // namespace GenApi
