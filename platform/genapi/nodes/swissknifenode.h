#pragma once

#include "platform/genapi/nodes/floatbase.h"
#include "platform/genapi/nodes/formulacontext.h"
#include "platform/genapi/nodes/integerbase.h"

namespace GenApi {

// <SwissKnife>: a read-only float computed from other nodes.
class SwissKnifeNode : public FloatBase {
 public:
  using FloatBase::FloatBase;
  void Link() override;
  bool IsValueCacheValid() const override { return false; }

 protected:
  EAccessMode OwnAccessMode() const override { return RO; }
  double RawRead(bool verify, bool ignoreCache) override;

 private:
  FormulaContext context_;
  Formula formula_;
  bool valueBusy_ = false;
};

// <IntSwissKnife>: a read-only integer computed from other nodes.
class IntSwissKnifeNode : public IntegerBase {
 public:
  using IntegerBase::IntegerBase;
  void Link() override;
  bool IsValueCacheValid() const override { return false; }

 protected:
  EAccessMode OwnAccessMode() const override { return RO; }
  int64_t RawRead(bool verify, bool ignoreCache) override;

 private:
  FormulaContext context_;
  Formula formula_;
  bool valueBusy_ = false;
};

}  // namespace GenApi
