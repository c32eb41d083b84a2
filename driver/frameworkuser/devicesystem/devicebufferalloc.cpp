// The device layer's buffer allocation: the attribute checks every system
// shares, the kernel buffer for device memory, the host buffer, and the
// record in the system's buffer list. A refused allocation leaves nothing.
#include <algorithm>
#include <new>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "interfaces/kernel/bufferrequests.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

using bufattr::kDeviceMemory;
using bufattr::kFormatCode;
using bufattr::kGrab;
using bufattr::kImage;
using bufattr::kImageKind;
using bufattr::kLayout;
using bufattr::kNonPaged;
using bufattr::kPacked;
using bufattr::kPlanar;
constexpr uint64_t kPhysicalGiven = 0x300000;
constexpr uint64_t kHostAddressFlag = 0x10000;
constexpr uint64_t kBandAddressFlag = 0x2000000000;
constexpr uint64_t kNoAddressFlag = 0x4000000;
using errorcode::kBufferMemoryError;
using errorcode::kGrabBufferAllocationError;
using errorcode::kInvalidBuffer;
using errorcode::kNamedBufferError;
using errorcode::kNoHostMemory;
using errorcode::kUnsupportedBuffer;

using foundation::HasAllBits;

bool OneBandFormat(uint64_t format) {
  return (format >= 0x100 && format <= 0x500) || (format >= 0x2900 && format <= 0x2F00);
}

// This layer gives the kernel and the record no context word of its own.
constexpr int64_t kAllocationContext = 0;

// Both bits: the first address is a physical one, and no band address is given.
void TakePhysicalAddress(BufAllocParams& p) {
  if (!HasAllBits(p.flags, kPhysicalGiven)) return;
  p.physicalAddress = p.addresses != nullptr ? reinterpret_cast<uint64_t>(p.addresses[0]) : 0;
  p.addresses = nullptr;
}

}  // namespace

std::shared_ptr<QDBufferInfo> QDDeviceSystem::MakeBufferInfo() {
  return std::make_shared<QDBufferInfo>(DeviceNumber(), this);
}

int64_t QDDeviceSystem::BufAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  BufAllocParams p;
  p.bands = args.Int(0);
  p.sizeX = args.Int(1);
  p.sizeY = args.Int(2);
  p.type = args.Int(3);
  p.attributes = static_cast<uint64_t>(args.Int(4));
  p.flags = static_cast<uint64_t>(args.Int(5));
  p.pitch = args.Int(6);
  p.addresses = args.Pointer<void*>(7);
  AllocateBuffer(p, args.Pointer<int64_t>(8), ctx);
  return 1;
}

foundation::CError QDDeviceSystem::CheckAttributes(BufAllocParams& p) const {
  if (p.bands != 1 && p.bands != 3) return {kUnsupportedBuffer, 1};
  uint64_t& a = p.attributes;
  if ((a & (kDeviceMemory | kGrab)) != 0) a |= kNonPaged;
  if ((a & 0x2) != 0) return {kInvalidBuffer, 1};
  if ((a & kGrab) != 0) {
    a |= 0x4000000;
    if (p.type == Q_FLOAT + 32 || p.type == Q_FLOAT + 64) return {kUnsupportedBuffer, 2};
    if ((p.flags & kHostAddressFlag) != 0) return {kGrabBufferAllocationError, 4};
  }
  if ((a & kDeviceMemory) != 0) {
    if ((a & 0x2010000) != 0) return {kUnsupportedBuffer, 2};
    if ((a & kImageKind) != 0 && p.byteSize == 0) return {kInvalidBuffer, 1};
    if (!HasAllBits(a, kImage | kImageKind) &&
        ((a & 0x2884178100000080) != 0 || HasAllBits(a, 0x400080000))) {
      return {kUnsupportedBuffer, 2};
    }
  }
  const uint64_t format = a & kFormatCode;
  if (format != 0 && (p.bands == 1) != OneBandFormat(format)) return {kUnsupportedBuffer, 1};
  return {};
}

int64_t QDDeviceSystem::CreateDeviceMemoryBuffer(BufAllocParams& p, int64_t hostSystem,
                                                 int64_t context, uint64_t& kernelHandle,
                                                 bool& memoryGiven, foundation::CError& error,
                                                 QDDriverThreadContext& ctx) {
  CheckGrabBufParams(p, error);
  if (error.errorSet != 0) return 0;
  if ((p.flags & 0x200000) != 0) {
    error.SetError(kNamedBufferError, 3);
    return 0;
  }
  if (p.addresses != nullptr && (p.flags & kHostAddressFlag) != 0) {
    error.SetError(kBufferMemoryError, 2);
    return 0;
  }
  kernel::BufAllocRequest request{};
  request.header = FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.bandCount = static_cast<uint64_t>(p.bands);
  request.sizeX = static_cast<uint64_t>(p.sizeX);
  request.sizeY = static_cast<uint64_t>(p.sizeY);
  request.type = static_cast<uint64_t>(p.type);
  request.context = static_cast<uint64_t>(context);
  request.attributes = p.attributes;
  request.flags = p.flags;
  request.pitch = static_cast<uint64_t>(p.pitch);
  request.byteSize = static_cast<uint64_t>(p.byteSize);
  const bool single = (p.flags & 0x800000) != 0 || (p.attributes & kPacked) != 0 ||
                      HasAllBits(p.attributes, kImage | kImageKind);
  const int64_t given = single ? 1 : std::min<int64_t>(p.bands, kernel::kMaxBands);
  for (int64_t band = 0; p.addresses != nullptr && band < given; ++band) {
    request.givenAddress[band] = reinterpret_cast<uint64_t>(p.addresses[band]);
  }
  LLsysRequest(handles_, kernel::kBufAlloc, request, error, &ctx);
  if (error.errorSet != 0) return 0;
  kernelHandle = request.kernelHandle;

  const bool perBand = (p.attributes & kPlanar) != 0 && (p.attributes & kImageKind) == 0;
  const int64_t bands = perBand ? std::min<int64_t>(p.bands, kernel::kMaxBands) : 1;
  void* addresses[kernel::kMaxBands] = {};
  bool every = true;
  for (int64_t band = 0; band < bands; ++band) {
    addresses[band] = reinterpret_cast<void*>(request.hostAddress[band]);
    if (addresses[band] == nullptr) every = false;
  }
  uint64_t hostFlags = (p.flags & ~uint64_t{0x20110F00}) | 0x48000000 | 0x4000;
  if (every) {
    p.attributes |= kBandAddressFlag;
    memoryGiven = true;
  } else {
    hostFlags |= kNoAddressFlag;
  }
  QID id = 0;
  HostBufCreateColor(hostSystem, p.bands, p.sizeX, p.sizeY, p.type,
                     static_cast<QINT64>(p.attributes & ~GetPrivateBufAttributes()),
                     static_cast<QINT64>(hostFlags), static_cast<QINT64>(request.kernelPitch),
                     every ? addresses : nullptr, &id);
  return id;
}

int64_t QDDeviceSystem::CreateHostMemoryBuffer(BufAllocParams& p, int64_t hostSystem,
                                               bool& memoryGiven, bool& dropped,
                                               foundation::CError& error) {
  const uint64_t hostAttributes = p.attributes & ~GetPrivateBufAttributes();
  QID id = 0;
  if (p.addresses != nullptr) {
    void* cleared[kernel::kMaxBands] = {};
    dropped = HasAllBits(p.flags, 0x4008000);
    memoryGiven = !dropped;
    HostBufCreateColor(hostSystem, p.bands, p.sizeX, p.sizeY, p.type,
                       static_cast<QINT64>(hostAttributes), static_cast<QINT64>(p.flags), p.pitch,
                       dropped ? cleared : p.addresses, &id);
  } else {
    void* physical[kernel::kMaxBands] = {reinterpret_cast<void*>(p.physicalAddress)};
    HostBufCreateColor(hostSystem, p.bands, p.sizeX, p.sizeY, p.type,
                       static_cast<QINT64>(hostAttributes), static_cast<QINT64>(p.flags | 0x100000),
                       p.pitch, p.physicalAddress != 0 ? physical : nullptr, &id);
  }
  if (id == 0 || (p.attributes & kImage) == 0) return id;
  // The host may have settled a format the caller left open.
  QINT64 hostFormat = 0;
  HostBufInquire(id, 7701, &hostFormat);
  if ((p.attributes & kFormatCode) == 0) {
    p.attributes |= static_cast<uint64_t>(hostFormat) & (kFormatCode | kLayout);
  }
  if ((p.attributes & 0x2) == 0) CheckGrabBufParams(p, error);
  return id;
}

// What an allocation has made so far; a failed step undoes it, newest first.
struct BufAllocProgress {
  foundation::CError error;
  QID hostId = 0;
  uint64_t kernelHandle = 0;
  bool memoryGiven = false;
  bool dropped = false;
  bool onBoardDone = false;
  std::shared_ptr<QDBufferInfo> record;
  int64_t index = 0;
};

void QDDeviceSystem::AllocateBuffer(BufAllocParams p, int64_t* outIndex,
                                    QDDriverThreadContext& ctx) {
  if (outIndex != nullptr) *outIndex = 0;
  const uint64_t requested = p.attributes;
  TakePhysicalAddress(p);
  BufAllocProgress made;
  // A request the device never took fails on the thread alone; the command fails with any
  // error the thread holds, so the allocation must go too.
  const auto clean = [&] { return made.error.errorSet == 0 && ctx.ErrorCode() == 0; };
  CheckBufAllocParams(p, made.error);
  if (made.error.errorSet == 0 && (p.attributes & kImage) != 0) made.error = CheckAttributes(p);
  const int64_t hostSystem = GetHostSystemId(0);
  if (clean()) CreateBuffer(p, hostSystem, made, ctx);
  if (clean()) PlaceBufferInfo(made, outIndex);
  if (clean()) FillBufferInfo(p, requested, made);
  if (clean()) TakeOnBoardMemory(made, ctx);
  if (!clean()) UndoAllocation(made, outIndex, ctx);
}

void QDDeviceSystem::CreateBuffer(BufAllocParams& p, int64_t hostSystem, BufAllocProgress& made,
                                  QDDriverThreadContext& ctx) {
  made.hostId =
      (p.attributes & kDeviceMemory) != 0
          ? CreateDeviceMemoryBuffer(p, hostSystem, kAllocationContext, made.kernelHandle,
                                     made.memoryGiven, made.error, ctx)
          : CreateHostMemoryBuffer(p, hostSystem, made.memoryGiven, made.dropped, made.error);
  // A host that made no buffer has recorded why.
  if (made.hostId == 0 && made.error.errorSet == 0) made.error.SetError(kNoHostMemory, 1);
}

void QDDeviceSystem::PlaceBufferInfo(BufAllocProgress& made, int64_t* outIndex) {
  try {
    made.record = MakeBufferInfo();
  } catch (const std::bad_alloc&) {
    made.error.SetError(kNoHostMemory, 1);
    return;
  }
  made.index = buffers_.Add(made.record);
  if (outIndex != nullptr) *outIndex = made.index;
}

void QDDeviceSystem::FillBufferInfo(const BufAllocParams& p, uint64_t requested,
                                    BufAllocProgress& made) {
  QDBufferInfo& record = *made.record;
  FillKernelBufferDescriptor(record, made.hostId);
  BufferState& state = record.State();
  state.requestedAttributes = requested;
  state.attributes = p.attributes;
  state.privateBits = p.attributes & (GetPrivateBufAttributes() | 0x80000000000);
  state.memoryGiven = made.memoryGiven;
  state.addressesDropped = made.dropped;
  state.context = kAllocationContext;
  state.maxValue = static_cast<int64_t>(record.Descriptor().maxPixelValue);
  state.depthInUse = static_cast<int64_t>(record.Descriptor().bitDepth & 0xFF);
  // The host never sees the driver's own bits; the copies and grabs test them. The grab
  // attribute stays out of the attribute word, whose bit 3 would keep grabs from flipping.
  record.Descriptor().attributeWord |= state.privateBits & ~kernel::kAttributeUnflipped;
  record.Descriptor().formatWord |= state.privateBits;
  const foundation::CError invalid = record.Validate();
  if (invalid.errorSet != 0) made.error.SetError(invalid.code, invalid.subCode);
}

void QDDeviceSystem::TakeOnBoardMemory(BufAllocProgress& made, QDDriverThreadContext& ctx) {
  uint64_t onBoardHandle = 0;
  made.onBoardDone = AllocOnBoardBuffer(*made.record, onBoardHandle, made.error, ctx);
  if (made.onBoardDone) made.kernelHandle = onBoardHandle;
  if (made.error.errorSet == 0) made.record->SetKernelHandle(made.kernelHandle);
}

void QDDeviceSystem::UndoAllocation(const BufAllocProgress& made, int64_t* outIndex,
                                    QDDriverThreadContext& ctx) {
  made.error.Report(ctx);
  if (made.hostId != 0) HostBufFree(made.hostId);
  if (made.kernelHandle != 0) {
    foundation::CError ignored;
    if (!made.onBoardDone || made.record == nullptr ||
        !FreeOnBoardBuffer(*made.record, made.kernelHandle, ignored, nullptr)) {
      FreeKernelBuffer(made.kernelHandle, ignored, nullptr);
    }
  }
  if (made.index != 0) {
    RemoveBufferInfo(made.index);
    if (outIndex != nullptr) *outIndex = 0;
  }
}

}  // namespace zor::frame
