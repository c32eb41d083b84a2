#include "platform/genapi/nodes/floatbase.h"

#include <cfloat>

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

void FloatBase::Link() {
  ValueNode::Link();
  min_.Configure(*this, "Min", "pMin", true);
  max_.Configure(*this, "Max", "pMax", true);
  inc_.Configure(*this, "Inc", "pInc", true);
  if (const XmlProperty* p = Property("Representation")) {
    representation_ = ParseRepresentation(p->text);
  }
  if (const XmlProperty* p = Property("Unit")) unit_ = p->text;
  if (const XmlProperty* p = Property("DisplayNotation")) {
    notation_ = p->text == "Fixed" ? fnFixed : p->text == "Scientific" ? fnScientific : fnAutomatic;
  }
  if (const XmlProperty* p = Property("DisplayPrecision"))
    precision_ = ParseInteger(p->text, *this);
}

void FloatBase::SetValue(double Value, bool Verify) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  if (Verify) CheckRange(Value);
  RawWrite(Value, Verify);
}

double FloatBase::GetValue(bool Verify, bool IgnoreCache) {
  NodeMap::Guard guard(Map());
  CheckReadable();
  const double value = RawRead(Verify, IgnoreCache);
  if (Verify) CheckRange(value);
  return value;
}

void FloatBase::CheckRange(double value) {
  const double min = GetMin(), max = GetMax();
  if (!(value >= min)) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': value %g is below the minimum %g", Name().c_str(),
                                 value, min);
  }
  if (!(value <= max)) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': value %g is above the maximum %g", Name().c_str(),
                                 value, max);
  }
}

double FloatBase::GetMin() {
  NodeMap::Guard guard(Map());
  RecursionGuard recursion(limitBusy_, *this);
  const double min = min_.IsSet() ? min_.Get().AsFloat() : DefaultMin();
  return imposedMin_ && *imposedMin_ > min ? *imposedMin_ : min;
}

double FloatBase::GetMax() {
  NodeMap::Guard guard(Map());
  RecursionGuard recursion(limitBusy_, *this);
  const double max = max_.IsSet() ? max_.Get().AsFloat() : DefaultMax();
  return imposedMax_ && *imposedMax_ < max ? *imposedMax_ : max;
}

double FloatBase::GetInc() {
  if (!inc_.IsSet()) {
    throw LOGICAL_ERROR_EXCEPTION("Node '%s' has no increment", Name().c_str());
  }
  NodeMap::Guard guard(Map());
  RecursionGuard recursion(limitBusy_, *this);
  return inc_.Get().AsFloat();
}

double_autovector_t FloatBase::GetListOfValidValues(bool) { return {}; }

ERepresentation FloatBase::GetRepresentation() {
  return representation_ != _UndefinedRepresentation ? representation_ : PureNumber;
}

gcstring FloatBase::ToString(bool Verify, bool IgnoreCache) {
  return FloatToString(GetValue(Verify, IgnoreCache), notation_, precision_);
}

void FloatBase::FromString(const gcstring& ValueStr, bool Verify) {
  const auto value = TryParseFloat(ValueStr.str());
  if (!value) {
    throw INVALID_ARGUMENT_EXCEPTION("Node '%s': '%s' is not a number", Name().c_str(),
                                     ValueStr.c_str());
  }
  SetValue(*value, Verify);
}

Number FloatBase::ReadNumber(bool verify, bool ignoreCache) {
  CheckReadable();
  return ReadNumberTrusted(verify, ignoreCache);
}

Number FloatBase::ReadNumberTrusted(bool verify, bool ignoreCache) {
  const double value = RawRead(verify, ignoreCache);
  if (verify) CheckRange(value);
  return Number::Float(value);
}

void FloatBase::WriteNumber(const Number& value, bool verify) { SetValue(value.AsFloat(), verify); }

void FloatBase::WriteNumberTrusted(const Number& value, bool verify) {
  const double v = value.AsFloat();
  if (verify) CheckRange(v);
  RawWrite(v, verify);
}

void FloatBase::RawWrite(double, bool) {
  throw ACCESS_EXCEPTION("Node '%s' is not writable", Name().c_str());
}

double FloatBase::DefaultMin() { return -DBL_MAX; }
double FloatBase::DefaultMax() { return DBL_MAX; }

void FloatNode::Link() {
  FloatBase::Link();
  slot_.Configure(*this, true);
}

bool FloatNode::IsValueCacheValid() const { return slot_.CacheValid(); }

double FloatNode::RawRead(bool verify, bool ignoreCache) {
  RecursionGuard recursion(valueBusy_, *this);
  return slot_.Read(verify, ignoreCache).AsFloat();
}

void FloatNode::RawWrite(double value, bool verify) {
  RecursionGuard recursion(valueBusy_, *this);
  slot_.Write(Number::Float(value), verify);
}

double FloatNode::DefaultMin() {
  NodeBase* target = slot_.Target();
  return target ? target->MinNumber().AsFloat() : FloatBase::DefaultMin();
}

double FloatNode::DefaultMax() {
  NodeBase* target = slot_.Target();
  return target ? target->MaxNumber().AsFloat() : FloatBase::DefaultMax();
}

}  // namespace GenApi
