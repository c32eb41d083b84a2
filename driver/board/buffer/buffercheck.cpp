// The board's checks of a buffer allocation: the format a grab buffer or a
// buffer in device memory gets when the caller leaves it open, and the layouts
// the board's grab and copy engines take.
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "interfaces/kernel/systemrequests.h"

namespace zor::board {
namespace {

using errorcode::kBoardHealthError;
using errorcode::kBufferListAllocationError;
using errorcode::kInvalidBuffer;
using errorcode::kInvalidBufferSize;
using errorcode::kInvalidCopy;
using errorcode::kInvalidSerialPort;
using errorcode::kUnsupportedBuffer;
using namespace frame::bufattr;
using frame::bufattr::kDeviceMemory;
using frame::bufattr::kFormatCode;
using frame::bufattr::kGrab;
using frame::bufattr::kImage;
using frame::bufattr::kImageKind;
using frame::bufattr::kLayout;
using frame::bufattr::kNonPaged;
using frame::bufattr::kPacked;
using frame::bufattr::kPlanar;

using foundation::HasAllBits;
using foundation::OneOf;

uint64_t DefaultFormat(int64_t bands, int64_t depth, uint64_t attributes) {
  if (bands == 3) {
    switch (depth) {
      case 1:
        return kFormatRgb3;
      case 8:
        if ((attributes & kPlanar) != 0) return kPlanar | kFormatRgb24;
        return kPacked | ((attributes & kDeviceMemory) != 0 ? kFormatYuv16 : kFormatBgr32);
      case 16:
        return kPlanar | kFormatRgb48;
      case 32:
        return kFormatRgb96;
      default:
        return 0;
    }
  }
  switch (depth) {
    case 1:
      return kFormatMono1;
    case 8:
      return kFormatMono8;
    case 16:
      return kFormatMono16;
    case 32:
      return kFormatMono32;
    default:
      return 0;
  }
}

// A buffer the board grabs into or keeps in device memory gets the format its bands and depth
// call for, and the layout that format has, when the caller leaves them open.
void ChooseFormatAndLayout(frame::BufAllocParams& p, int64_t depth) {
  uint64_t& a = p.attributes;
  if ((a & kFormatCode) == 0) a |= DefaultFormat(p.bands, depth, a);
  if ((a & kLayout) != 0) return;
  const uint64_t format = a & kFormatCode;
  const bool plain = format == 0 || OneOf(format, {0x100, 0x200, 0x300, 0x400, 0x800, 0xB00, 0xC00,
                                                   0xD00, 0x1500, 0x1600, 0x1B00});
  a |= plain ? kPlanar : kPacked;
}

bool Refuse(foundation::CError& error, uint64_t code, uint64_t subCode) {
  error.SetError(code, subCode);
  return false;
}

// A buffer in device memory that is no grab buffer: an 8-bit image in a layout the copy engine
// takes. False with the error set.
bool CheckDeviceMemoryBuffer(const frame::BufAllocParams& p, int64_t depth,
                             foundation::CError& error) {
  const uint64_t a = p.attributes;
  if ((a & kImage) == 0) return Refuse(error, kUnsupportedBuffer, 2);
  if ((p.type & 0x8000000) != 0) return Refuse(error, kUnsupportedBuffer, 4);
  if (depth != 8) return Refuse(error, kInvalidSerialPort, 1);
  if (!OneOf(a & 0x8C67F00, {0x40200, 0x20700, 0x21700, 0x21C00, 0x40300, 0x40B00})) {
    return Refuse(error, kUnsupportedBuffer, 2);
  }
  return true;
}

// A line buffer: one 8-bit band, one line of at least 65536 pixels, on a board that has them.
// False with the error set.
bool CheckLineBuffer(const frame::BufAllocParams& p, int64_t depth, uint64_t capabilities,
                     foundation::CError& error) {
  if ((capabilities & kernel::kCapLineBuffers) == 0) return Refuse(error, kBoardHealthError, 2);
  if (p.sizeX < 65536 || p.sizeY != 1) return Refuse(error, kInvalidSerialPort, 4);
  if (p.bands != 1) return Refuse(error, kUnsupportedBuffer, 1);
  if (depth != 8) return Refuse(error, kInvalidCopy, 3);
  return true;
}

}  // namespace

void QDHwSpecSystem::CheckBufAllocParams(frame::BufAllocParams& p, foundation::CError& error) {
  uint64_t& a = p.attributes;
  const int64_t depth = p.type & 0xFF;
  if (HasAllBits(a, kPacked | kImage) && (a & kFormatCode) == 0)
    return error.SetError(kBufferListAllocationError, 3);
  const bool image = (a & kImage) != 0;
  const bool deviceMemory = (a & kDeviceMemory) != 0;
  if (image && (a & (kDeviceMemory | kGrab)) != 0) ChooseFormatAndLayout(p, depth);
  if (image && frame::bufattr::IsBoardImage(a) && p.addresses == nullptr) a |= kNonPaged;
  if (deviceMemory && (a & kGrab) == 0 && !CheckDeviceMemoryBuffer(p, depth, error)) return;
  if (HasAllBits(a, 0x80000000040)) {
    if (!CheckLineBuffer(p, depth, capabilityWord_, error)) return;
    a |= kNonPaged;
  }
  if (deviceMemory) {
    a |= 0x2000000000;
    if (p.sizeX >= 1024 || p.sizeY >= 1024) return error.SetError(kInvalidBufferSize, 1);
  }
}

void QDHwSpecSystem::CheckGrabBufParams(const frame::BufAllocParams& p, foundation::CError& error) {
  const uint64_t a = p.attributes;
  if (!HasAllBits(a, kImage | kGrab)) return;
  if ((a & kImageKind) != 0) return error.SetError(kBufferListAllocationError, 1);
  if (p.type == Q_FLOAT + 32 || (a & 0x2010000) != 0) return error.SetError(kUnsupportedBuffer, 2);
  if ((p.type & 0x8000000) != 0) return error.SetError(kUnsupportedBuffer, 4);
  if ((p.type & 0xFF) != 8) return error.SetError(kUnsupportedBuffer, 3);
  if (!OneOf(a & (kLayout | kFormatCode), {0x21000, 0x21100, 0x21700, 0x21C00, 0x40200})) {
    return error.SetError(kUnsupportedBuffer, 2);
  }
  if ((a & kDeviceMemory) == 0) return;
  // Of the layouts above, the board grabs into device memory in 0x1700 and 0x1C00 only.
  if ((a & kFormatCode) < 0x1500) return error.SetError(kInvalidBuffer, 1);
  if (p.bands != 3) error.SetError(kUnsupportedBuffer, 1);
}

}  // namespace zor::board
