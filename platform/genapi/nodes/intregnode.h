#pragma once

#include "platform/genapi/nodes/integerbase.h"
#include "platform/genapi/nodes/registeraccess.h"

namespace GenApi {

// <IntReg>, <MaskedIntReg> and the entries of a <StructReg>: an integer held
// in a register, whole or in a bit field.
class IntRegNode : public IntegerBase, public virtual IRegister {
 public:
  IntRegNode(NodeMap& map, NodeXml xml, bool masked);
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
  int64_t RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(int64_t value, bool verify) override;
  int64_t DefaultMin() override;
  int64_t DefaultMax() override;

 private:
  // The field as bit positions counted from the least significant bit.
  void Field(size_t length, int& low, int& width) const;

  RegisterAccess register_;
  bool masked_;
  bool isSigned_ = false;
  int lsb_ = 0, msb_ = 0;
};

}  // namespace GenApi
