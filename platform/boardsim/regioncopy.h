// Moves a rectangle of pixels between two buffers of the same pixel size.
#pragma once

#include <cstdint>

#include "platform/boardsim/framewriter.h"

namespace boardsim {

struct Region {
  uint64_t srcX = 0;
  uint64_t srcY = 0;
  uint64_t dstX = 0;
  uint64_t dstY = 0;
  uint64_t width = 0;  // in source pixels
  uint64_t height = 0;
  uint64_t stepX = 1;  // source pixels per destination pixel
  uint64_t stepY = 1;
  int srcBand = -1;  // -1: every band the two buffers share
  int dstBand = -1;
};

// False, moving nothing, when the region does not fit either buffer or the pixel sizes differ.
bool CopyRegion(const FrameTarget& src, const FrameTarget& dst, const Region& region);

// The band a transfer request names: -1 all, 8/16/32 the first three bands,
// else a band number; values beyond the buffer mean all bands.
int BandOf(int64_t value, int bands);

}  // namespace boardsim
