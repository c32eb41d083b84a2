#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace genapibench {

// A device's register space for both runtimes under test: 4 KB pages made
// on first touch, so any 64-bit address works.
class SparseMemory {
 public:
  void Read(uint64_t address, void* buffer, uint64_t length) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (length > 0) {
      const uint64_t chunk = Chunk(address, length);
      std::memcpy(out, Page(address).data() + address % kPage, chunk);
      out += chunk;
      address += chunk;
      length -= chunk;
    }
  }
  void Write(uint64_t address, const void* buffer, uint64_t length) {
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (length > 0) {
      const uint64_t chunk = Chunk(address, length);
      std::memcpy(Page(address).data() + address % kPage, in, chunk);
      in += chunk;
      address += chunk;
      length -= chunk;
    }
  }

 private:
  static constexpr uint64_t kPage = 4096;
  static uint64_t Chunk(uint64_t address, uint64_t length) {
    const uint64_t left = kPage - address % kPage;
    return length < left ? length : left;
  }
  std::array<uint8_t, kPage>& Page(uint64_t address) { return pages_[address / kPage]; }

  std::unordered_map<uint64_t, std::array<uint8_t, kPage>> pages_;
};

}  // namespace genapibench
