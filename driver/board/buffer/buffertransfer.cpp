// Transfers the board makes on its own: a decimating copy out of device
// memory, and the three-buffer copy and blend. Unlike the region copy, the
// host library never takes over: what the board cannot do is an error.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "driver/board/buffer/boardcopyrules.h"
#include "driver/board/system/qdhwspecsystem.h"
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
  const uint64_t f = b.Descriptor().formatWord & 0x23F00;
  for (uint64_t allowed : formats) {
    if (f == allowed) return true;
  }
  return false;
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
  std::shared_ptr<QDBufferInfo> destination = FindBuffer(args.Int(kDestination));
  std::shared_ptr<QDBufferInfo> first;
  std::shared_ptr<QDBufferInfo> third;
  if (blend) {
    first = FindBuffer(args.Int(kSource));
    if (const auto* extra = args.Pointer<const QID>(kExtra); extra != nullptr) {
      third = FindBuffer(HostBufInquire(*extra, Q_DRIVER_INDEX, nullptr));
    }
    if (static_cast<uint64_t>(args.Int(kOperationFlag)) > 255)
      ctx.SetError(kInvalidBufferOperation, 2, 0, 0);
  } else {
    first = destination;
    third = FindBuffer(args.Int(kSource));
  }
  const int64_t srcX = args.Int(kSrcX);
  const int64_t srcY = args.Int(kSrcY);
  const int64_t srcSizeX = args.Int(kSrcSizeX);
  const int64_t srcSizeY = args.Int(kSrcSizeY);
  const int64_t dstX = args.Int(kDstX);
  const int64_t dstY = args.Int(kDstY);
  const int64_t dstSizeX = args.Int(kDstSizeX);
  const int64_t dstSizeY = args.Int(kDstSizeY);
  auto present = [](const std::shared_ptr<QDBufferInfo>& b) {
    return b != nullptr && b->State().associatedHostId != 0;
  };
  auto hasHandle = [](const std::shared_ptr<QDBufferInfo>& b) { return b->GetKernelHandle() != 0; };
  if (!present(first) || !present(destination) || !present(third)) {
    ctx.SetError(kInvalidBuffer, 4, 0, 0);
  } else if (!IsMultipleOf32(dstSizeX) || !IsMultipleOf32(dstX) || !IsMultipleOf32(srcSizeX) ||
             !IsMultipleOf32(srcX) || dstSizeX != srcSizeX || dstSizeY != srcSizeY ||
             (blend && (static_cast<uint64_t>(dstSizeX) != third->Descriptor().sizeX ||
                        static_cast<uint64_t>(dstSizeY) != third->Descriptor().sizeY))) {
    ctx.SetError(kInvalidCopy, 2, 0, 0);
  } else if ((blend && !FormatIn(*third, {0x20700, 0x21700, 0x21C00})) ||
             !FormatIn(*destination, {0x21700, 0x21C00}) || !FormatIn(*first, {0x21700, 0x21C00})) {
    ctx.SetError(kInvalidBuffer, 1, 0, 0);
  } else if (!hasHandle(first) || !hasHandle(destination) || !hasHandle(third)) {
    ctx.SetError(kInvalidBand, 2, 0, 0);
  }
  if (ctx.ErrorCode() != 0) return 1;

  foundation::CError error;
  kernel::BufTripleTransferRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.firstHandle = first->GetKernelHandle();
  request.thirdHandle = third->GetKernelHandle();
  request.destHandle = destination->GetKernelHandle();
  request.destOffsetX = static_cast<uint32_t>(dstX);
  request.destOffsetY = static_cast<uint32_t>(dstY);
  request.srcOffsetX = request.srcOffsetX2 = static_cast<uint32_t>(srcX);
  request.srcOffsetY = request.srcOffsetY2 = static_cast<uint32_t>(srcY);
  request.srcSizeX = static_cast<uint32_t>(srcSizeX);
  request.srcSizeY = static_cast<uint32_t>(srcSizeY);
  request.transferFunction = function;
  request.operationFlag = static_cast<uint64_t>(args.Int(kOperationFlag));
  frame::LLsysRequest(handles_, kernel::kBufTripleTransfer, request, error, &ctx);
  WaitForBoardWork(ctx);
  // Queued even after a kernel error: the host learns of whatever the board wrote.
  QueueBufferGrab(first.get(), *destination, 1, 1, ctx, {srcX, srcY, dstX, dstY}, srcSizeX,
                  srcSizeY);
  HostAppControl(Q_DEFAULT, kLastCopyControl, kBoardCopied);
  return 1;
}

}  // namespace zor::board
