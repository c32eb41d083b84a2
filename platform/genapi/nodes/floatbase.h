#pragma once

#include <optional>

#include "platform/genapi/nodes/valuenode.h"
#include "platform/genapi/nodes/valueslot.h"

namespace GenApi {

// IFloat for every node kind with a floating-point value.
class FloatBase : public ValueNode, public virtual IFloat {
 public:
  using ValueNode::ValueNode;
  void Link() override;

  void SetValue(double Value, bool Verify = true) override;
  double GetValue(bool Verify = false, bool IgnoreCache = false) override;
  double GetMin() override;
  double GetMax() override;
  bool HasInc() override { return inc_.IsSet(); }
  EIncMode GetIncMode() override { return inc_.IsSet() ? fixedIncrement : noIncrement; }
  double GetInc() override;
  double_autovector_t GetListOfValidValues(bool bounded = true) override;
  ERepresentation GetRepresentation() override;
  gcstring GetUnit() const override { return unit_; }
  EDisplayNotation GetDisplayNotation() const override { return notation_; }
  int64_t GetDisplayPrecision() const override { return precision_; }
  void ImposeMin(double Value) override { imposedMin_ = Value; }
  void ImposeMax(double Value) override { imposedMax_ = Value; }
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIFloat; }

  Number ReadNumber(bool verify, bool ignoreCache) override;
  void WriteNumber(const Number& value, bool verify) override;
  void WriteNumberTrusted(const Number& value, bool verify) override;
  Number ReadNumberTrusted(bool verify, bool ignoreCache) override;
  Number MinNumber() override { return Number::Float(GetMin()); }
  Number MaxNumber() override { return Number::Float(GetMax()); }
  Number IncNumber() override { return Number::Float(GetInc()); }

 protected:
  virtual double RawRead(bool verify, bool ignoreCache) = 0;
  virtual void RawWrite(double value, bool verify);
  virtual double DefaultMin();
  virtual double DefaultMax();
  void CheckRange(double value);

 private:
  LimitRef min_, max_, inc_;
  std::optional<double> imposedMin_, imposedMax_;
  ERepresentation representation_ = _UndefinedRepresentation;
  EDisplayNotation notation_ = fnAutomatic;
  int64_t precision_ = 6;
  std::string unit_;
  bool limitBusy_ = false;
};

// <Float>: an inline value or a pValue, optionally indexed.
class FloatNode : public FloatBase {
 public:
  using FloatBase::FloatBase;
  void Link() override;
  bool IsValueCacheValid() const override;

 protected:
  EAccessMode OwnAccessMode() const override { return slot_.AccessMode(); }
  double RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(double value, bool verify) override;
  double DefaultMin() override;
  double DefaultMax() override;

 private:
  mutable ValueSlot slot_;
  bool valueBusy_ = false;
};

}  // namespace GenApi
