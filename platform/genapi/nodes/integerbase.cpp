#include "platform/genapi/nodes/integerbase.h"

#include <limits>

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

void IntegerBase::Link() {
  ValueNode::Link();
  min_.Configure(*this, "Min", "pMin", false);
  max_.Configure(*this, "Max", "pMax", false);
  inc_.Configure(*this, "Inc", "pInc", false);
  if (const XmlProperty* p = Property("Representation")) {
    representation_ = ParseRepresentation(p->text);
  }
  if (const XmlProperty* p = Property("Unit")) unit_ = p->text;
}

void IntegerBase::SetValue(int64_t Value, bool Verify) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  if (Verify) CheckRange(Value);
  RawWrite(Value, Verify);
}

int64_t IntegerBase::GetValue(bool Verify, bool IgnoreCache) {
  NodeMap::Guard guard(Map());
  CheckReadable();
  const int64_t value = RawRead(Verify, IgnoreCache);
  if (Verify) CheckRange(value);
  return value;
}

void IntegerBase::CheckRange(int64_t value) {
  const int64_t min = Min(), max = Max();
  if (value < min) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': value %lld is below the minimum %lld", Name().c_str(),
                                 static_cast<long long>(value), static_cast<long long>(min));
  }
  if (value > max) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': value %lld is above the maximum %lld", Name().c_str(),
                                 static_cast<long long>(value), static_cast<long long>(max));
  }
  const int64_t inc = Inc();
  if (inc > 1 &&
      (static_cast<uint64_t>(value) - static_cast<uint64_t>(min)) % static_cast<uint64_t>(inc) !=
          0) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': value %lld does not fit the increment %lld",
                                 Name().c_str(), static_cast<long long>(value),
                                 static_cast<long long>(inc));
  }
}

int64_t IntegerBase::GetMin() {
  NodeMap::Guard guard(Map());
  return Min();
}

int64_t IntegerBase::GetMax() {
  NodeMap::Guard guard(Map());
  return Max();
}

int64_t IntegerBase::GetInc() {
  NodeMap::Guard guard(Map());
  return Inc();
}

int64_t IntegerBase::Min() {
  RecursionGuard recursion(limitBusy_, *this);
  const int64_t min = min_.IsSet() ? min_.Get().AsInt() : DefaultMin();
  return imposedMin_ && *imposedMin_ > min ? *imposedMin_ : min;
}

int64_t IntegerBase::Max() {
  RecursionGuard recursion(limitBusy_, *this);
  const int64_t max = max_.IsSet() ? max_.Get().AsInt() : DefaultMax();
  return imposedMax_ && *imposedMax_ < max ? *imposedMax_ : max;
}

int64_t IntegerBase::Inc() {
  RecursionGuard recursion(limitBusy_, *this);
  const int64_t inc = inc_.IsSet() ? inc_.Get().AsInt() : DefaultInc();
  return inc < 1 ? 1 : inc;
}

int64_autovector_t IntegerBase::GetListOfValidValues(bool) { return {}; }

ERepresentation IntegerBase::GetRepresentation() {
  return representation_ != _UndefinedRepresentation ? representation_ : DefaultRepresentation();
}

gcstring IntegerBase::ToString(bool Verify, bool IgnoreCache) {
  return IntegerToString(GetValue(Verify, IgnoreCache), GetRepresentation());
}

void IntegerBase::FromString(const gcstring& ValueStr, bool Verify) {
  const auto value = StringToInteger(ValueStr.str(), GetRepresentation());
  if (!value) {
    throw INVALID_ARGUMENT_EXCEPTION("Node '%s': '%s' is not an integer", Name().c_str(),
                                     ValueStr.c_str());
  }
  SetValue(*value, Verify);
}

Number IntegerBase::ReadNumber(bool verify, bool ignoreCache) {
  CheckReadable();
  return ReadNumberTrusted(verify, ignoreCache);
}

Number IntegerBase::ReadNumberTrusted(bool verify, bool ignoreCache) {
  const int64_t value = RawRead(verify, ignoreCache);
  if (verify) CheckRange(value);
  return Number::Int(value);
}

void IntegerBase::WriteNumber(const Number& value, bool verify) {
  SetValue(value.Rounded(), verify);
}

void IntegerBase::WriteNumberTrusted(const Number& value, bool verify) {
  const int64_t v = value.Rounded();
  if (verify) CheckRange(v);
  RawWrite(v, verify);
}

void IntegerBase::RawWrite(int64_t, bool) {
  throw ACCESS_EXCEPTION("Node '%s' is not writable", Name().c_str());
}

int64_t IntegerBase::DefaultMin() { return std::numeric_limits<int64_t>::min(); }
int64_t IntegerBase::DefaultMax() { return std::numeric_limits<int64_t>::max(); }

void IntegerNode::Link() {
  IntegerBase::Link();
  slot_.Configure(*this, false);
}

bool IntegerNode::IsValueCacheValid() const { return slot_.CacheValid(); }

int64_t IntegerNode::RawRead(bool verify, bool ignoreCache) {
  RecursionGuard recursion(valueBusy_, *this);
  return slot_.Read(verify, ignoreCache).AsInt();
}

void IntegerNode::RawWrite(int64_t value, bool verify) {
  RecursionGuard recursion(valueBusy_, *this);
  slot_.Write(Number::Int(value), verify);
}

int64_t IntegerNode::DefaultMin() {
  NodeBase* target = slot_.Target();
  return target ? target->MinNumber().AsInt() : IntegerBase::DefaultMin();
}

int64_t IntegerNode::DefaultMax() {
  NodeBase* target = slot_.Target();
  return target ? target->MaxNumber().AsInt() : IntegerBase::DefaultMax();
}

int64_t IntegerNode::DefaultInc() {
  NodeBase* target = slot_.Target();
  return target ? target->IncNumber().AsInt() : 1;
}

ERepresentation IntegerNode::DefaultRepresentation() {
  auto* target = dynamic_cast<IInteger*>(slot_.Target());
  return target ? target->GetRepresentation() : PureNumber;
}

}  // namespace GenApi
