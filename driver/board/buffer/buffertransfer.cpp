// Transfers the board makes on its own: a decimating copy out of device
// memory, and the three-buffer copy and blend. Unlike the region copy, the
// host library never takes over: what the board cannot do is an error.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "driver/board/buffer/boardcopyrules.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "platform/host/hostservices.h"

namespace zor::board {
namespace {

using errorcode::kInvalidBand;
using errorcode::kInvalidBuffer;
using errorcode::kInvalidBufferOperation;
using errorcode::kInvalidCopy;
using frame::QDBufferInfo;
using frame::bufattr::kNonPaged;

constexpr int64_t kBoardTransferType = 0x2000000;
constexpr int64_t kMaxScaleX = 16;

// Argument positions of the transfer.
enum Arg : std::size_t {
  kSource,
  kDestination,
  kSrcX,
  kSrcY,
  kSrcSizeX,
  kSrcSizeY,
  kSrcBand,
  kDstX,
  kDstY,
  kDstSizeX,
  kDstSizeY,
  kDstBand,
  kFunction,
  kType,
  kOperationFlag,
  kExtra,
};

bool InDeviceMemory(uint64_t attributes) {
  return (attributes & frame::bufattr::kDeviceMemory) != 0;
}

bool NeedsNoMapping(const kernel::KernelBufferDescriptor& d) {
  return d.needsMapping == 0 && d.mapped == 1;
}

// The conditions of a decimating copy from device memory into host memory.
bool BoardCanScale(const QDBufferInfo& source, const QDBufferInfo& destination, int64_t scaleX,
                   int64_t scaleY) {
  const kernel::KernelBufferDescriptor& s = source.Descriptor();
  const kernel::KernelBufferDescriptor& d = destination.Descriptor();
  const uint64_t depth = s.bitDepth & 0xFF;
  return InDeviceMemory(s.attributeWord) && !InDeviceMemory(d.attributeWord) &&
         (d.attributeWord & kNonPaged) != 0 && (s.attributeWord & kNonPaged) != 0 && scaleX >= 1 &&
         scaleX <= kMaxScaleX && scaleY >= 1 && (depth == 8 || depth == 16) && NeedsNoMapping(s) &&
         NeedsNoMapping(d) && s.pitch % 4 == 0 && d.pitch % 4 == 0 &&
         BoardUnpacksInto(destination, source);
}

bool IsMultipleOf32(int64_t value) { return value % 32 == 0; }

bool FormatIn(const QDBufferInfo& b, std::initializer_list<uint64_t> formats) {
  return foundation::OneOf(b.Descriptor().formatWord & 0x23F00, formats);
}

struct TransferRegion {
  int64_t srcX;
  int64_t srcY;
  int64_t srcSizeX;
  int64_t srcSizeY;
  int64_t dstX;
  int64_t dstY;
  int64_t dstSizeX;
  int64_t dstSizeY;
};

TransferRegion ReadRegion(const OperationArgs& args) {
  return {args.Int(kSrcX), args.Int(kSrcY), args.Int(kSrcSizeX), args.Int(kSrcSizeY),
          args.Int(kDstX), args.Int(kDstY), args.Int(kDstSizeX), args.Int(kDstSizeY)};
}

// The buffers of a three-buffer transfer; the blend reads the first and the third into the
// destination, the copy the third.
struct ThreeBuffers {
  std::shared_ptr<QDBufferInfo> first;
  std::shared_ptr<QDBufferInfo> destination;
  std::shared_ptr<QDBufferInfo> third;
};

// The blend's third buffer is the one whose host id the extra argument points to.
ThreeBuffers FindThreeBuffers(const QDHwSpecSystem& system, const OperationArgs& args, bool blend,
                              QDDriverThreadContext& ctx) {
  ThreeBuffers buffers;
  buffers.destination = system.FindBuffer(args.Int(kDestination));
  if (blend) {
    buffers.first = system.FindBuffer(args.Int(kSource));
    if (const auto* extra = args.Pointer<const QID>(kExtra); extra != nullptr) {
      buffers.third = system.FindBuffer(HostBufInquire(*extra, Q_DRIVER_INDEX, nullptr));
    }
    if (static_cast<uint64_t>(args.Int(kOperationFlag)) > 255)
      ctx.SetError(kInvalidBufferOperation, 2, 0, 0);
  } else {
    buffers.first = buffers.destination;
    buffers.third = system.FindBuffer(args.Int(kSource));
  }
  return buffers;
}

bool SizesFit(const ThreeBuffers& b, const TransferRegion& r, bool blend) {
  return IsMultipleOf32(r.dstSizeX) && IsMultipleOf32(r.dstX) && IsMultipleOf32(r.srcSizeX) &&
         IsMultipleOf32(r.srcX) && r.dstSizeX == r.srcSizeX && r.dstSizeY == r.srcSizeY &&
         (!blend || (static_cast<uint64_t>(r.dstSizeX) == b.third->Descriptor().sizeX &&
                     static_cast<uint64_t>(r.dstSizeY) == b.third->Descriptor().sizeY));
}

bool FormatsFit(const ThreeBuffers& b, bool blend) {
  return (!blend || FormatIn(*b.third, {0x20700, 0x21700, 0x21C00})) &&
         FormatIn(*b.destination, {0x21700, 0x21C00}) && FormatIn(*b.first, {0x21700, 0x21C00});
}

// Records the error of the first check the buffers fail.
void CheckThreeBuffers(const ThreeBuffers& b, const TransferRegion& r, bool blend,
                       QDDriverThreadContext& ctx) {
  auto present = [](const std::shared_ptr<QDBufferInfo>& buffer) {
    return buffer != nullptr && buffer->State().associatedHostId != 0;
  };
  auto hasHandle = [](const std::shared_ptr<QDBufferInfo>& buffer) {
    return buffer->GetKernelHandle() != 0;
  };
  if (!present(b.first) || !present(b.destination) || !present(b.third)) {
    ctx.SetError(kInvalidBuffer, 4, 0, 0);
  } else if (!SizesFit(b, r, blend)) {
    ctx.SetError(kInvalidCopy, 2, 0, 0);
  } else if (!FormatsFit(b, blend)) {
    ctx.SetError(kInvalidBuffer, 1, 0, 0);
  } else if (!hasHandle(b.first) || !hasHandle(b.destination) || !hasHandle(b.third)) {
    ctx.SetError(kInvalidBand, 2, 0, 0);
  }
}

void SendThreeBufferRequest(const QDHwSpecSystem& system, const ThreeBuffers& b,
                            const TransferRegion& r, uint64_t function, uint64_t operationFlag,
                            QDDriverThreadContext& ctx) {
  foundation::CError error;
  kernel::BufTripleTransferRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = system.CallerKernelId(ctx);
  request.firstHandle = b.first->GetKernelHandle();
  request.thirdHandle = b.third->GetKernelHandle();
  request.destHandle = b.destination->GetKernelHandle();
  request.destOffsetX = static_cast<uint32_t>(r.dstX);
  request.destOffsetY = static_cast<uint32_t>(r.dstY);
  request.srcOffsetX = request.srcOffsetXAgain = static_cast<uint32_t>(r.srcX);
  request.srcOffsetY = request.srcOffsetYAgain = static_cast<uint32_t>(r.srcY);
  request.srcSizeX = static_cast<uint32_t>(r.srcSizeX);
  request.srcSizeY = static_cast<uint32_t>(r.srcSizeY);
  request.transferFunction = function;
  request.operationFlag = operationFlag;
  frame::LLsysRequest(system.Handles(), kernel::kBufTripleTransfer, request, error, &ctx);
}

}  // namespace

int64_t QDHwSpecSystem::BufTransfer(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (args.Int(kType) != kBoardTransferType) {
    ctx.SetError(kInvalidCopy, 1, 0, 0);
    return -1;
  }
  const auto function = static_cast<uint64_t>(args.Int(kFunction));
  if (function == kernel::kTransferFunctionCopy || function == kernel::kTransferFunctionThree) {
    return ThreeBufferTransfer(args, ctx);
  }
  return ScaledTransfer(args, ctx);
}

int64_t QDHwSpecSystem::ScaledTransfer(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (ctx.Command().noOperation != 0) return 1;
  std::shared_ptr<QDBufferInfo> source = FindBuffer(args.Int(kSource));
  std::shared_ptr<QDBufferInfo> destination = FindBuffer(args.Int(kDestination));
  if (source == nullptr || destination == nullptr) {
    ctx.SetError(kInvalidBuffer, 4, 0, 0);
    return 1;
  }
  // An empty destination has no scale, and a source smaller than the
  // destination in Y would reach the board as a skip of -1.
  const int64_t dstSizeX = args.Int(kDstSizeX);
  const int64_t dstSizeY = args.Int(kDstSizeY);
  const int64_t scaleX = dstSizeX > 0 ? args.Int(kSrcSizeX) / dstSizeX : 0;
  const int64_t scaleY = dstSizeY > 0 ? args.Int(kSrcSizeY) / dstSizeY : 0;
  if (!BoardCanScale(*source, *destination, scaleX, scaleY)) {
    ctx.SetError(kInvalidCopy, 1, 0, 0);
    return 1;
  }
  const int64_t srcX = args.Int(kSrcX);
  const int64_t srcY = args.Int(kSrcY);
  const int64_t dstX = args.Int(kDstX);
  const int64_t dstY = args.Int(kDstY);
  const kernel::KernelBufferDescriptor& s = source->Descriptor();
  const kernel::KernelBufferDescriptor& d = destination->Descriptor();
  kernel::BufTransferRequest request{};
  request.direction = 0;
  request.deviceHandle = source->GetKernelHandle();
  request.other = d;
  request.otherFinalWord = d.finalWord;
  request.otherMaxValue = d.maxPixelValue;
  request.destOffsetX = static_cast<uint64_t>(dstX);
  request.destOffsetY = static_cast<uint64_t>(dstY);
  request.destBand = static_cast<int64_t>(d.bandCount);
  request.srcOffsetX = static_cast<uint64_t>(srcX);
  request.srcOffsetY = static_cast<uint64_t>(srcY);
  request.srcBand = static_cast<int64_t>(s.bandCount);
  request.sizeX = s.sizeX;
  request.sizeY = s.sizeY;
  request.skipX = static_cast<uint64_t>(scaleX - 1);
  request.skipY = static_cast<uint64_t>(scaleY - 1);
  request.destBoardWord = static_cast<uint64_t>(destination->State().boardWord);
  if (SendTransfer(request, *destination, true, ctx) && WaitForBoardWork(ctx)) {
    QueueBufferGrab(source.get(), *destination, scaleX, scaleY, ctx, {srcX, srcY, dstX, dstY}, -1,
                    -1);
  }
  HostAppControl(Q_DEFAULT, kLastCopyControl, kBoardCopied);
  return 1;
}

int64_t QDHwSpecSystem::ThreeBufferTransfer(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const auto function = static_cast<uint64_t>(args.Int(kFunction));
  const bool blend = function == kernel::kTransferFunctionThree;
  const ThreeBuffers buffers = FindThreeBuffers(*this, args, blend, ctx);
  const TransferRegion r = ReadRegion(args);
  CheckThreeBuffers(buffers, r, blend, ctx);
  if (ctx.ErrorCode() != 0) return 1;

  SendThreeBufferRequest(*this, buffers, r, function,
                         static_cast<uint64_t>(args.Int(kOperationFlag)), ctx);
  WaitForBoardWork(ctx);
  // Queued even after a kernel error: the host learns of whatever the board wrote.
  QueueBufferGrab(buffers.first.get(), *buffers.destination, 1, 1, ctx,
                  {r.srcX, r.srcY, r.dstX, r.dstY}, r.srcSizeX, r.srcSizeY);
  HostAppControl(Q_DEFAULT, kLastCopyControl, kBoardCopied);
  return 1;
}

}  // namespace zor::board
