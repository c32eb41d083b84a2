#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "platform/genapi/genapi.h"

namespace genapitest {

// A device whose registers are plain memory; counts the accesses.
class MemoryPort : public GenApi::IPort {
 public:
  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
  void Read(void* buffer, int64_t address, int64_t length) override {
    ++reads;
    auto* out = static_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < length; ++i) out[i] = bytes[address + i];
  }
  void Write(const void* buffer, int64_t address, int64_t length) override {
    ++writes;
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (int64_t i = 0; i < length; ++i) bytes[address + i] = in[i];
  }

  void Put32(int64_t address, uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
      bytes[address + i] = static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i));
    }
  }
  uint32_t Get32(int64_t address, bool bigEndian) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      value |= uint32_t{bytes[address + i]} << (bigEndian ? 24 - 8 * i : 8 * i);
    }
    return value;
  }

  // `length` bytes from `address` on, in hex.
  std::string Hex(int64_t address, int length) {
    std::string out;
    for (int i = 0; i < length; ++i) {
      out += "0123456789abcdef"[bytes[address + i] >> 4];
      out += "0123456789abcdef"[bytes[address + i] & 15];
    }
    return out;
  }

  std::map<int64_t, uint8_t> bytes;
  int reads = 0;
  int writes = 0;
};

}  // namespace genapitest
