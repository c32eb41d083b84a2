// Which control and inquire types belong to the GenICam layer, and the
// string-length form of an inquire type.
#pragma once

#include <cstdint>

namespace zor::frame {

inline constexpr int64_t kStringLengthFlag = 0x50000000000;
inline constexpr int64_t kStringLengthBits = 0xF0000000000;

// The whole type, no bits masked.
bool IsGenICamControlType(int64_t type);
inline bool IsStringLengthType(int64_t type) {
  return (type & kStringLengthBits) == kStringLengthFlag;
}
inline int64_t StripStringLengthFlag(int64_t type) { return type & ~kStringLengthBits; }

}  // namespace zor::frame
