#pragma once

#include "platform/genapi/nodes/integerbase.h"
#include "platform/genapi/nodes/registerbacked.h"

namespace GenApi {

// <IntReg>, <MaskedIntReg> and the entries of a <StructReg>: an integer held
// in a register, whole or in a bit field.
class IntRegNode : public RegisterBacked<IntegerBase> {
 public:
  IntRegNode(NodeMap& map, SharedNodeXml xml, bool masked);
  void Link() override;

 protected:
  int64_t RawRead(bool verify, bool ignoreCache) override;
  void RawWrite(int64_t value, bool verify) override;
  int64_t DefaultMin() override;
  int64_t DefaultMax() override;

 private:
  // The field as bit positions counted from the least significant bit.
  void Field(size_t length, int& low, int& width) const;

  bool masked_;
  bool isSigned_ = false;
  int lsb_ = 0, msb_ = 0;
};

}  // namespace GenApi
