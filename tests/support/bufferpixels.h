// A buffer's pixels as an application reads them back: band after band, rows packed.
#pragma once

#include <vector>

#include "platform/host/zor.h"

namespace zortest {

template <typename Pixel>
std::vector<Pixel> BufferPixels(QID buffer) {
  const QINT64 samples = QbufInquire(buffer, Q_SIZE_BAND, nullptr) *
                         QbufInquire(buffer, Q_SIZE_X, nullptr) *
                         QbufInquire(buffer, Q_SIZE_Y, nullptr);
  std::vector<Pixel> pixels(static_cast<size_t>(samples));
  QbufGet(buffer, pixels.data());
  return pixels;
}

}  // namespace zortest
