// Region copies: the board's engine moves the pixels when both buffers suit
// it, else the host library copies. Either way the caller sees a copy.
#include <algorithm>

#include "driver/board/buffer/boardcopyrules.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/buffertypes.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "platform/host/hostservices.h"

namespace zor::board {
namespace {

using errorcode::kInvalidBand;
using namespace protocol;
using frame::QDBufferInfo;

using frame::bufattr::kDeviceMemory;
using frame::bufattr::kFormatCode;
using frame::bufattr::kImage;
using frame::bufattr::kImageKind;
using frame::bufattr::kNonPaged;
constexpr QINT64 kTransferSetting = 15059;

bool InDeviceMemory(const QDBufferInfo& b) {
  return (b.Descriptor().formatWord & kDeviceMemory) != 0;
}

bool IdleGrabState(const QDBufferInfo& b) {
  return b.State().grabState == 0 || b.State().grabState == Q_DISABLE;
}

// What every board copy needs of the two buffers.
bool BoardCanMove(const QDBufferInfo& source, const QDBufferInfo& destination,
                  const QDBufferInfo& other, const QDBufferInfo& device) {
  const kernel::KernelBufferDescriptor& s = source.Descriptor();
  const kernel::KernelBufferDescriptor& d = destination.Descriptor();
  const uint64_t depth = s.bitDepth & 0xFF;
  if (depth != 8 && depth != 16) return false;
  if ((s.formatWord & kNonPaged) == 0 || (d.formatWord & kNonPaged) == 0) return false;
  if (s.needsMapping != 0 || s.mapped != 1 || d.needsMapping != 0 || d.mapped != 1) return false;
  if (s.pitch % 4 != 0 || d.pitch % 4 != 0) return false;
  if (!IdleGrabState(source) || !IdleGrabState(destination)) return false;
  if ((s.formatWord & kFormatCode) != (d.formatWord & kFormatCode)) {
    return BoardUnpacksInto(other, device);
  }
  return true;
}

// Host bands are numbered; the named bands 8, 16 and 32 are the first three.
QINT64 HostBand(int64_t band) {
  switch (band) {
    case kFirstBand:
      return 0;
    case kSecondBand:
      return 1;
    case kThirdBand:
      return 2;
    default:
      return band;
  }
}

struct CopyRegion {
  int64_t srcBand;
  int64_t srcX;
  int64_t srcY;
  int64_t dstBand;
  int64_t dstX;
  int64_t dstY;
  int64_t sizeX;
  int64_t sizeY;
};

// The buffer in device memory that the board's engine drives, and the other one; no device
// buffer when the pair does not suit the engine.
struct BoardRoute {
  uint32_t direction = 0;  // 1: into device memory
  const QDBufferInfo* device = nullptr;
  const QDBufferInfo* other = nullptr;
};

BoardRoute ChooseBoardRoute(const QDBufferInfo& source, const QDBufferInfo& destination,
                            const CopyRegion& r) {
  const kernel::KernelBufferDescriptor& s = source.Descriptor();
  const kernel::KernelBufferDescriptor& d = destination.Descriptor();
  const bool srcDevice = InDeviceMemory(source);
  const bool dstDevice = InDeviceMemory(destination);
  if (!srcDevice && dstDevice) {
    const int64_t rowBytes = s.bitsPerPixel * r.sizeX / 8;
    const uint64_t end = s.hostAddress[0] + s.sizeY * s.pitch;
    if ((s.formatWord & kFormatCode) == (d.formatWord & kFormatCode) && d.hostAddress[0] % 2 == 0 &&
        d.pitch % 8 == 0 && d.pitch < 65536 && (s.hostAddress[0] >> 32) == (end >> 32) &&
        s.pitch < 16384 && rowBytes % 2 == 0 && rowBytes >= 32 && rowBytes <= 2040 &&
        r.sizeY >= 1 && r.sizeY <= 1023) {
      return {1, &destination, &source};
    }
  } else if (srcDevice && !dstDevice) {
    const bool byPixel = (d.formatWord & kImage) != 0 && (d.formatWord & kImageKind) != 0;
    const int64_t byteOffset = byPixel ? r.srcX : s.bitsPerPixel * r.srcX / 8;
    if ((d.formatWord & kNonPaged) != 0 && (s.hostAddress[0] + byteOffset) % 4 == 0) {
      return {0, &source, &destination};
    }
  } else if (srcDevice && dstDevice) {
    if ((s.formatWord & 0x1000000) != 0 && (d.formatWord & kNonPaged) != 0) {
      return {0, &source, &destination};
    }
  }
  return {};
}

kernel::BufTransferRequest TransferRequest(const BoardRoute& route, const QDBufferInfo& destination,
                                           const CopyRegion& r) {
  kernel::BufTransferRequest request{};
  request.direction = route.direction;
  request.deviceHandle = route.device->GetKernelHandle();
  request.other = route.other->Descriptor();
  request.otherFinalWord = route.other->Descriptor().finalWord;
  request.otherMaxValue = route.other->Descriptor().maxPixelValue;
  request.destOffsetX = static_cast<uint64_t>(r.dstX);
  request.destOffsetY = static_cast<uint64_t>(r.dstY);
  request.destBand = r.dstBand;
  request.srcOffsetX = static_cast<uint64_t>(r.srcX);
  request.srcOffsetY = static_cast<uint64_t>(r.srcY);
  request.srcBand = r.srcBand;
  request.sizeX = static_cast<uint64_t>(r.sizeX);
  request.sizeY = static_cast<uint64_t>(r.sizeY);
  request.destBoardWord = static_cast<uint64_t>(destination.State().boardWord);
  return request;
}

}  // namespace

void QDHwSpecSystem::QueueBufferGrab(const QDBufferInfo* first, const QDBufferInfo& second,
                                     int64_t stepX, int64_t stepY, QDDriverThreadContext& ctx,
                                     const std::array<int64_t, 4>& offsets, int64_t maxWidth,
                                     int64_t maxHeight) {
  QINT64 setting = 0;
  HostAppInquire(Q_DEFAULT, kTransferSetting, &setting);
  if (setting != 0 || !frame::GetEnabledFlag(buffers_, second)) return;
  std::shared_ptr<QDBufferInfo> root = FindBuffer(second.RootIndex());
  if (root == nullptr || root->State().associatedHostId == 0 ||
      second.State().associatedHostId == 0 || stepX <= 0 || stepY <= 0) {
    return;
  }
  const kernel::KernelBufferDescriptor& s = second.Descriptor();
  const int64_t availableX = static_cast<int64_t>(s.sizeX) - offsets[2];
  const int64_t availableY = static_cast<int64_t>(s.sizeY) - offsets[3];
  int64_t width = availableX;
  int64_t height = availableY;
  if (first != nullptr || stepX != 1 || stepY != 1) {
    const kernel::KernelBufferDescriptor& f = first != nullptr ? first->Descriptor() : s;
    width = std::min((static_cast<int64_t>(f.sizeX) - offsets[0] + stepX - 1) / stepX, availableX);
    height = std::min((static_cast<int64_t>(f.sizeY) - offsets[1] + stepY - 1) / stepY, availableY);
    if (maxWidth != -1) width = std::min(width, maxWidth);
    if (maxHeight != -1) height = std::min(height, maxHeight);
  }
  const int64_t mark = root->State().associatedHostId;
  HostBufControl(mark, Q_GRAB_STATE, 1);
  foundation::CError error;
  kernel::BufQueueGrabRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.kernelHandle = root->GetKernelHandle();
  request.bufferIndex = static_cast<uint64_t>(root->Index());
  request.hostBuffer = static_cast<uint64_t>(second.State().associatedHostId);
  request.minusOne = -1;
  request.offsetX = static_cast<uint64_t>(offsets[2]);
  request.offsetY = static_cast<uint64_t>(offsets[3]);
  request.width = static_cast<uint64_t>(std::max<int64_t>(width, 0));
  request.height = static_cast<uint64_t>(std::max<int64_t>(height, 0));
  frame::LLsysRequest(handles_, kernel::kBufQueueGrab, request, error, &ctx);
  // No grab will end it: a mark left at 1 would keep the host buffer pending for good.
  if (error.errorSet != 0) HostBufControl(mark, Q_GRAB_STATE, 2);
}

bool QDHwSpecSystem::WaitForBoardWork(QDDriverThreadContext& ctx) {
  frame::QDZorThreadContext* caller = CallerContext(ctx);
  if ((caller != nullptr ? caller->CopyWaitMode() : 1) != 1) return false;
  OperationArgs wait;
  wait.Push(Q_DEFAULT);
  wait.Push(0x1000000);
  wait.Push(0);
  ThreadWait(wait, ctx);
  return true;
}

bool QDHwSpecSystem::SendTransfer(kernel::BufTransferRequest& request,
                                  const QDBufferInfo& destination, bool markGrab,
                                  QDDriverThreadContext& ctx) {
  QINT64 mark = 0;
  if (markGrab) {
    QINT64 setting = 0;
    HostAppInquire(Q_DEFAULT, kTransferSetting, &setting);
    frame::QDZorThreadContext* caller = CallerContext(ctx);
    std::shared_ptr<QDBufferInfo> root = FindBuffer(destination.RootIndex());
    if (setting == 0 && caller != nullptr && caller->CopyWaitMode() == 2 &&
        frame::GetEnabledFlag(buffers_, destination) && root != nullptr &&
        root->State().associatedHostId != 0 && destination.State().associatedHostId != 0) {
      mark = root->State().associatedHostId;
      HostBufControl(mark, Q_GRAB_STATE, 1);
      request.grabMark = 1;
    }
  }
  foundation::CError error;
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  frame::LLsysRequest(handles_, kernel::kBufTransfer, request, error, &ctx);
  if (error.errorSet != 0 && mark != 0) HostBufControl(mark, Q_GRAB_STATE, 2);
  return error.errorSet == 0;
}

int64_t QDHwSpecSystem::BufCopyRegion(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (ctx.Command().noOperation != 0) return 1;
  std::shared_ptr<QDBufferInfo> source = FindBuffer(args.Int(0));
  std::shared_ptr<QDBufferInfo> destination = FindBuffer(args.Int(1));
  if (source == nullptr || destination == nullptr) return 1;
  const CopyRegion r{args.Int(2), args.Int(3), args.Int(4), args.Int(5),
                     args.Int(6), args.Int(7), args.Int(8), args.Int(9)};
  auto namedBand = [](int64_t band) { return band == -1 || band == 8 || band == 16 || band == 32; };

  bool boardCopied = false;
  if (!namedBand(r.srcBand) || !namedBand(r.dstBand)) {
    ctx.SetError(kInvalidBand, 1, 0, 0);
  } else {
    const BoardRoute route = ChooseBoardRoute(*source, *destination, r);
    if (route.device != nullptr &&
        BoardCanMove(*source, *destination, *route.other, *route.device)) {
      kernel::BufTransferRequest request = TransferRequest(route, *destination, r);
      if (SendTransfer(request, *destination, route.direction == 0, ctx)) {
        boardCopied = true;
        const bool waited = WaitForBoardWork(ctx);
        if (waited || route.direction == 1) {
          QueueBufferGrab(source.get(), *destination, 1, 1, ctx, {r.srcX, r.srcY, r.dstX, r.dstY},
                          r.sizeX, r.sizeY);
        }
      }
    }
  }
  if (ctx.ErrorCode() == 0 && boardCopied) {
    HostAppControl(Q_DEFAULT, kLastCopyControl, kBoardCopied);
    return 1;
  }
  // Whatever stopped the board, the host copies.
  if (ctx.ErrorCode() != 0) ctx.SetError(0, 0, 0, 0);
  HostBufTransfer(source->HostId(), destination->HostId(), r.srcX, r.srcY, r.sizeX, r.sizeY,
                  HostBand(r.srcBand), r.dstX, r.dstY, r.sizeX, r.sizeY, HostBand(r.dstBand),
                  0x20000, 0x1000080, 0, nullptr);
  return 1;
}

int64_t QDHwSpecSystem::BufCopyClip(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (ctx.Command().noOperation != 0) return 1;
  std::shared_ptr<QDBufferInfo> source = FindBuffer(args.Int(0));
  std::shared_ptr<QDBufferInfo> destination = FindBuffer(args.Int(1));
  if (source == nullptr || destination == nullptr) return 1;
  const int64_t offsetX = args.Int(2);
  const int64_t offsetY = args.Int(3);
  const kernel::KernelBufferDescriptor& s = source->Descriptor();
  const kernel::KernelBufferDescriptor& d = destination->Descriptor();
  const int64_t sizeX =
      std::min(static_cast<int64_t>(d.sizeX) - offsetX, static_cast<int64_t>(s.sizeX));
  const int64_t sizeY =
      std::min(static_cast<int64_t>(d.sizeY) - offsetY, static_cast<int64_t>(s.sizeY));
  // Nothing of the source lands inside the destination.
  if (sizeX <= 0 || sizeY <= 0) return 1;
  OperationArgs copy;
  for (int64_t word : {args.Int(0), args.Int(1), int64_t{-1}, int64_t{0}, int64_t{0}, int64_t{-1},
                       offsetX, offsetY, sizeX, sizeY}) {
    copy.Push(word);
  }
  return BufCopyRegion(copy, ctx);
}

}  // namespace zor::board
