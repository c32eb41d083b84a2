// The memory of a host buffer: one to four bands of sizeX x sizeY pixels, each band a plane of
// `pitch` pixels per row, or, for an 8-bit colour image of a packed format (Q_PACKED with
// RGB24 0x800 or BGR32 0x1100), one plane of pixels of three or four bytes: blue, green, red
// (and 0). The memory is the host's own (zeroed) or the caller's.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/host/bufferdescription.h"
#include "platform/host/hosterror.h"

namespace zorhost {

struct BufferShape {
  QINT64 bands = 1;
  QINT64 sizeX = 0;
  QINT64 sizeY = 0;
  QINT64 type = 8;  // bit depth with Q_SIGNED or Q_FLOAT
  QINT64 attribute = Q_IMAGE;
  QINT64 flags = 0;
  QINT64 pitch = 0;  // in pixels; 0 or Q_DEFAULT: sizeX
};

class HostBuffer {
 public:
  // Wraps the caller's memory when addresses[0] is set (a band without an address follows the
  // one before it); otherwise allocates. Null with `error` filled when the shape is unusable.
  static std::unique_ptr<HostBuffer> Create(const BufferShape& shape, void* const* addresses,
                                            HostError* error);
  // A window on this buffer's memory: one band (0 to bands - 1) or all (-1).
  std::unique_ptr<HostBuffer> Child(QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                                    QINT64 sizeY, HostError* error) const;

  const HostBufferDescription& Description() const { return description_; }
  QINT64 Bands() const { return static_cast<QINT64>(description_.bands); }
  QINT64 SizeX() const { return static_cast<QINT64>(description_.sizeX); }
  QINT64 SizeY() const { return static_cast<QINT64>(description_.sizeY); }
  QINT64 BytesPerPixel() const { return bytesPerPixel_; }
  QINT64 PitchBytes() const { return pitchBytes_; }

  // Copies a region of one band (or of all bands, band after band, for -1) to or from packed
  // rows. False with `error` filled when the region does not lie inside the buffer.
  bool GetRegion(QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, void* data,
                 HostError* error) const;
  bool PutRegion(QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, const void* data,
                 HostError* error);
  void Clear(double value);
  // Export format Q_RAW: see platform/host/README.md. problem says why it failed.
  bool ExportRaw(const std::string& path, std::string* problem) const;

 private:
  HostBuffer() = default;
  bool CheckRegion(QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, const void* data,
                   HostError* error) const;
  void FillDescription(const BufferShape& shape, bool callerMemory);
  template <typename S, typename U>
  void FillInteger(std::byte* plane, bool isSigned, double value) const;

  std::shared_ptr<std::byte[]> memory_;  // shared with children; null for the caller's memory
  // Where each band's first sample lies; for a packed buffer, inside the first pixel.
  std::byte* planes_[4] = {nullptr, nullptr, nullptr, nullptr};
  std::byte* packedPixels_ = nullptr;  // the first pixel of a packed buffer, else null
  QINT64 bytesPerPixel_ = 1;           // of one band's sample
  QINT64 sampleStep_ = 1;              // bytes from one sample of a band to the next
  QINT64 pitchBytes_ = 0;
  HostBufferDescription description_{};
};

}  // namespace zorhost
