#pragma once

#include "platform/genapi/nodes/floatbase.h"
#include "platform/genapi/nodes/registerbacked.h"

namespace GenApi {

// <FloatReg>: an IEEE 754 single or double in a register. Its range is
// what the register's type can hold.
class FloatRegNode : public RegisterBacked<FloatBase> {
 public:
  using RegisterBacked::RegisterBacked;
  void Link() override;

 protected:
  double RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(double value, bool verify) override;
  double DefaultMin() override;
  double DefaultMax() override;

 private:
  double Largest();
};

}  // namespace GenApi
