// The board's own buffer operations: on-board memory, children with their
// kernel buffers, free, and the controls and inquiries the board keeps.
#include <limits>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/buffertypes.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/bufferformat.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "platform/host/hostservices.h"

namespace zor::board {
namespace {

using errorcode::kInvalidBand;
using errorcode::kInvalidBuffer;
using errorcode::kInvalidControl;
using errorcode::kSerialPortAllocationError;
using errorcode::kUnsupportedBuffer;
using frame::bufattr::IsBoardImage;
using frame::bufattr::kFormatCode;
using frame::bufattr::kGrab;
using frame::bufattr::kImage;
using frame::bufattr::kImageKind;
using frame::bufattr::kNonPaged;
using frame::bufattr::kPacked;
using namespace frame::bufattr;
using namespace protocol;
constexpr uint64_t kMaxOnBoardBytes = 0xFFFFFFFF;
// The physical address as the kernel buffer reports it.
constexpr int64_t kKernelPhysicalAddress = 0x400000;

using foundation::HasAllBits;

bool IsOnBoard(uint64_t attributes) {
  return IsBoardImage(attributes) && (attributes & kNonPaged) != 0;
}

// The bytes of on-board memory a buffer needs: packed formats hold every band
// in one plane, planar ones a plane per band.
uint64_t OnBoardBytes(const kernel::KernelBufferDescriptor& d) {
  const uint64_t depth = d.bitDepth & 0xFF;
  const uint64_t bits = d.bitsPerPixel > 0 ? static_cast<uint64_t>(d.bitsPerPixel) : depth;
  const uint64_t planes = bits > depth ? 1 : d.bandCount;
  const uint64_t rowBytes = (bits * d.pitch + 7) / 8;
  if (d.sizeY != 0 && rowBytes > kMaxOnBoardBytes / d.sizeY) return kMaxOnBoardBytes + 1;
  const uint64_t plane = rowBytes * d.sizeY;
  if (planes != 0 && plane > kMaxOnBoardBytes / planes) return kMaxOnBoardBytes + 1;
  return plane * planes;
}

// The kernel's band selector for a child's band, or -2 when the band is invalid.
int64_t BandSelector(int64_t band, uint64_t format, int64_t parentBands) {
  if (band == -1) return -1;
  if (band == kFirstBand || band == kSecondBand || band == kThirdBand) {
    const int64_t rank = band == kFirstBand ? 0 : band == kSecondBand ? 1 : 2;
    switch (format) {
      case kFormatMono1:
      case kFormatMono8:
      case kFormatMono16:
      case kFormatMono32:
        return band == kFirstBand ? 0 : -2;
      case kFormatBgr24:
      case kFormatBgr32:
        return 3 - rank;
      case kFormatRgb24:
      case kFormatRgb32:
      case kFormatRgb48:
      case kFormatRgb96:
      case kFormatRgb3:
      case kFormatYuv16:
        return rank;
      default:
        return parentBands >= 3 ? rank : 0;
    }
  }
  return band >= 0 && band < parentBands ? band : -2;
}

void Answer(void* out, int64_t value) {
  if (out != nullptr) *static_cast<int64_t*>(out) = value;
}

struct ChildRegion {
  int64_t offsetX;
  int64_t offsetY;
  int64_t sizeX;
  int64_t sizeY;
};

// A grab parent lends part of itself only in the layouts the board's engine splits.
bool RefusesPart(const frame::QDBufferInfo& parent, const ChildRegion& r) {
  const kernel::KernelBufferDescriptor& pd = parent.Descriptor();
  const uint64_t attributes = pd.attributeWord | parent.State().attributes;
  const bool whole = r.offsetX == 0 && r.offsetY == 0 &&
                     static_cast<uint64_t>(r.sizeX) == pd.sizeX &&
                     static_cast<uint64_t>(r.sizeY) == pd.sizeY;
  const bool partsAllowed = ((attributes & kPacked) != 0 &&
                             (HasAllBits(attributes, 0x1C00) || HasAllBits(attributes, 0x1700))) ||
                            ((attributes & 0x800) != 0 && (attributes & kPacked) == 0);
  return !whole && (attributes & kGrab) != 0 && !partsAllowed;
}

// The kernel's child buffer, made when the parent has a kernel buffer; 0 when none was made.
uint64_t AllocKernelChild(const QDHwSpecSystem& system, const frame::QDBufferInfo& parent,
                          int64_t selector, const ChildRegion& r, foundation::CError& error,
                          QDDriverThreadContext& ctx) {
  if (parent.GetKernelHandle() == 0) return 0;
  if (RefusesPart(parent, r)) {
    error.SetError(kSerialPortAllocationError, 3);
    return 0;
  }
  kernel::BufChildAllocRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = system.CallerKernelId(ctx);
  request.parentHandle = parent.GetKernelHandle();
  request.band = selector;
  request.offsetX = static_cast<uint64_t>(r.offsetX);
  request.offsetY = static_cast<uint64_t>(r.offsetY);
  request.sizeX = static_cast<uint64_t>(r.sizeX);
  request.sizeY = static_cast<uint64_t>(r.sizeY);
  frame::LLsysRequest(system.Handles(), kernel::kBufChildAlloc, request, error, &ctx);
  return request.childHandle;
}

// The child's record: its host and kernel buffers, its place under the parent, and what the
// parent says of its memory and grabs.
void FillChildRecord(frame::QDBufferInfo& record, const frame::QDBufferInfo& parent, QID child,
                     uint64_t childHandle) {
  frame::FillKernelBufferDescriptor(record, child);
  frame::BufferState& state = record.State();
  const frame::BufferState& parentState = parent.State();
  state.parentIndex = parent.Index();
  record.SetRootIndex(parent.RootIndex());
  state.ownHostBuffer = child;
  state.attributes = parentState.attributes;
  state.requestedAttributes = parentState.requestedAttributes;
  state.privateBits = parentState.privateBits;
  state.memoryGiven = parentState.memoryGiven;
  state.grabState = parentState.grabState == Q_DISABLE ? 0 : parentState.grabState;
  state.maxValue = parentState.maxValue;
  state.depthInUse = parentState.depthInUse;
  record.Descriptor().attributeWord |= parentState.privateBits;
  record.Descriptor().formatWord |= parentState.privateBits;
  record.SetKernelHandle(childHandle);
}

}  // namespace

bool QDHwSpecSystem::AllocOnBoardBuffer(frame::QDBufferInfo& record, uint64_t& handle,
                                        foundation::CError& error, QDDriverThreadContext& ctx) {
  const uint64_t attributes = record.State().attributes;
  if (!IsOnBoard(attributes)) return false;
  const kernel::KernelBufferDescriptor& d = record.Descriptor();
  const uint64_t bytes = OnBoardBytes(d);
  if (bytes > kMaxOnBoardBytes) {
    error.SetError(kUnsupportedBuffer, 2);
    return true;
  }
  kernel::OnBoardAllocRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.attributes = attributes;
  request.sizeX = d.sizeX;
  request.sizeY = d.sizeY;
  request.bandCount = d.bandCount;
  request.pitch = d.pitch;
  request.bitDepth = d.bitDepth & 0xFF;
  request.formatWord = d.formatWord;
  request.byteSize = bytes;
  frame::LLsysRequest(handles_, kernel::kAllocOnBoardBuffer, request, error, &ctx);
  if (error.errorSet == 0) {
    handle = request.kernelHandle;
    record.State().onBoardAddress = request.physicalAddress;
    record.Descriptor().physicalAddress[0] = request.physicalAddress;
  }
  return true;
}

bool QDHwSpecSystem::FreeOnBoardBuffer(frame::QDBufferInfo& record, uint64_t handle,
                                       foundation::CError& error, QDDriverThreadContext* ctx) {
  if (handle == 0 || !IsOnBoard(record.State().attributes)) return false;
  kernel::BufHandleRequest request{};
  request.header = frame::FreshHeader(error);
  request.kernelHandle = handle;
  frame::LLsysRequest(handles_, kernel::kFreeOnBoardBuffer, request, error, ctx);
  return true;
}

int64_t QDHwSpecSystem::BufFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<frame::QDBufferInfo> record = FindBuffer(args.Int(0));
  if (record == nullptr) return 1;
  const int64_t before = ctx.ErrorCode();
  foundation::CError error;
  if (record->GetKernelHandle() != 0 &&
      FreeOnBoardBuffer(*record, record->GetKernelHandle(), error, &ctx)) {
    if (error.errorSet != 0 && before == 0) return 1;
    record->SetKernelHandle(0);
  }
  if (RemoveBufferInfo(args.Int(0)) != nullptr) ReleaseBuffer(*record, &ctx);
  return 1;
}

int64_t QDHwSpecSystem::BufChildBand(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t band = args.Int(1);
  const ChildRegion region{args.Int(2), args.Int(3), args.Int(4), args.Int(5)};
  auto* outIndex = args.Pointer<int64_t>(6);
  if (outIndex != nullptr) *outIndex = 0;
  std::shared_ptr<frame::QDBufferInfo> parent = FindBuffer(args.Int(0));
  if (parent == nullptr) return 1;
  const kernel::KernelBufferDescriptor& pd = parent->Descriptor();
  const int64_t selector =
      BandSelector(band, pd.formatWord & kFormatCode, static_cast<int64_t>(pd.bandCount));
  if (selector == -2) {
    ctx.SetError(kInvalidBand, 1, 0, 0);
    return -1;
  }
  // The host knows bands by number.
  QID child = 0;
  HostBufChildAlloc(parent->HostId(), selector, region.offsetX, region.offsetY, region.sizeX,
                    region.sizeY, &child);
  if (child == 0) return -1;

  foundation::CError error;
  const uint64_t childHandle = AllocKernelChild(*this, *parent, selector, region, error, ctx);
  if (error.errorSet != 0) {
    error.Report(ctx);
    HostBufFree(child);
    return -1;
  }
  std::shared_ptr<frame::QDBufferInfo> record = MakeBufferInfo();
  const int64_t index = buffers_.Add(record);
  FillChildRecord(*record, *parent, child, childHandle);
  if (outIndex != nullptr) *outIndex = index;
  return 1;
}

int64_t QDHwSpecSystem::BufControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<frame::QDBufferInfo> record = FindBuffer(args.Int(0));
  if (record == nullptr) return 1;
  const int64_t type = args.Int(1);
  // A double is truncated, saturating; NaN becomes a value every range below refuses.
  const int64_t value = args.Value(2).AsInteger();
  const uint64_t attributes = record->State().attributes;
  switch (type) {
    case kBoardBufferWord:
      if (HasAllBits(attributes, frame::bufattr::kBoardWordBuffer)) {
        const int64_t word = value == Q_DEFAULT ? 0 : value;
        if (word < 0 || word > 255) {
          ctx.SetError(kInvalidControl, 3, 0, 0);
        } else {
          record->State().boardWord = word;
        }
        return 1;
      }
      ctx.SetError(kInvalidBuffer, 1, 0, 0);
      break;
    case kBoardImageValue:
      if (!IsBoardImage(attributes)) {
        ctx.SetError(kInvalidControl, 1, 0, 0);
      } else if (value < 0 || value >= 17) {
        ctx.SetError(kInvalidControl, 3, 0, 0);
      }
      return 1;
    case Q_HOST_ADDRESS:
    case Q_PHYSICAL_ADDRESS:
      if (HasAllBits(attributes, kImage | kImageKind)) {
        kernel::KernelBufferDescriptor& d = record->Descriptor();
        (type == Q_HOST_ADDRESS ? d.hostAddress[0] : d.physicalAddress[0]) =
            static_cast<uint64_t>(value);
      }
      break;
    default:
      break;
  }
  return QDDeviceSystem::BufControl(args, ctx);
}

int64_t QDHwSpecSystem::BufInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<frame::QDBufferInfo> record = FindBuffer(args.Int(0));
  void* out = args.Pointer<void>(2);
  if (record == nullptr) {
    ctx.SetError(kInvalidBuffer, 4, 0, 0);
    return 1;
  }
  const kernel::KernelBufferDescriptor& d = record->Descriptor();
  switch (args.Int(1)) {
    case kBoardBufferWord:
      Answer(out, record->State().boardWord);
      return 1;
    case kBoardRecordWords:
    case Q_PHYSICAL_ADDRESS:
      Answer(out, static_cast<int64_t>(d.physicalAddress[0]));
      return 1;
    case Q_HOST_ADDRESS: {
      int64_t address = 0;
      HostBufInquire(record->HostId(), Q_HOST_ADDRESS, &address);
      if (HasAllBits(record->State().attributes, 0x80000000040)) address += 16;
      Answer(out, address);
      return 1;
    }
    case kKernelPhysicalAddress: {
      if (record->GetKernelHandle() == 0) break;
      foundation::CError error;
      kernel::BufInquireRequest request{};
      request.header = frame::FreshHeader(error);
      request.kernelHandle = record->GetKernelHandle();
      request.type = kernel::kBufInquirePhysicalAddress;
      frame::LLsysRequest(handles_, kernel::kBufInquire, request, error, &ctx);
      Answer(out, error.errorSet != 0 ? 0 : static_cast<int64_t>(request.value));
      return 1;
    }
    default:
      break;
  }
  return QDDeviceSystem::BufInquire(args, ctx);
}

}  // namespace zor::board
