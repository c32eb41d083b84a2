#pragma once

#include <optional>

#include "platform/genapi/nodes/floatbase.h"
#include "platform/genapi/nodes/formulacontext.h"
#include "platform/genapi/nodes/integerbase.h"

namespace GenApi {

// <SwissKnife>: a read-only float computed from other nodes. The result is
// kept until one of them changes, unless one of them is never cached.
class SwissKnifeNode : public FloatBase {
 public:
  using FloatBase::FloatBase;
  void Link() override;
  void InvalidateCache() override { cached_.reset(); }
  bool IsValueCacheValid() const override { return cached_.has_value(); }

 protected:
  EAccessMode OwnAccessMode() const override { return RO; }
  double RawRead(bool verify, bool ignoreCache) override;

 private:
  FormulaContext context_;
  Formula formula_;
  std::optional<Number> cached_;
  bool valueBusy_ = false;
};

// <IntSwissKnife>: the integer twin of SwissKnife.
class IntSwissKnifeNode : public IntegerBase {
 public:
  using IntegerBase::IntegerBase;
  void Link() override;
  void InvalidateCache() override { cached_.reset(); }
  bool IsValueCacheValid() const override { return cached_.has_value(); }

 protected:
  EAccessMode OwnAccessMode() const override { return RO; }
  int64_t RawRead(bool verify, bool ignoreCache) override;

 private:
  FormulaContext context_;
  Formula formula_;
  std::optional<Number> cached_;
  bool valueBusy_ = false;
};

}  // namespace GenApi
