// The kernel driver's log memory: a ring of 80-byte records behind an 88-byte
// header, shared with the user-mode driver log. It lives as long as the board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace boardsim {

class LogMemory {
 public:
  static constexpr size_t kHeaderSize = 88;
  static constexpr size_t kRecordSize = 80;
  static constexpr size_t kRecords = 4096;
  static constexpr size_t kSize = kHeaderSize + kRecords * kRecordSize;

  LogMemory();
  uint64_t Address() const { return reinterpret_cast<uint64_t>(memory_.get()); }
  uint64_t Size() const { return kSize; }

 private:
  std::unique_ptr<uint64_t[]> memory_;  // 8-byte aligned for the atomic header words
};

}  // namespace boardsim
