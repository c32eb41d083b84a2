#include "platform/boardsim/regioncopy.h"

#include <algorithm>
#include <cstring>

namespace boardsim {

int BandOf(int64_t value, int bands) {
  if (value == 8) return 0;
  if (value == 16) return bands > 1 ? 1 : -1;
  if (value == 32) return bands > 2 ? 2 : -1;
  return value >= 0 && value < bands ? static_cast<int>(value) : -1;
}

bool CopyRegion(const FrameTarget& src, const FrameTarget& dst, const Region& r) {
  const uint64_t stepX = std::max<uint64_t>(r.stepX, 1);
  const uint64_t stepY = std::max<uint64_t>(r.stepY, 1);
  const uint64_t outW = (r.width + stepX - 1) / stepX;
  const uint64_t outH = (r.height + stepY - 1) / stepY;
  if (src.bytesPerPixel != dst.bytesPerPixel || r.srcX > src.width ||
      r.width > src.width - r.srcX || r.srcY > src.height || r.height > src.height - r.srcY ||
      r.dstX > dst.width || outW > dst.width - r.dstX || r.dstY > dst.height ||
      outH > dst.height - r.dstY || r.srcBand >= src.bands || r.dstBand >= dst.bands) {
    return false;
  }
  const int bpp = src.bytesPerPixel;
  const bool allBands = r.srcBand < 0 && r.dstBand < 0;
  const int planes = allBands ? std::min(src.bands, dst.bands) : 1;
  for (int p = 0; p < planes; ++p) {
    const uint8_t* from = src.planes[allBands ? p : std::max(r.srcBand, 0)];
    uint8_t* to = dst.planes[allBands ? p : std::max(r.dstBand, 0)];
    for (uint64_t j = 0; j < outH; ++j) {
      const uint8_t* s = from + (r.srcY + j * stepY) * src.pitchBytes + r.srcX * bpp;
      uint8_t* d = to + (r.dstY + j) * dst.pitchBytes + r.dstX * bpp;
      if (stepX == 1) {
        std::memmove(d, s, outW * bpp);
      } else if (bpp == 1) {
        for (uint64_t i = 0; i < outW; ++i) d[i] = s[i * stepX];
      } else {
        for (uint64_t i = 0; i < outW; ++i) std::memcpy(d + i * bpp, s + i * stepX * bpp, bpp);
      }
    }
  }
  return true;
}

}  // namespace boardsim
