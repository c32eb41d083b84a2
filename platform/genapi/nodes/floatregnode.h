#pragma once

#include "platform/genapi/nodes/floatbase.h"
#include "platform/genapi/nodes/registeraccess.h"

namespace GenApi {

// <FloatReg>: an IEEE 754 single or double in a register.
class FloatRegNode : public FloatBase, public virtual IRegister {
 public:
  using FloatBase::FloatBase;
  void Link() override;
  void InvalidateCache() override { register_.Invalidate(); }
  bool IsValueCacheValid() const override { return register_.CacheValid(); }
  ECachingMode GetCachingMode() const override { return register_.Caching(); }

  void Set(const uint8_t* pBuffer, int64_t Length, bool Verify = true) override;
  void Get(uint8_t* pBuffer, int64_t Length, bool Verify = false,
           bool IgnoreCache = false) override;
  int64_t GetLength() override;
  int64_t GetAddress() override;

 protected:
  EAccessMode OwnAccessMode() const override { return register_.AccessMode(); }
  double RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(double value, bool verify) override;

 private:
  RegisterAccess register_;
};

}  // namespace GenApi
