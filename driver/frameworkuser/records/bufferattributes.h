// The bits of a buffer's attribute word, which the host's format word shares: what the
// application asks for, the kind of an image, where its memory lies, and the format code. The
// device layer and the board name them here, once.
#pragma once

#include <cstdint>

#include "platform/host/qtypes.h"

namespace zor::frame::bufattr {

inline constexpr uint64_t kImage = 0x4;
inline constexpr uint64_t kGrab = 0x8;
// Bands interleaved in one plane, or a plane per band.
inline constexpr uint64_t kPacked = 0x20000;
inline constexpr uint64_t kPlanar = 0x40000;
inline constexpr uint64_t kLayout = kPacked | kPlanar;

// With kImage: an image of the kind that kKindField names, held as one block.
inline constexpr uint64_t kImageKind = 0x4000;
inline constexpr uint64_t kKindField = 0x8C08000;
// The kind of image the board keeps in its own memory.
inline constexpr uint64_t kBoardImageKind = 0x8C00000;

// Memory the board itself holds (bit 19); device memory is that or bit 56.
inline constexpr uint64_t kOnBoardMemory = 0x80000;
inline constexpr uint64_t kDeviceMemory = 0x100000000080000;
// Memory that stays at its physical address, so the board reaches it without a mapping, or
// memory that may move.
inline constexpr uint64_t kNonPaged = 0x200000;
inline constexpr uint64_t kPaged = 0x2000000;

// The format code: the pixels' layout and bits per pixel.
inline constexpr uint64_t kFormatCode = 0x3F00;

inline constexpr bool IsBoardImage(uint64_t word) {
  return (word & (kImage | kImageKind)) == (kImage | kImageKind) &&
         (word & kKindField) == kBoardImageKind;
}

// The application passes the same values.
static_assert(kImage == static_cast<uint64_t>(Q_IMAGE));
static_assert(kGrab == static_cast<uint64_t>(Q_GRAB));
static_assert(kPacked == static_cast<uint64_t>(Q_PACKED));
static_assert(kPlanar == static_cast<uint64_t>(Q_PLANAR));

}  // namespace zor::frame::bufattr
