#include "platform/host/hostbuffer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "platform/os/process/regular_file.h"

namespace zorhost {
namespace {

constexpr QINT64 kMaxBytes = QINT64{1} << 32;  // keeps a mistyped size from exhausting memory
constexpr char kRawMagic[8] = {'Z', 'O', 'R', 'R', 'A', 'W', '1', '\0'};

constexpr QINT64 kFormatCode = 0x3F00;
constexpr QINT64 kLayoutBits = Q_PACKED | Q_PLANAR;
constexpr QINT64 kRgb24 = 0x800;
constexpr QINT64 kBgr32 = 0x1100;

QINT64 PixelBytes(QINT64 type) {
  const QINT64 depth = type & 0xFF;
  if ((type & Q_FLOAT) == Q_FLOAT) return depth == 32 ? 4 : depth == 64 ? 8 : 0;
  if (depth < 1 || depth > 64) return 0;
  return depth <= 8 ? 1 : depth <= 16 ? 2 : depth <= 32 ? 4 : 8;
}

// Bytes of a packed colour pixel, or 0 for a buffer of planes.
QINT64 PackedPixelBytes(const BufferShape& shape) {
  const QINT64 format = shape.attribute & (kFormatCode | kLayoutBits);
  if (shape.bands != 3 || (shape.type & 0xFF) != 8 || (shape.type & Q_FLOAT) != 0) return 0;
  if (format == (Q_PACKED | kRgb24)) return 3;
  if (format == (Q_PACKED | kBgr32)) return 4;
  return 0;
}

// The format word of an image whose attributes leave the layout open: planes of the bit depth.
QINT64 PlanarFormat(QINT64 bands, QINT64 type) {
  const QINT64 depth = type & 0xFF;
  QINT64 code = 0;
  if (bands == 3) {
    code = depth == 1 ? 0xD00 : depth == 8 ? kRgb24 : depth == 16 ? 0xB00 : depth == 32 ? 0xC00 : 0;
  } else {
    code = depth == 1 ? 0x100 : depth == 8 ? 0x200 : depth == 16 ? 0x300 : depth == 32 ? 0x400 : 0;
  }
  return Q_PLANAR | code;
}

template <typename T>
void FillPlane(std::byte* plane, QINT64 pitchBytes, QINT64 step, QINT64 sizeX, QINT64 sizeY,
               T value) {
  for (QINT64 y = 0; y < sizeY; ++y) {
    auto* row = plane + y * pitchBytes;
    for (QINT64 x = 0; x < sizeX; ++x) std::memcpy(row + x * step, &value, sizeof(T));
  }
}

// Copies one row of a band between packed samples (`step` bytes apart) and packed rows.
void CopyRow(std::byte* to, QINT64 toStep, const std::byte* from, QINT64 fromStep, QINT64 count,
             QINT64 sampleBytes) {
  if (toStep == sampleBytes && fromStep == sampleBytes) {
    std::memcpy(to, from, static_cast<size_t>(count * sampleBytes));
    return;
  }
  for (QINT64 i = 0; i < count; ++i) {
    std::memcpy(to + i * toStep, from + i * fromStep, static_cast<size_t>(sampleBytes));
  }
}

template <typename T>
T Saturate(double value) {
  if (!(value > static_cast<double>(std::numeric_limits<T>::min()))) {
    return std::numeric_limits<T>::min();
  }
  if (value >= static_cast<double>(std::numeric_limits<T>::max())) {
    return std::numeric_limits<T>::max();
  }
  return static_cast<T>(value);
}

bool WriteWord(std::FILE* file, uint64_t word) {
  unsigned char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(word >> (8 * i));
  return std::fwrite(bytes, 1, 8, file) == 8;
}

}  // namespace

std::unique_ptr<HostBuffer> HostBuffer::Create(const BufferShape& shape, void* const* addresses,
                                               HostError* error) {
  const QINT64 bytesPerPixel = PixelBytes(shape.type);
  const QINT64 pitch = (shape.pitch == 0 || shape.pitch == Q_DEFAULT) ? shape.sizeX : shape.pitch;
  if (shape.bands < 1 || shape.bands > 4 || shape.sizeX < 1 || shape.sizeY < 1 ||
      bytesPerPixel == 0 || pitch < shape.sizeX) {
    *error = MakeHostError(Q_ERR_INVALID_PARAMETER, L"Invalid buffer size, type or pitch.");
    return nullptr;
  }
  const QINT64 packedBytes = PackedPixelBytes(shape);
  const QINT64 step = packedBytes != 0 ? packedBytes : bytesPerPixel;
  const QINT64 planes = packedBytes != 0 ? 1 : shape.bands;
  QINT64 planeBytes = 0;
  QINT64 totalBytes = 0;
  if (__builtin_mul_overflow(pitch, step, &planeBytes) ||
      __builtin_mul_overflow(planeBytes, shape.sizeY, &planeBytes) ||
      __builtin_mul_overflow(planeBytes, planes, &totalBytes) || totalBytes > kMaxBytes) {
    *error = MakeHostError(Q_ERR_OUT_OF_MEMORY, L"The buffer is too large.");
    return nullptr;
  }
  std::unique_ptr<HostBuffer> buffer(new HostBuffer);
  buffer->bytesPerPixel_ = bytesPerPixel;
  buffer->sampleStep_ = step;
  buffer->pitchBytes_ = pitch * step;
  const bool callerMemory = addresses != nullptr && addresses[0] != nullptr;
  if (packedBytes != 0) {
    if (!callerMemory) {
      try {
        buffer->memory_ = std::make_shared<std::byte[]>(static_cast<size_t>(totalBytes));
      } catch (const std::bad_alloc&) {
        *error = MakeHostError(Q_ERR_OUT_OF_MEMORY);
        return nullptr;
      }
    }
    std::byte* pixels =
        callerMemory ? static_cast<std::byte*>(addresses[0]) : buffer->memory_.get();
    buffer->packedPixels_ = pixels;
    // Red, green, blue as bands 0, 1, 2 of pixels stored blue first.
    for (QINT64 band = 0; band < 3; ++band) buffer->planes_[band] = pixels + (2 - band);
  } else if (callerMemory) {
    for (QINT64 band = 0; band < shape.bands; ++band) {
      void* given = addresses[band];
      buffer->planes_[band] = given != nullptr ? static_cast<std::byte*>(given)
                                               : buffer->planes_[band - 1] + planeBytes;
    }
  } else {
    try {
      buffer->memory_ = std::make_shared<std::byte[]>(static_cast<size_t>(totalBytes));
    } catch (const std::bad_alloc&) {
      *error = MakeHostError(Q_ERR_OUT_OF_MEMORY);
      return nullptr;
    }
    for (QINT64 band = 0; band < shape.bands; ++band) {
      buffer->planes_[band] = buffer->memory_.get() + band * planeBytes;
    }
  }
  BufferShape used = shape;
  used.pitch = pitch;
  buffer->FillDescription(used, callerMemory);
  return buffer;
}

std::unique_ptr<HostBuffer> HostBuffer::Child(QINT64 band, QINT64 offsetX, QINT64 offsetY,
                                              QINT64 sizeX, QINT64 sizeY, HostError* error) const {
  if (band < -1 || band >= Bands() || offsetX < 0 || offsetY < 0 || sizeX < 1 || sizeY < 1 ||
      offsetX > SizeX() - sizeX || offsetY > SizeY() - sizeY) {
    *error = MakeHostError(Q_ERR_INVALID_PARAMETER, L"The child does not fit in its parent.");
    return nullptr;
  }
  std::unique_ptr<HostBuffer> child(new HostBuffer);
  child->memory_ = memory_;
  child->bytesPerPixel_ = bytesPerPixel_;
  child->sampleStep_ = sampleStep_;
  child->pitchBytes_ = pitchBytes_;
  const QINT64 first = band < 0 ? 0 : band;
  const QINT64 count = band < 0 ? Bands() : 1;
  const QINT64 offset = offsetY * pitchBytes_ + offsetX * sampleStep_;
  for (QINT64 i = 0; i < count; ++i) child->planes_[i] = planes_[first + i] + offset;
  if (packedPixels_ != nullptr && count == Bands()) child->packedPixels_ = packedPixels_ + offset;
  BufferShape shape{count,
                    sizeX,
                    sizeY,
                    static_cast<QINT64>(description_.dataType),
                    static_cast<QINT64>(description_.attribute),
                    static_cast<QINT64>(description_.allocFlags),
                    static_cast<QINT64>(description_.pitch)};
  child->FillDescription(shape, (description_.flags & 1) != 0);
  return child;
}

void HostBuffer::FillDescription(const BufferShape& shape, bool callerMemory) {
  HostBufferDescription& d = description_;
  d.sizeX = shape.sizeX;
  d.sizeY = shape.sizeY;
  d.bands = shape.bands;
  d.bitDepth = shape.type & 0xFF;
  d.dataType = shape.type;
  d.pitch = shape.pitch;
  d.byteSize = pitchBytes_ * shape.sizeY * (packedPixels_ != nullptr ? 1 : shape.bands);
  d.depthSigned = (shape.type & 0xFF) | (shape.type & Q_SIGNED);
  d.attribute = shape.attribute;
  d.formatWord = shape.attribute;
  // The format tells a driver the memory's layout: an image that names none has planes.
  if ((shape.attribute & Q_IMAGE) != 0 && (shape.attribute & (kFormatCode | kLayoutBits)) == 0) {
    d.formatWord |= PlanarFormat(shape.bands, shape.type);
  }
  d.flags = callerMemory ? 1 : 0;
  d.allocFlags = shape.flags;
  for (QINT64 band = 0; band < shape.bands; ++band) {
    std::byte* start = packedPixels_ != nullptr ? packedPixels_ : planes_[band];
    d.hostAddress[band] = reinterpret_cast<uint64_t>(start);
  }
}

bool HostBuffer::CheckRegion(QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, const void* data,
                             HostError* error) const {
  if (data == nullptr) {
    *error = MakeHostError(Q_ERR_NULL_POINTER, L"The data pointer is null.");
    return false;
  }
  if (band < -1 || band >= Bands() || x < 0 || y < 0 || w < 0 || h < 0 || x > SizeX() - w ||
      y > SizeY() - h) {
    *error = MakeHostError(Q_ERR_INVALID_PARAMETER, L"The region does not lie in the buffer.");
    return false;
  }
  return true;
}

bool HostBuffer::GetRegion(QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, void* data,
                           HostError* error) const {
  if (!CheckRegion(band, x, y, w, h, data, error)) return false;
  auto* out = static_cast<std::byte*>(data);
  const QINT64 rowBytes = w * bytesPerPixel_;
  const QINT64 first = band < 0 ? 0 : band;
  const QINT64 last = band < 0 ? Bands() : band + 1;
  for (QINT64 b = first; b < last; ++b) {
    for (QINT64 row = 0; row < h; ++row, out += rowBytes) {
      CopyRow(out, bytesPerPixel_, planes_[b] + (y + row) * pitchBytes_ + x * sampleStep_,
              sampleStep_, w, bytesPerPixel_);
    }
  }
  return true;
}

bool HostBuffer::PutRegion(QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, const void* data,
                           HostError* error) {
  if (!CheckRegion(band, x, y, w, h, data, error)) return false;
  const auto* in = static_cast<const std::byte*>(data);
  const QINT64 rowBytes = w * bytesPerPixel_;
  const QINT64 first = band < 0 ? 0 : band;
  const QINT64 last = band < 0 ? Bands() : band + 1;
  for (QINT64 b = first; b < last; ++b) {
    for (QINT64 row = 0; row < h; ++row, in += rowBytes) {
      CopyRow(planes_[b] + (y + row) * pitchBytes_ + x * sampleStep_, sampleStep_, in,
              bytesPerPixel_, w, bytesPerPixel_);
    }
  }
  return true;
}

void HostBuffer::Clear(double value) {
  const QINT64 type = static_cast<QINT64>(description_.dataType);
  const bool isFloat = (type & Q_FLOAT) == Q_FLOAT;
  const bool isSigned = (type & Q_SIGNED) != 0;
  for (QINT64 band = 0; band < Bands(); ++band) {
    std::byte* plane = planes_[band];
    if (isFloat && bytesPerPixel_ == 4) {
      FillPlane(plane, pitchBytes_, sampleStep_, SizeX(), SizeY(), static_cast<float>(value));
    } else if (isFloat) {
      FillPlane(plane, pitchBytes_, sampleStep_, SizeX(), SizeY(), value);
    } else if (bytesPerPixel_ == 1) {
      FillInteger<int8_t, uint8_t>(plane, isSigned, value);
    } else if (bytesPerPixel_ == 2) {
      FillInteger<int16_t, uint16_t>(plane, isSigned, value);
    } else if (bytesPerPixel_ == 4) {
      FillInteger<int32_t, uint32_t>(plane, isSigned, value);
    } else {
      FillInteger<int64_t, uint64_t>(plane, isSigned, value);
    }
  }
}

template <typename S, typename U>
void HostBuffer::FillInteger(std::byte* plane, bool isSigned, double value) const {
  // Saturate: a value outside the pixel type's range must not wrap around.
  if (isSigned) {
    FillPlane(plane, pitchBytes_, sampleStep_, SizeX(), SizeY(), Saturate<S>(value));
  } else {
    FillPlane(plane, pitchBytes_, sampleStep_, SizeX(), SizeY(), Saturate<U>(value));
  }
}

bool HostBuffer::ExportRaw(const std::string& path, std::string* problem) const {
  // The path may come from the environment (a driver's log dump in TEMP): never wait on it.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(os::OpenRegularFile(path, "wb", problem),
                                                       &std::fclose);
  if (file == nullptr) return false;
  bool written = std::fwrite(kRawMagic, 1, sizeof(kRawMagic), file.get()) == sizeof(kRawMagic);
  for (uint64_t word :
       {uint64_t{64},  // header size in bytes
        static_cast<uint64_t>(description_.sizeX), static_cast<uint64_t>(description_.sizeY),
        static_cast<uint64_t>(description_.bands), static_cast<uint64_t>(description_.dataType),
        static_cast<uint64_t>(bytesPerPixel_), static_cast<uint64_t>(description_.attribute)}) {
    written = written && WriteWord(file.get(), word);
  }
  std::vector<std::byte> row(static_cast<size_t>(SizeX() * bytesPerPixel_));
  for (QINT64 band = 0; band < Bands() && written; ++band) {
    for (QINT64 y = 0; y < SizeY() && written; ++y) {
      CopyRow(row.data(), bytesPerPixel_, planes_[band] + y * pitchBytes_, sampleStep_, SizeX(),
              bytesPerPixel_);
      written = std::fwrite(row.data(), 1, row.size(), file.get()) == row.size();
    }
  }
  if (std::fclose(file.release()) != 0 || !written) {
    if (problem != nullptr) *problem = "the file could not be written in full";
    return false;
  }
  return true;
}

}  // namespace zorhost
