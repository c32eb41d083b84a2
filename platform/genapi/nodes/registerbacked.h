#pragma once

#include "platform/genapi/nodes/registeraccess.h"

namespace GenApi {

// IRegister for the node kinds whose value lives in a register: the raw bytes,
// address, length, access and cache come from the RegisterAccess. Built for
// ValueNode, IntegerBase and FloatBase in the source file.
template <class Base>
class RegisterBacked : public Base, public virtual IRegister {
 public:
  using Base::Base;
  void Link() override;
  void InvalidateCache() override { register_.Invalidate(); }
  bool IsValueCacheValid() const override { return register_.CacheValid(); }

  void Set(const uint8_t* pBuffer, int64_t Length, bool Verify = true) override;
  void Get(uint8_t* pBuffer, int64_t Length, bool Verify = false,
           bool IgnoreCache = false) override;
  int64_t GetLength() override;
  int64_t GetAddress() override;

 protected:
  EAccessMode OwnAccessMode() const override { return register_.AccessMode(); }
  std::optional<ECachingMode> OwnCachingMode() const override { return register_.Caching(); }
  RegisterAccess register_;

 private:
  void CheckBuffer(const uint8_t* pBuffer, int64_t Length) const;
};

}  // namespace GenApi
