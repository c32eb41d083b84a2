#pragma once

#include "platform/genapi/nodes/registerbacked.h"
#include "platform/genapi/nodes/valuenode.h"

namespace GenApi {

// IRegister over a RegisterAccess, shared by StringReg and Register.
using BytesRegister = RegisterBacked<ValueNode>;

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
