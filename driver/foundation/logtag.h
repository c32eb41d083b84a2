// LogTag: packs a short text code into the 32-bit tag of a driver-log record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::foundation {

// A driver-log tag: up to four characters, the first in the most significant byte and
// shorter codes right-aligned ("OPCD" = 0x4F504344, "IN" = 0x494E).
template <size_t N>
constexpr uint32_t LogTag(const char (&text)[N]) {
  static_assert(N >= 2 && N <= 5, "a tag has one to four characters");
  uint32_t tag = 0;
  for (size_t i = 0; i + 1 < N; ++i) tag = tag << 8 | static_cast<unsigned char>(text[i]);
  return tag;
}

// The tag of an empty pair.
inline constexpr uint32_t kEmptyLogTag = LogTag(" ");

}  // namespace zor::foundation
