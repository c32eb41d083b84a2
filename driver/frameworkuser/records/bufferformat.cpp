#include "driver/frameworkuser/records/bufferformat.h"

#include "driver/frameworkuser/records/bufferattributes.h"

namespace zor::frame {

int64_t BitsPerPixel(uint64_t formatWord, uint64_t bitDepth) {
  constexpr uint64_t kKindImage = bufattr::kImage | bufattr::kImageKind;
  // A plane per band, and the board's own images, take the buffer's depth.
  const uint64_t kind = formatWord & bufattr::kKindField;
  if ((formatWord & bufattr::kPlanar) != 0 ||
      ((formatWord & kKindImage) == kKindImage &&
       (kind == bufattr::kBoardImageKind || kind == 0x8000))) {
    return static_cast<int64_t>(bitDepth);
  }
  switch (formatWord & bufattr::kFormatCode) {
    case 0x100:
      return 1;
    case 0x200:
      return 8;
    case 0x300:
    case 0x600:
    case 0x700:
    case 0xE00:
    case 0xF00:
    case 0x1700:
    case 0x1C00:
    case 0x1D00:
      return 16;
    case 0x800:
    case 0x1000:
    case 0x1B00:
      return 24;
    case 0x400:
    case 0x900:
    case 0xA00:
    case 0x1100:
    case 0x1200:
    case 0x1300:
      return 32;
    case 0xB00:
      return 48;
    case 0xC00:
      return 96;
    case 0xD00:
      return 3;
    case 0x1400:
      return 192;
    case 0x1500:
      return 9;
    case 0x1600:
    case 0x1F00:
      return 12;
    case 0x2900:
      return 64;
    default:
      return -1;
  }
}

uint64_t BufferByteSize(int64_t bitsPerPixel, uint64_t pitch, uint64_t bands, uint64_t sizeY) {
  if (bitsPerPixel <= 0) return 0;
  const uint64_t lineBytes = (static_cast<uint64_t>(bitsPerPixel) * pitch + 7) / 8;
  return lineBytes * bands * sizeY;
}

uint64_t MaxPixelValue(uint64_t depthWord, bool isSigned) {
  const uint64_t depth = depthWord & 0xFF;
  if (depth == 0) return 0;
  const uint64_t bits = isSigned ? depth - 1 : depth;
  if (bits >= 64) return isSigned ? 0x7FFFFFFFFFFFFFFF : ~uint64_t{0};
  return (uint64_t{1} << bits) - 1;
}

}  // namespace zor::frame
