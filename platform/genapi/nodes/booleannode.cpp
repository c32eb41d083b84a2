#include "platform/genapi/nodes/booleannode.h"

#include <strings.h>

#include <cstring>

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

void BooleanNode::Link() {
  ValueNode::Link();
  slot_.Configure(*this, false);
  if (const XmlProperty* p = Property("OnValue")) onValue_ = ParseInteger(p->text, *this);
  if (const XmlProperty* p = Property("OffValue")) offValue_ = ParseInteger(p->text, *this);
}

void BooleanNode::SetValue(bool Value, bool Verify) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  RecursionGuard recursion(valueBusy_, *this);
  slot_.Write(Number::Int(Value ? onValue_ : offValue_), Verify);
}

bool BooleanNode::GetValue(bool Verify, bool IgnoreCache) const {
  NodeMap::Guard guard(Map());
  CheckReadable();
  RecursionGuard recursion(valueBusy_, *this);
  const int64_t value = slot_.Read(Verify, IgnoreCache).AsInt();
  if (value == onValue_) return true;
  if (value == offValue_) return false;
  throw OUT_OF_RANGE_EXCEPTION("Node '%s': value %lld is neither OnValue nor OffValue",
                               Name().c_str(), static_cast<long long>(value));
}

gcstring BooleanNode::ToString(bool Verify, bool IgnoreCache) {
  return GetValue(Verify, IgnoreCache) ? "1" : "0";
}

void BooleanNode::FromString(const gcstring& ValueStr, bool Verify) {
  const char* text = ValueStr.c_str();
  if (strcasecmp(text, "true") == 0 || strcmp(text, "1") == 0) {
    SetValue(true, Verify);
  } else if (strcasecmp(text, "false") == 0 || strcmp(text, "0") == 0) {
    SetValue(false, Verify);
  } else {
    throw INVALID_ARGUMENT_EXCEPTION("Node '%s': '%s' is not a boolean", Name().c_str(), text);
  }
}

Number BooleanNode::ReadNumber(bool verify, bool ignoreCache) {
  return Number::Int(GetValue(verify, ignoreCache) ? 1 : 0);
}

void BooleanNode::WriteNumber(const Number& value, bool verify) {
  SetValue(value.IsTrue(), verify);
}

}  // namespace GenApi
