#pragma once

#include "platform/genapi/nodes/registeraccess.h"
#include "platform/genapi/nodes/valuenode.h"

namespace GenApi {

// IRegister over a RegisterAccess, shared by StringReg and Register.
class BytesRegister : public ValueNode, public virtual IRegister {
 public:
  using ValueNode::ValueNode;
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
  RegisterAccess register_;
};

// <Register>: raw bytes; text form is hexadecimal.
class RegisterNode : public BytesRegister {
 public:
  using BytesRegister::BytesRegister;
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIRegister; }
};

// <StringReg>: a zero-terminated text in a register.
class StringRegNode : public BytesRegister, public virtual IString {
 public:
  using BytesRegister::BytesRegister;
  void SetValue(const gcstring& Value, bool Verify = true) override;
  gcstring GetValue(bool Verify = false, bool IgnoreCache = false) override;
  int64_t GetMaxLength() override { return GetLength(); }
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIString; }
};

}  // namespace GenApi
