#include "platform/genapi/nodes/converternode.h"

#include <cfloat>
#include <limits>

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

void ConverterCore::Configure(NodeBase& owner, bool floatMode) {
  owner_ = &owner;
  target_ = owner.ResolveOptional("pValue");
  if (target_ == nullptr) throw RUNTIME_EXCEPTION("Node '%s' has no pValue", owner.Name().c_str());
  context_.Configure(owner, floatMode, {"FROM", "TO"});
  const XmlProperty* to = owner.Property("FormulaTo");
  const XmlProperty* from = owner.Property("FormulaFrom");
  if (to == nullptr || from == nullptr) {
    throw RUNTIME_EXCEPTION("Node '%s' needs FormulaTo and FormulaFrom", owner.Name().c_str());
  }
  to_ = context_.Compile(to->text, "FormulaTo");
  from_ = context_.Compile(from->text, "FormulaFrom");
  if (const XmlProperty* p = owner.Property("Slope")) {
    slope_ = p->text == "Increasing"   ? Increasing
             : p->text == "Decreasing" ? Decreasing
             : p->text == "Varying"    ? Varying
                                       : Automatic;
  }
}

Number ConverterCore::Read(bool verify, bool ignoreCache) {
  RecursionGuard recursion(busy_, *owner_);
  context_.SetInput(kTo, target_->ReadNumber(verify, ignoreCache));
  return context_.Evaluate(from_, "FormulaFrom", ignoreCache);
}

void ConverterCore::Write(const Number& value, bool verify) {
  RecursionGuard recursion(busy_, *owner_);
  context_.SetInput(kFrom, value);
  // The converter's access is its target's, checked already.
  target_->WriteNumberTrusted(context_.Evaluate(to_, "FormulaTo"), verify);
}

bool ConverterCore::Limits(Number& min, Number& max) {
  RecursionGuard recursion(busy_, *owner_);
  Number a, b;
  try {
    context_.SetInput(kTo, target_->MinNumber());
    a = context_.Evaluate(from_, "FormulaFrom");
    context_.SetInput(kTo, target_->MaxNumber());
    b = context_.Evaluate(from_, "FormulaFrom");
  } catch (const GenICam::GenericException&) {
    return false;
  }
  const bool swap = slope_ == Decreasing || (slope_ != Increasing && b.AsFloat() < a.AsFloat());
  min = swap ? b : a;
  max = swap ? a : b;
  return true;
}

bool ConverterCore::CacheValid() const {
  auto* value = dynamic_cast<IValue*>(target_);
  return value == nullptr || value->IsValueCacheValid();
}

void ConverterNode::Link() {
  FloatBase::Link();
  core_.Configure(*this, true);
}

double ConverterNode::RawRead(bool verify, bool ignoreCache) {
  return core_.Read(verify, ignoreCache).AsFloat();
}

void ConverterNode::RawWrite(double value, bool verify) {
  core_.Write(Number::Float(value), verify);
}

double ConverterNode::DefaultMin() {
  Number min, max;
  return core_.Limits(min, max) ? min.AsFloat() : FloatBase::DefaultMin();
}

double ConverterNode::DefaultMax() {
  Number min, max;
  return core_.Limits(min, max) ? max.AsFloat() : FloatBase::DefaultMax();
}

void IntConverterNode::Link() {
  IntegerBase::Link();
  core_.Configure(*this, false);
}

int64_t IntConverterNode::RawRead(bool verify, bool ignoreCache) {
  return core_.Read(verify, ignoreCache).AsInt();
}

void IntConverterNode::RawWrite(int64_t value, bool verify) {
  core_.Write(Number::Int(value), verify);
}

int64_t IntConverterNode::DefaultMin() {
  Number min, max;
  return core_.Limits(min, max) ? min.AsInt() : IntegerBase::DefaultMin();
}

int64_t IntConverterNode::DefaultMax() {
  Number min, max;
  return core_.Limits(min, max) ? max.AsInt() : IntegerBase::DefaultMax();
}

}  // namespace GenApi
