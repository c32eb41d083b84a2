// Bits per pixel, byte size and maximum value of a buffer, from the host's format word.
#include "driver/frameworkuser/records/bufferformat.h"

#include "driver/frameworkuser/records/bufferattributes.h"

namespace zor::frame {
namespace {

using namespace bufattr;

// Bits per pixel of each format code the board knows.
struct FormatBits {
  uint64_t code;
  int64_t bits;
};
constexpr FormatBits kFormatBits[] = {
    {kFormatMono1, 1},  {kFormatMono8, 8},   {kFormatMono16, 16}, {0x600, 16},
    {0x700, 16},        {0xE00, 16},         {0xF00, 16},         {kFormatYuv16, 16},
    {0x1C00, 16},       {0x1D00, 16},        {kFormatRgb24, 24},  {kFormatBgr24, 24},
    {0x1B00, 24},       {kFormatMono32, 32}, {kFormatRgb32, 32},  {0xA00, 32},
    {kFormatBgr32, 32}, {0x1200, 32},        {0x1300, 32},        {kFormatRgb48, 48},
    {kFormatRgb96, 96}, {kFormatRgb3, 3},    {0x1400, 192},       {0x1500, 9},
    {0x1600, 12},       {0x1F00, 12},        {0x2900, 64},
};

}  // namespace

int64_t BitsPerPixel(uint64_t formatWord, uint64_t bitDepth) {
  // A plane per band, and the board's own images, take the buffer's depth.
  const uint64_t kind = formatWord & bufattr::kKindField;
  if ((formatWord & bufattr::kPlanar) != 0 ||
      ((formatWord & bufattr::kKindImage) == bufattr::kKindImage &&
       (kind == bufattr::kBoardImageKind || kind == 0x8000))) {
    return static_cast<int64_t>(bitDepth);
  }
  const uint64_t code = formatWord & bufattr::kFormatCode;
  for (const FormatBits& format : kFormatBits) {
    if (format.code == code) return format.bits;
  }
  return -1;
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
