// What the board's copy engine asks of the buffers it moves pixels between;
// shared by the region copy and the transfers.
#pragma once

#include <cstdint>

#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"

namespace zor::board {

inline constexpr int64_t kLastCopyControl = 15007;
inline constexpr int64_t kBoardCopied = 59;

// The engine unpacks 0x1700 and 0x1C00 device layouts into these host layouts only.
inline bool BoardUnpacksInto(const frame::QDBufferInfo& other, const frame::QDBufferInfo& device) {
  using frame::bufattr::kFormatCode;
  using frame::bufattr::kLayout;
  const uint64_t o = other.Descriptor().formatWord & (kLayout | kFormatCode);
  const uint64_t code = device.Descriptor().formatWord & kFormatCode;
  return (o == 0x21000 || o == 0x21100 || o == 0x21700 || o == 0x21C00 || o == 0x40200 ||
          o == 0x40800) &&
         (code == 0x1700 || code == 0x1C00);
}

}  // namespace zor::board
