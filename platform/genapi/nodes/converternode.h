#pragma once

#include "platform/genapi/nodes/floatbase.h"
#include "platform/genapi/nodes/formulacontext.h"
#include "platform/genapi/nodes/integerbase.h"

namespace GenApi {

// The two formulas of a converter: FormulaFrom turns the pValue node's value
// (TO) into the converter's, FormulaTo turns a value to write (FROM) back.
class ConverterCore {
 public:
  void Configure(NodeBase& owner, bool floatMode);
  Number Read(bool verify, bool ignoreCache);
  void Write(const Number& value, bool verify);
  EAccessMode AccessMode() const { return target_->AccessMode(); }
  // The converter's limits: the target's limits taken through FormulaFrom;
  // false when they cannot be computed (a limit the formula cannot take).
  bool Limits(Number& min, Number& max);
  bool CacheValid() const;

 private:
  static constexpr int kFrom = 0;
  static constexpr int kTo = 1;
  NodeBase* owner_ = nullptr;
  NodeBase* target_ = nullptr;
  FormulaContext context_;
  Formula to_, from_;
  ESlope slope_ = Automatic;
  bool busy_ = false;
};

// <Converter>: a float shown in other units than its pValue node.
class ConverterNode : public FloatBase {
 public:
  using FloatBase::FloatBase;
  void Link() override;
  bool IsValueCacheValid() const override { return core_.CacheValid(); }

 protected:
  EAccessMode OwnAccessMode() const override { return core_.AccessMode(); }
  double RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(double value, bool verify) override;
  double DefaultMin() override;
  double DefaultMax() override;

 private:
  ConverterCore core_;
};

// <IntConverter>: the integer twin of Converter.
class IntConverterNode : public IntegerBase {
 public:
  using IntegerBase::IntegerBase;
  void Link() override;
  bool IsValueCacheValid() const override { return core_.CacheValid(); }

 protected:
  EAccessMode OwnAccessMode() const override { return core_.AccessMode(); }
  int64_t RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(int64_t value, bool verify) override;
  int64_t DefaultMin() override;
  int64_t DefaultMax() override;

 private:
  ConverterCore core_;
};

}  // namespace GenApi
