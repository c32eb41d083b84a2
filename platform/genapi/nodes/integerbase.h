#pragma once

#include <optional>

#include "platform/genapi/nodes/valuenode.h"
#include "platform/genapi/nodes/valueslot.h"

namespace GenApi {

// IInteger for every node kind with an integer value: limits, increment,
// representation, unit and text forms; the kinds supply the raw value.
class IntegerBase : public ValueNode, public virtual IInteger {
 public:
  using ValueNode::ValueNode;
  void Link() override;

  void SetValue(int64_t Value, bool Verify = true) override;
  int64_t GetValue(bool Verify = false, bool IgnoreCache = false) override;
  int64_t GetMin() override;
  int64_t GetMax() override;
  EIncMode GetIncMode() override { return fixedIncrement; }
  int64_t GetInc() override;
  int64_autovector_t GetListOfValidValues(bool bounded = true) override;
  ERepresentation GetRepresentation() override;
  gcstring GetUnit() const override { return unit_; }
  void ImposeMin(int64_t Value) override { imposedMin_ = Value; }
  void ImposeMax(int64_t Value) override { imposedMax_ = Value; }
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIInteger; }

  Number ReadNumber(bool verify, bool ignoreCache) override;
  void WriteNumber(const Number& value, bool verify) override;
  void WriteNumberTrusted(const Number& value, bool verify) override;
  Number ReadNumberTrusted(bool verify, bool ignoreCache) override;
  Number MinNumber() override { return Number::Int(Min()); }
  Number MaxNumber() override { return Number::Int(Max()); }
  Number IncNumber() override { return Number::Int(Inc()); }

 protected:
  // The limits for a caller that holds the node map's lock.
  int64_t Min();
  int64_t Max();
  int64_t Inc();
  virtual int64_t RawRead(bool verify, bool ignoreCache) = 0;
  virtual void RawWrite(int64_t value, bool verify);
  virtual int64_t DefaultMin();
  virtual int64_t DefaultMax();
  virtual int64_t DefaultInc() { return 1; }
  virtual ERepresentation DefaultRepresentation() { return PureNumber; }
  void CheckRange(int64_t value);

 private:
  LimitRef min_, max_, inc_;
  std::optional<int64_t> imposedMin_, imposedMax_;
  ERepresentation representation_ = _UndefinedRepresentation;
  std::string unit_;
  bool limitBusy_ = false;
};

// <Integer>: an inline value or a pValue, optionally indexed.
class IntegerNode : public IntegerBase {
 public:
  using IntegerBase::IntegerBase;
  void Link() override;
  bool IsValueCacheValid() const override;

 protected:
  EAccessMode OwnAccessMode() const override { return slot_.AccessMode(); }
  int64_t RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(int64_t value, bool verify) override;
  int64_t DefaultMin() override;
  int64_t DefaultMax() override;
  int64_t DefaultInc() override;
  ERepresentation DefaultRepresentation() override;

 private:
  mutable ValueSlot slot_;
  bool valueBusy_ = false;
};

}  // namespace GenApi
