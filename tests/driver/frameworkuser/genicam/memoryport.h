// A port over plain memory for node maps in tests: 8-byte registers by
// address, availability registers answer 1.
#pragma once

#include <cstring>
#include <map>
#include <vector>

#include "platform/genapi/genapi.h"

namespace zor::genicam {

class MemoryPort : public GenApi::IPort {
 public:
  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
  void Read(void* buffer, int64_t address, int64_t length) override {
    std::vector<unsigned char> bytes(static_cast<size_t>(length), 0);
    auto it = cells_.find(address);
    if (it != cells_.end()) {
      std::memcpy(bytes.data(), it->second.data(), std::min(bytes.size(), it->second.size()));
    } else if ((address & (int64_t{1} << 46)) != 0 && length > 0) {
      bytes[0] = 1;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
  }
  void Write(const void* buffer, int64_t address, int64_t length) override {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    cells_[address].assign(bytes, bytes + length);
    ++writes;
  }
  void Set(int64_t address, int64_t value) { Write(&value, address, 8); }
  int writes = 0;

 private:
  std::map<int64_t, std::vector<unsigned char>> cells_;
};

}  // namespace zor::genicam
