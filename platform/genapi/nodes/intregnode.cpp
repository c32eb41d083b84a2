#include "platform/genapi/nodes/intregnode.h"

#include <limits>

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

IntRegNode::IntRegNode(NodeMap& map, SharedNodeXml xml, bool masked)
    : RegisterBacked(map, std::move(xml)), masked_(masked) {}

void IntRegNode::Link() {
  RegisterBacked::Link();
  if (const XmlProperty* p = Property("Sign")) isSigned_ = p->text == "Signed";
  if (!masked_) return;
  if (const XmlProperty* p = Property("Bit")) {
    lsb_ = msb_ = static_cast<int>(ParseInteger(p->text, *this));
  } else {
    const XmlProperty* lsb = Property("LSB");
    const XmlProperty* msb = Property("MSB");
    if (lsb == nullptr || msb == nullptr) {
      throw RUNTIME_EXCEPTION("Node '%s' has neither Bit nor LSB and MSB", Name().c_str());
    }
    lsb_ = static_cast<int>(ParseInteger(lsb->text, *this));
    msb_ = static_cast<int>(ParseInteger(msb->text, *this));
  }
}

void IntRegNode::Field(size_t length, int& low, int& width) const {
  const int bits = static_cast<int>(length > 8 ? 64 : length * 8);
  if (!masked_) {
    low = 0;
    width = bits;
    return;
  }
  // Big-endian registers number their bits from the most significant one.
  const bool big = register_.Endianess() == BigEndian;
  const int lsb = big ? bits - 1 - lsb_ : lsb_;
  const int msb = big ? bits - 1 - msb_ : msb_;
  if (lsb < 0 || msb >= bits || msb < lsb) {
    throw RUNTIME_EXCEPTION("Node '%s': bit field %d..%d does not fit a %d-bit register",
                            Name().c_str(), lsb_, msb_, bits);
  }
  low = lsb;
  width = msb - lsb + 1;
}

int64_t IntRegNode::RawRead(bool, bool ignoreCache) {
  const std::vector<uint8_t>& bytes = register_.Read(ignoreCache);
  int low = 0, width = 0;
  Field(bytes.size(), low, width);
  uint64_t value = BytesToUnsigned(bytes, register_.Endianess()) >> low;
  if (width < 64) {
    value &= (uint64_t{1} << width) - 1;
    if (isSigned_ && (value >> (width - 1)) & 1) value |= ~((uint64_t{1} << width) - 1);
  }
  return static_cast<int64_t>(value);
}

void IntRegNode::RawWrite(int64_t value, bool) {
  const size_t length = static_cast<size_t>(register_.Length());
  int low = 0, width = 0;
  Field(length, low, width);
  uint64_t bits = static_cast<uint64_t>(value);
  if (width < 64) {
    const uint64_t mask = ((uint64_t{1} << width) - 1) << low;
    uint64_t current = 0;
    if (masked_) {
      // Keep the other fields: read them first unless the register cannot be read.
      if (IsReadable(register_.AccessMode())) {
        current = BytesToUnsigned(register_.Read(false), register_.Endianess());
      }
    }
    bits = (current & ~mask) | ((bits << low) & mask);
  }
  RegisterBytes bytes(length);
  UnsignedToBytes(bits, bytes.data(), length, register_.Endianess());
  register_.Write(bytes.data(), length);
}

int64_t IntRegNode::DefaultMin() {
  int low = 0, width = 0;
  Field(static_cast<size_t>(register_.Length()), low, width);
  if (!isSigned_) return 0;
  return width >= 64 ? std::numeric_limits<int64_t>::min() : -(int64_t{1} << (width - 1));
}

int64_t IntRegNode::DefaultMax() {
  int low = 0, width = 0;
  Field(static_cast<size_t>(register_.Length()), low, width);
  if (isSigned_) {
    return width >= 64 ? std::numeric_limits<int64_t>::max() : (int64_t{1} << (width - 1)) - 1;
  }
  return width >= 63 ? std::numeric_limits<int64_t>::max() : (int64_t{1} << width) - 1;
}

}  // namespace GenApi
