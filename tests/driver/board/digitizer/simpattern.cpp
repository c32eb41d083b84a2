#include "tests/driver/board/digitizer/simpattern.h"

namespace zor::board {
namespace {

// The simulator's digits: 5 x 7 glyphs drawn 2 x 2 in 12-pixel cells.
constexpr uint8_t kFont[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};
constexpr uint8_t kInk = 235;

int Digit(const uint8_t* plane, uint64_t pitch, int cell) {
  for (int d = 0; d < 10; ++d) {
    bool same = true;
    for (int gy = 0; gy < 7 && same; ++gy) {
      for (int gx = 0; gx < 5 && same; ++gx) {
        const bool ink = plane[(8 + 2 * gy) * pitch + 8 + 12 * cell + 2 * gx] == kInk;
        same = ink == (((kFont[d][gy] >> (4 - gx)) & 1) != 0);
      }
    }
    if (same) return d;
  }
  return -1;
}

}  // namespace

int64_t FrameNumber(const uint8_t* plane, uint64_t pitch) {
  int64_t number = 0;
  for (int cell = 0; cell < 8; ++cell) {
    const int digit = Digit(plane, pitch, cell);
    if (digit < 0) return -1;
    number = number * 10 + digit;
  }
  return number;
}

uint8_t Ramp(int64_t frame, uint64_t x, uint64_t y) {
  return static_cast<uint8_t>((x + y + 4 * static_cast<uint64_t>(frame)) & 0xFF);
}

}  // namespace zor::board
