#include "platform/boardsim/board.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "platform/boardsim/reply.h"
#include "platform/os/core/error.h"

namespace boardsim {

Board::Board(const BoardConfig& config)
    : config_(config), capabilities_(config.capabilities), grabModule_(config.firmwareCode) {
  ClearIoSpace();
  const uint32_t serial = SerialNumber();
  // Each digitizer channel names itself by the board's serial number and its place.
  for (uint64_t channel = 0; channel < kMaxChannels; ++channel) {
    channels_[channel].identity = uint64_t{serial} << 16 | (channel + 1);
  }
}

Board::~Board() {
  Deferred out;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    events_.AbortAll(out);
    for (auto& request : stalled_) {
      out.emplace_back(request, os::ERROR_OPERATION_ABORTED, 0);
    }
    stalled_.clear();
  }
  changed_.notify_all();
  for (ChannelClock& clock : clocks_) {
    clock.wake.notify_all();
    if (clock.thread.joinable()) clock.thread.join();
  }
  for (auto& action : out) action();
}

uint64_t Board::NewId(uint32_t kind) { return (uint64_t{kind} << 32) | nextId_++; }

void Board::Control(std::shared_ptr<os::IoRequest> request,
                    const std::shared_ptr<EventPort>& port) {
  Deferred out;
  Call call{request, port};
  {
    std::unique_lock lock(mutex_);
    call.lock = &lock;
    call.out = &out;
    Serve(call);
  }
  for (auto& action : out) action();
  if (call.frameDigitizer != 0 && WriteFrameOnRequester(call.frameDigitizer)) {
    // The grab is over before its reply: the caller has nothing to wait for.
    call.As<zor::kernel::GrabRequest>().waitInUserMode = 0;
  }
  if (call.completes) request->Complete(call.error, call.bytes);
}

void Board::Serve(Call& call) {
  os::IoRequest& request = *call.request;
  const uint32_t code = request.code();
  const uint32_t size = std::max(request.inputSize(), request.outputSize());
  call.function = zor::kernel::FunctionOf(code);
  call.data = static_cast<uint8_t*>(request.buffer());
  const uint32_t expected = zor::kernel::DeviceTypeOf(code) == zor::kernel::kDeviceType
                                ? zor::kernel::RecordSize(call.function)
                                : 0;
  const bool inputOk =
      request.inputSize() == expected ||
      (call.function == zor::kernel::kGetDriverVersion && request.inputSize() == 0);
  if (expected == 0 || !inputOk || request.outputSize() != expected ||
      request.kind() != os::IoRequest::Kind::kControl) {
    // Unknown function or wrong size: an error triple when there is room for one.
    if (size < sizeof(zor::kernel::RequestHeader) || request.outputSize() == 0) {
      call.CompleteLater(os::ERROR_INVALID_PARAMETER, 0);
      return;
    }
    Fail(call.Header(), err::kProtocol, 3);
    call.CompleteLater(os::ERROR_SUCCESS, std::min<uint32_t>(request.outputSize(), size));
    return;
  }
  uint32_t bytes = expected;
  if (std::optional<Fault> fault = faults_.Take(call.function)) {
    switch (fault->kind) {
      case FaultKind::kErrorTriple:
        Fail(call.Header(), fault->code, fault->subCode);
        call.Header().status.extra = fault->extra;
        call.Header().status.extraSet = fault->extra != 0;
        call.CompleteLater(os::ERROR_SUCCESS, bytes);
        return;
      case FaultKind::kTransportFailure:
        call.CompleteLater(fault->windowsError, 0);
        return;
      case FaultKind::kStall:
        stalled_.push_back(call.request);
        return;
      case FaultKind::kCrossesHalt:
        crossing_.emplace_back(call.request, call.port);
        return;
      case FaultKind::kShortReply:
        bytes = std::min(fault->bytes, expected);
        break;
      case FaultKind::kThrow:
        std::rethrow_exception(fault->exception);
    }
  }
  Dispatch(call);
  if (!call.pending) call.CompleteLater(os::ERROR_SUCCESS, bytes);
}

void Board::Dispatch(Call& call) {
  using namespace zor::kernel;
  // An event kept for a wait that tells of a frame waits for that frame's pixels only;
  // any other request for the writes it must not overlap.
  if (call.function == kWaitDeviceEvent) {
    const uint64_t type = call.As<DeviceEventRecord>().typeOrCode;
    for (uint64_t round; (round = events_.KeptRound(type)) != 0 && Writing(round);) {
      RoundWritten(round).wait(*call.lock);
    }
  } else {
    WaitForWrites(call);
  }
  switch (call.function) {
    case kGetDriverVersion:
      return Version(call);
    case kSysClose:
      return SysClose(call);
    case kEventWaitEnd:
      return;  // the user-mode wait needs no kernel bookkeeping
    case kSysAlloc:
      return SysAlloc(call);
    case kWaitDeviceEvent:
      call.pending = true;
      return events_.Wait(call.As<DeviceEventRecord>().typeOrCode, call.request, *call.out);
    case kKernelObjectAlloc:
      return ObjectAlloc(call);
    case kKernelObjectControl:
      return ObjectControl(call);
    case kKernelObjectInquire:
      return ObjectInquire(call);
    case kKernelObjectFree:
      return ObjectFree(call);
    case kSysRequest:
      return SysRequest(call);
    case kSysControl:
      return SysControl(call);
    case kThreadAlloc:
      return ThreadAlloc(call);
    case kThreadFree:
      return ThreadFree(call);
    case kThreadControl:
      return ThreadControl(call);
    case kThreadWait:
    case kThreadInquire:
      return ThreadWait(call);
    case kThreadWaitMultiple:
      return ThreadWaitMultiple(call);
    case kDigAlloc:
      return DigAlloc(call);
    case kDigFree:
      return DigFree(call);
    case kDigInquire:
      return DigInquire(call);
    case kDigControl:
      return DigControl(call);
    case kDigGrab:
      return DigGrab(call);
    case kDigReference:
      return DigReference(call);
    case kDigStopGrab:
      return DigStopGrab(call);
    case kDigGrabWait:
      return DigGrabWait(call);
    case kThreadContextEvent:
      return ContextEvent(call);
    case kDigChannelInit:
      return DigChannelInit(call);
    case kDigProcessStart:
      return ProcessStart(call);
    case kDigProcessRequest:
      return ProcessRequest(call);
    case kDigContinueGrabPrepared:
      return ProcessContinuePrepared(call);
    case kDigContinueGrab:
      return ProcessContinue(call);
    case kDigProcessStop:
      return ProcessStop(call);
    case kDigInquireValue:
      return DigInquireValue(call);
    case kBufAlloc:
      return BufAlloc(call);
    case kBufChildAlloc:
      return BufChildAlloc(call);
    case kBufPassWords:
      return BufPassWords(call);
    case kBufFree:
    case kFreeOnBoardBuffer:
      return BufFree(call);
    case kBufInquire:
      return BufInquire(call);
    case kBufControl:
      return BufControl(call);
    case kBufQueueGrab:
      return BufQueueGrab(call);
    case kBufTransfer:
      return BufTransfer(call);
    case kAllocOnBoardBuffer:
      return OnBoardAlloc(call);
    case kBufTripleTransfer:
      return BufTripleTransfer(call);
    case kSysIoCommand:
      return SysIo(call);
    default:
      return Fail(call.Header(), err::kProtocol, 3);
  }
}

void Board::Cancelled(const os::IoRequest& request) {
  std::lock_guard lock(mutex_);
  events_.Cancelled(request);
  std::erase_if(stalled_, [&](const auto& r) { return r.get() == &request; });
}

void Board::ServeCrossing(Call& halt) {
  for (auto& [request, port] : std::exchange(crossing_, {})) {
    Call late{request, port};
    late.lock = halt.lock;
    late.out = halt.out;
    late.function = zor::kernel::FunctionOf(request->code());
    late.data = static_cast<uint8_t*>(request->buffer());
    Dispatch(late);
    halt.out->emplace_back(request, os::ERROR_SUCCESS, request->outputSize());
  }
}

void Board::ReleaseStalled(Deferred& out) {
  for (auto& request : stalled_) {
    auto& header = *static_cast<zor::kernel::RequestHeader*>(request->buffer());
    Fail(header, err::kTimeout, 1);
    out.emplace_back(request, os::ERROR_SUCCESS, request->outputSize());
  }
  stalled_.clear();
}

}  // namespace boardsim
