// Writes one frame of the moving test pattern into a buffer.
#pragma once

#include <cstdint>

#include "platform/boardsim/adv7180.h"

namespace boardsim {

// Where the pixels go: planar bands of 8 or 16 bits, or packed 24/32-bit BGR(A) in plane 0.
struct FrameTarget {
  uint8_t* planes[4] = {};
  uint64_t width = 0;  // pixels
  uint64_t height = 0;
  uint64_t pitchBytes = 0;
  int bands = 1;
  int bytesPerPixel = 1;  // 1 or 2 per band plane; 3 or 4 packed
};

// The part of the source frame that is grabbed and how it is sampled.
struct SourceWindow {
  uint64_t fullWidth = 640;  // the camera's frame
  uint64_t fullHeight = 480;
  uint64_t offsetX = 0;
  uint64_t offsetY = 0;
  uint64_t width = 640;
  uint64_t height = 480;
  uint64_t stepX = 1;  // 1 + skip
  uint64_t stepY = 1;
  bool flipX = false;
  bool flipY = false;
  bool colour = false;  // three planes get R, G, B rather than luma
};

struct WrittenSize {
  uint64_t columns = 0;
  uint64_t lines = 0;
};

// The pattern: a diagonal luma ramp that moves 4 pixels a frame over the left
// three quarters, colour bars on the right, and the frame number and the
// decoder's standard code as digits at the top left. Contrast, brightness,
// saturation and hue registers apply as the decoder would apply them.
WrittenSize WriteFrame(const Adv7180& decoder, uint64_t frameNumber, const SourceWindow& window,
                       const FrameTarget& target);

// The columns and lines that WriteFrame writes for the window into the target.
WrittenSize FrameSize(const SourceWindow& window, const FrameTarget& target);

// The luma the pattern has at a source position before the decoder's
// adjustments (for tests that check the picture).
uint8_t PatternLuma(uint64_t frameNumber, uint64_t x, uint64_t y);

}  // namespace boardsim
