// The bit storage of STAPL Boolean arrays, 32 bits to a word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zor::firmware {

// Boolean arrays keep 32 bits per word: bit i is bit i % 32 of word i / 32.
using StaplBits = std::vector<uint32_t>;

inline StaplBits MakeStaplBits(int64_t count) { return StaplBits((count + 31) / 32, 0); }

inline bool GetStaplBit(const uint32_t* bits, int64_t i) { return (bits[i >> 5] >> (i & 31)) & 1; }

inline void SetStaplBit(uint32_t* bits, int64_t i, bool value) {
  const uint32_t mask = 1u << (i & 31);
  if (value) {
    bits[i >> 5] |= mask;
  } else {
    bits[i >> 5] &= ~mask;
  }
}

// Byte i fills bits 8i to 8i + 7, least significant bit first; the bits start cleared.
inline void PutStaplBytes(uint32_t* bits, const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) bits[i / 4] |= uint32_t{bytes[i]} << (8 * (i % 4));
}

}  // namespace zor::firmware
