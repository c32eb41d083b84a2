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
// Both bits: an image of a kind, held as one block.
inline constexpr uint64_t kKindImage = kImage | kImageKind;
// The kind of image the board keeps in its own memory.
inline constexpr uint64_t kBoardImageKind = 0x8C00000;

// Memory the board itself holds (bit 19); device memory is that or bit 56.
inline constexpr uint64_t kOnBoardMemory = 0x80000;
inline constexpr uint64_t kDeviceMemory = 0x100000000080000;
// Memory that stays at its physical address, so the board reaches it without a mapping, or
// memory that may move.
inline constexpr uint64_t kNonPaged = 0x200000;
inline constexpr uint64_t kPaged = 0x2000000;

// The format code: the pixels' layout and bits per pixel. The codes that the driver picks or
// tells apart: one band of 1 to 32 bits; three bands in red, green, blue order (1 bit a band, 8
// bits a band alone or with a fourth byte, 16 and 32 bits a band); three 8-bit bands in blue,
// green, red order, alone or with a fourth byte; and the 16-bit pixels the board grabs colour in.
inline constexpr uint64_t kFormatCode = 0x3F00;
inline constexpr uint64_t kFormatMono1 = 0x100;
inline constexpr uint64_t kFormatMono8 = 0x200;
inline constexpr uint64_t kFormatMono16 = 0x300;
inline constexpr uint64_t kFormatMono32 = 0x400;
inline constexpr uint64_t kFormatRgb3 = 0xD00;
inline constexpr uint64_t kFormatRgb24 = 0x800;
inline constexpr uint64_t kFormatRgb32 = 0x900;
inline constexpr uint64_t kFormatRgb48 = 0xB00;
inline constexpr uint64_t kFormatRgb96 = 0xC00;
inline constexpr uint64_t kFormatBgr24 = 0x1000;
inline constexpr uint64_t kFormatBgr32 = 0x1100;
inline constexpr uint64_t kFormatYuv16 = 0x1700;

// The bits the board handles itself and strips before the host allocates: device memory, grab,
// and bits 20, 24 and 37, which the host does not take.
inline constexpr uint64_t kBoardPrivate = kDeviceMemory | kGrab | 0x2001100000;
// A buffer that takes the board buffer word: packed, non-paged, with every bit of BGR32's format
// code.
inline constexpr uint64_t kBoardWordBuffer = kNonPaged | kPacked | kFormatBgr32;

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
