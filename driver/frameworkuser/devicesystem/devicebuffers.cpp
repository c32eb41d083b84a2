// The device layer's buffer operations besides the allocation: children,
// free, control, inquire, copy, and region and band access, which the host
// library serves on the buffer's host memory.
#include <algorithm>
#include <cmath>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/buffertypes.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "interfaces/kernel/bufferrequests.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

using bufattr::kDeviceMemory;
using bufattr::kOnBoardMemory;
using errorcode::kInvalidBufferOperation;
using errorcode::kInvalidControl;
using errorcode::kInvalidInquire;
using namespace protocol;
constexpr int64_t kWaitForThread = 0x1000000;

bool InDeviceMemory(const QDBufferInfo& record) {
  return (record.Descriptor().formatWord & kDeviceMemory) != 0 ||
         (record.State().attributes & kDeviceMemory) != 0;
}

void Answer(void* out, int64_t value) {
  if (out != nullptr) *static_cast<int64_t*>(out) = value;
}

void Invalid(QDDriverThreadContext& ctx) { ctx.SetError(kInvalidControl, 3, 0, 0); }

// Each setting below answers whether the host's buffer takes the control too.
bool SetGrabEnabled(QDInfoList<QDBufferInfo>& buffers, QDBufferInfo& record, int64_t value,
                    QDDriverThreadContext& ctx) {
  if (value == 0 || value == 1 || value == Q_DEFAULT) {
    SetEnabledFlag(buffers, record, value != 0);
    return true;
  }
  Invalid(ctx);
  return false;
}

void TakeAssociatedWord(BufferState& state, int64_t value) {
  if (value == 1) {
    state.takesAssociatedWord = true;
    HostBufInquire(state.associatedHostId, kAssociatedWord, &state.associatedWord);
  } else if (value == 0 || value == Q_DEFAULT) {
    state.takesAssociatedWord = false;
  }
}

void SetBufferMode(BufferState& state, int64_t value, QDDriverThreadContext& ctx) {
  if (value >= 1 && value <= 3) {
    state.modeWord = value;
  } else if (value == Q_DEFAULT) {
    state.modeWord = 3;
  } else {
    Invalid(ctx);
  }
}

bool SetGrabState(BufferState& state, int64_t type, int64_t value, QDDriverThreadContext& ctx) {
  if (type == kGrabStateLevel && value >= 1 && value <= 3) {
    state.grabState = value;
  } else if (value == Q_ENABLE) {
    state.grabState = 1;
  } else if (value == Q_DISABLE || value == Q_DEFAULT) {
    state.grabState = Q_DISABLE;
  } else {
    Invalid(ctx);
    return false;
  }
  return true;
}

// The bits the maximum value needs, within the buffer's depth.
void SetMaxValue(QDBufferInfo& record, int64_t value) {
  BufferState& state = record.State();
  state.maxValue = value;
  const int64_t depth = static_cast<int64_t>(record.Descriptor().bitDepth & 0xFF);
  const double bits = std::log10(std::max(1.0, static_cast<double>(value) + 1.0)) / std::log10(2.0);
  int64_t inUse = foundation::TruncateSaturated(bits, 0);
  if (inUse <= 0 || inUse > depth) inUse = depth;
  state.depthInUse = inUse;
}

// The types the record keeps, answered from it; a null answer address is allowed for them.
using BufferList = QDInfoList<QDBufferInfo>;
using Descriptor = kernel::KernelBufferDescriptor;
struct KeptAnswer {
  int64_t type;
  int64_t (*read)(const BufferList& buffers, const QDBufferInfo& record);
};

template <uint64_t Descriptor::*Word>
int64_t DescriptorWord(const BufferList& /*buffers*/, const QDBufferInfo& record) {
  return static_cast<int64_t>(record.Descriptor().*Word);
}

template <std::size_t Band>
int64_t HostAddress(const BufferList& /*buffers*/, const QDBufferInfo& record) {
  return static_cast<int64_t>(record.Descriptor().hostAddress[Band]);
}

template <int64_t BufferState::*Word>
int64_t StateWord(const BufferList& /*buffers*/, const QDBufferInfo& record) {
  return record.State().*Word;
}

int64_t BitDepth(const BufferList& /*buffers*/, const QDBufferInfo& record) {
  return static_cast<int64_t>(record.Descriptor().bitDepth & 0xFF);
}

int64_t PhysicalAddress(const BufferList& /*buffers*/, const QDBufferInfo& record) {
  return static_cast<int64_t>(record.Descriptor().physicalAddress[0]);
}

int64_t Enabled(const BufferList& buffers, const QDBufferInfo& record) {
  return GetEnabledFlag(buffers, record) ? 1 : 0;
}

int64_t TakesAssociatedWord(const BufferList& /*buffers*/, const QDBufferInfo& record) {
  return record.State().takesAssociatedWord ? 1 : 0;
}

constexpr KeptAnswer kKeptAnswers[] = {
    {Q_SIZE_X, DescriptorWord<&Descriptor::sizeX>},
    {Q_SIZE_Y, DescriptorWord<&Descriptor::sizeY>},
    {Q_SIZE_BAND, DescriptorWord<&Descriptor::bandCount>},
    {Q_SIZE_BIT, BitDepth},
    {Q_TYPE, DescriptorWord<&Descriptor::dataType>},
    {Q_PITCH, DescriptorWord<&Descriptor::pitch>},
    {kFormatWordAlias, DescriptorWord<&Descriptor::formatWord>},
    {Q_FORMAT_WORD, DescriptorWord<&Descriptor::formatWord>},
    {Q_SIZE_BYTE, DescriptorWord<&Descriptor::byteSize>},
    {Q_HOST_ADDRESS + kFirstBand, HostAddress<0>},
    {Q_HOST_ADDRESS + kSecondBand, HostAddress<1>},
    {Q_HOST_ADDRESS + kThirdBand, HostAddress<2>},
    {Q_PHYSICAL_ADDRESS, PhysicalAddress},
    {kAssociatedBuffer, StateWord<&BufferState::associatedHostId>},
    {kGrabEnabled, Enabled},
    {kGrabStateSwitch, StateWord<&BufferState::grabState>},
    {kGrabStateLevel, StateWord<&BufferState::grabState>},
    {kBufferMode, StateWord<&BufferState::modeWord>},
    {kTakeAssociatedWord, TakesAssociatedWord},
    {kMaxValue, StateWord<&BufferState::maxValue>},
};

const KeptAnswer* FindKeptAnswer(int64_t type) {
  for (const KeptAnswer& kept : kKeptAnswers) {
    if (kept.type == type) return &kept;
  }
  return nullptr;
}

bool IsOnBoardAddressType(int64_t type) {
  return type == kOnBoardAddress || type == kOnBoardAddressSecond || type == kOnBoardAddressThird;
}

// A buffer outside on-board memory answers 0 and records why.
void AnswerOnBoardAddress(const BufferState& state, void* out, QDDriverThreadContext& ctx) {
  if ((state.attributes & kOnBoardMemory) == 0 || state.onBoardAddress == 0) {
    Answer(out, 0);
    ctx.SetError(kInvalidBufferOperation, 3, 0, 0);
  } else {
    Answer(out, static_cast<int64_t>(state.onBoardAddress));
  }
}

// A type the record does not keep is the host buffer's; without one no layer serves it.
int64_t AskHostBuffer(int64_t host, int64_t type, void* out, QDDriverThreadContext& ctx) {
  if (host == 0) {
    Answer(out, 0);
    ctx.SetError(kInvalidInquire, 1, 0, 0);
    return 2;
  }
  HostBufInquire(host, type, out);
  return 1;
}

}  // namespace

std::shared_ptr<QDBufferInfo> QDDeviceSystem::FindBuffer(int64_t index) const {
  return buffers_.GetAt(index);
}

std::shared_ptr<QDBufferInfo> QDDeviceSystem::RemoveBufferInfo(int64_t index) {
  return buffers_.Remove(index);
}

void QDDeviceSystem::FreeKernelBuffer(uint64_t handle, foundation::CError& error,
                                      QDDriverThreadContext* ctx) {
  kernel::BufHandleRequest request{};
  request.header = FreshHeader(error);
  request.kernelHandle = handle;
  LLsysRequest(handles_, kernel::kBufFree, request, error, ctx);
}

void QDDeviceSystem::ReleaseBuffer(QDBufferInfo& record, QDDriverThreadContext* ctx) {
  foundation::CError error;
  const uint64_t handle = record.GetKernelHandle();
  if (handle != 0 && FreeOnBoardBuffer(record, handle, error, ctx)) {
    record.SetKernelHandle(0);
  } else if (handle != 0) {
    FreeKernelBuffer(handle, error, ctx);
    record.SetKernelHandle(0);
  }
  // The host buffer the driver made for the record: the host frees only the
  // application's handle of it.
  if (record.HostId() != 0) HostBufFree(record.HostId());
  record.State().ownHostBuffer = 0;
}

int64_t QDDeviceSystem::BufFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<QDBufferInfo> record = RemoveBufferInfo(args.Int(0));
  if (record != nullptr) ReleaseBuffer(*record, &ctx);
  return 1;
}

int64_t QDDeviceSystem::BufChild(const OperationArgs& args, QDDriverThreadContext& ctx) {
  OperationArgs child;
  child.Push(args.Int(0));
  child.Push(-1);
  for (std::size_t i = 1; i < args.Count(); ++i) child.Push(args.Value(i));
  return BufChildBand(child, ctx);
}

bool QDDeviceSystem::WaitForDeviceMemory(const QDBufferInfo& record, QDDriverThreadContext& ctx) {
  QDZorThreadContext* caller = CallerContext(ctx);
  if (caller == nullptr || caller->RegionAccessWait() != 1 || !InDeviceMemory(record)) return true;
  OperationArgs wait;
  wait.Push(Q_DEFAULT);
  wait.Push(kWaitForThread);
  wait.Push(0);
  const int64_t before = ctx.ErrorCode();
  ThreadWait(wait, ctx);
  return before != 0 || ctx.ErrorCode() == 0;
}

#define ZOR_BUFFER_ACCESS(Operation, HostCall, ...)                                          \
  int64_t QDDeviceSystem::Operation(const OperationArgs& args, QDDriverThreadContext& ctx) { \
    std::shared_ptr<QDBufferInfo> record = FindBuffer(args.Int(0));                          \
    if (record == nullptr || !WaitForDeviceMemory(*record, ctx)) return 1;                   \
    HostCall(record->HostId(), __VA_ARGS__);                                                 \
    return 1;                                                                                \
  }

ZOR_BUFFER_ACCESS(BufGetRegion, HostBufGetRegion, args.Int(1), args.Int(2), args.Int(3),
                  args.Int(4), args.Pointer<void>(5))
ZOR_BUFFER_ACCESS(BufPutRegion, HostBufPutRegion, args.Int(1), args.Int(2), args.Int(3),
                  args.Int(4), args.Pointer<const void>(5))
ZOR_BUFFER_ACCESS(BufGetBand, HostBufGetBand, args.Int(1), args.Int(2), args.Pointer<void>(3))
ZOR_BUFFER_ACCESS(BufPutBand, HostBufPutBand, args.Int(1), args.Int(2), args.Pointer<const void>(3))
ZOR_BUFFER_ACCESS(BufGetBandRegion, HostBufGetBandRegion, args.Int(1), args.Int(2), args.Int(3),
                  args.Int(4), args.Int(5), args.Int(6), args.Pointer<void>(7))
ZOR_BUFFER_ACCESS(BufPutBandRegion, HostBufPutBandRegion, args.Int(1), args.Int(2), args.Int(3),
                  args.Int(4), args.Int(5), args.Int(6), args.Pointer<const void>(7))
#undef ZOR_BUFFER_ACCESS

int64_t QDDeviceSystem::BufPassToHost(const OperationArgs& args, QDDriverThreadContext& /*ctx*/) {
  std::shared_ptr<QDBufferInfo> record = FindBuffer(args.Int(0));
  if (record != nullptr) HostBufPassWords(record->HostId(), args.Int(1), args.Int(2));
  return 1;
}

int64_t QDDeviceSystem::BufPassToKernelAndHost(const OperationArgs& args,
                                               QDDriverThreadContext& ctx) {
  std::shared_ptr<QDBufferInfo> record = FindBuffer(args.Int(0));
  if (record == nullptr) return 1;
  // The kernel goes first on memory it holds; its refusal ends the operation.
  if (InDeviceMemory(*record) && record->GetKernelHandle() != 0) {
    foundation::CError error;
    const uint64_t words[4] = {
        static_cast<uint64_t>(args.Int(1)), static_cast<uint64_t>(args.Int(2)),
        static_cast<uint64_t>(args.Int(3)), static_cast<uint64_t>(args.Int(4))};
    LLsysBufPassWords(handles_, CallerKernelId(ctx), record->GetKernelHandle(), words, error, &ctx);
    if (error.errorSet != 0) return 1;
  }
  HostBufPassAfterKernel(record->HostId(), args.Int(1), args.Int(2), args.Int(3), args.Int(4),
                         args.Int(5));
  RefreshKernelBufferDescriptor(*record);
  return 1;
}

int64_t QDDeviceSystem::BufCopy(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (ctx.Command().extended != 0) return -1;
  if (ctx.Command().noOperation != 0) return 1;
  std::shared_ptr<QDBufferInfo> source = FindBuffer(args.Int(0));
  std::shared_ptr<QDBufferInfo> destination = FindBuffer(args.Int(1));
  if (source == nullptr || destination == nullptr) return 1;
  OperationArgs copy;
  copy.Push(args.Int(0));
  copy.Push(args.Int(1));
  copy.Push(-1);
  copy.Push(0);
  copy.Push(0);
  copy.Push(-1);
  copy.Push(0);
  copy.Push(0);
  copy.Push(
      static_cast<int64_t>(std::min(source->Descriptor().sizeX, destination->Descriptor().sizeX)));
  copy.Push(
      static_cast<int64_t>(std::min(source->Descriptor().sizeY, destination->Descriptor().sizeY)));
  return BufCopyRegion(copy, ctx);
}

int64_t QDDeviceSystem::BufControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<QDBufferInfo> record = FindBuffer(args.Int(0));
  if (record == nullptr) return 1;
  const int64_t type = args.Int(1);
  const ValueRecord valueRecord = args.Value(2);
  const int64_t value = valueRecord.AsInteger();
  BufferState& state = record->State();
  const int64_t host = record->HostId();
  bool passOn = true;
  switch (type) {
    case kBandLayout:
      passOn = false;
      if (host == 0) {
        Invalid(ctx);
        break;
      }
      HostBufControl(host, kBandLayout, value);
      RefreshKernelBufferDescriptor(*record);
      break;
    case kGrabEnabled:
      passOn = SetGrabEnabled(buffers_, *record, value, ctx);
      break;
    case kAssociatedBuffer:
      state.associatedHostId = value;
      passOn = false;
      break;
    case kTakeAssociatedWord:
      TakeAssociatedWord(state, value);
      passOn = false;
      break;
    case kBufferMode:
      SetBufferMode(state, value, ctx);
      passOn = false;
      break;
    case kGrabStateSwitch:
    case kGrabStateLevel:
      if (!ControlOnBoardBuffer(*record, type, value, ctx)) return 1;
      passOn = SetGrabState(state, type, value, ctx);
      break;
    case kMaxValue:
      SetMaxValue(*record, value);
      break;
    default:
      if (host == 0) {
        Invalid(ctx);
        return 2;
      }
      break;
  }
  if (passOn && host != 0) {
    if (valueRecord.kind == kValueDouble) {
      HostBufControlDouble(host, type, valueRecord.AsDouble());
    } else {
      HostBufControl(host, type, value);
    }
  }
  return 1;
}

bool QDDeviceSystem::ControlOnBoardBuffer(const QDBufferInfo& record, int64_t type, int64_t value,
                                          QDDriverThreadContext& ctx) {
  const bool onBoard = (record.State().attributes & kOnBoardMemory) != 0;
  if (!onBoard || record.GetKernelHandle() == 0) return true;
  foundation::CError error;
  kernel::BufControlRequest request{};
  request.header = FreshHeader(error);
  request.kernelHandle = record.GetKernelHandle();
  request.type = static_cast<uint64_t>(type);
  request.value = static_cast<uint64_t>(value);
  LLsysRequest(handles_, kernel::kBufControl, request, error, &ctx);
  return error.errorSet == 0;
}

int64_t QDDeviceSystem::BufInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<QDBufferInfo> record = FindBuffer(args.Int(0));
  if (record == nullptr) return 1;
  const int64_t type = args.Int(1);
  void* out = args.Pointer<void>(2);
  if (const KeptAnswer* kept = FindKeptAnswer(type)) {
    Answer(out, kept->read(buffers_, *record));
    return 1;
  }
  if (IsOnBoardAddressType(type)) {
    AnswerOnBoardAddress(record->State(), out, ctx);
    return 1;
  }
  return AskHostBuffer(record->HostId(), type, out, ctx);
}

}  // namespace zor::frame
