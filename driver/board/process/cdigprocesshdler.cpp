#include "driver/board/process/cdigprocesshdler.h"

#include <algorithm>
#include <shared_mutex>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"

namespace zor::board {
namespace {

constexpr QINT64 kBufferDoneHook = 21;
constexpr QINT64 kUnhook = 0x4000000;
constexpr QINT64 kNormalEvent = 0x40000000;
constexpr QINT64 kOtherEvent = 19;
constexpr QINT64 kOtherEventBit = 0x1000000;
constexpr QINT64 kProcessIndex = 0x401B0000;
constexpr QINT64 kMarkBuffer = 1060;
constexpr QINT64 kDriverIndex = 1107;
constexpr int64_t kTriggerState = 4200;
constexpr int64_t kEnabled = -9997;
constexpr int64_t kDisabled = -9999;
constexpr int64_t kProcessBufferLimit = 1000;
constexpr int64_t kTooManyBuffers = 4349;
constexpr uint64_t kHaltValue = 0x1001000;
constexpr uint64_t kDigitizerHookBase = 0x90000000;

// A thread outside any command records its errors on a context of its own.
class ThreadContextFor {
 public:
  explicit ThreadContextFor(frame::QDDriverThreadContext* ctx) : ctx_(ctx) {
    if (ctx_ == nullptr) {
      frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
      if (driver != nullptr) {
        own_ = std::make_unique<frame::QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
        ctx_ = own_.get();
      }
    }
  }
  frame::QDDriverThreadContext* operator->() const { return ctx_; }
  frame::QDDriverThreadContext* get() const { return ctx_; }

 private:
  std::unique_ptr<frame::QDDriverThreadContext> own_;
  frame::QDDriverThreadContext* ctx_;
};

}  // namespace

CDigProcessHdler::CDigProcessHdler(QDHwSpecSystem& system, QDHwSpecDigitizerInfo& digitizer,
                                   uint64_t kernelObject)
    : system_(system),
      digitizer_(digitizer),
      digitizerIndex_(digitizer.GetIndex()),
      kernelObject_(kernelObject),
      endEvent_(os::CreateEvent(true, true)),
      haltEvent_(os::CreateEvent(true, true)),
      stopEvent_(os::CreateEvent(true, false)),
      reportEvent_(os::CreateEvent(true, false)) {}

CDigProcessHdler::~CDigProcessHdler() {
  StopWatchdog();
  UnhookBuffers();
  for (os::Handle event : {endEvent_, haltEvent_, stopEvent_, reportEvent_}) os::CloseHandle(event);
  foundation::CError ignored;
  frame::LLsysObjectFree(system_.Handles(), kernelObject_, ignored, nullptr);
}

void CDigProcessHdler::SetBuffers(const std::vector<frame::ProcessBufferEntry>& buffers) {
  UnhookBuffers();
  buffers_.clear();
  for (const frame::ProcessBufferEntry& entry : buffers) {
    ProcessBuffer buffer;
    buffer.hostId = entry.flag != 0 ? entry.secondHostId : entry.hostBuffer;
    QINT64 index = 0;
    HostBufInquire(buffer.hostId, kDriverIndex, &index);
    buffer.driverIndex = index;
    buffers_.push_back(buffer);
  }
}

bool CDigProcessHdler::TriggerDriven() const {
  return (flags_ & kFlagTriggered) != 0 && triggerState_ == kEnabled;
}

void CDigProcessHdler::Prepare(int64_t operation, int64_t flags, int64_t count) {
  operation_ = operation;
  flags_ = flags;
  requested_ = count;
  started_ = 0;
  queued_ = 0;
  normal_ = 0;
  other_ = 0;
  togglePeriod_ = 1;
  active_ = true;
  pending_ = false;
  halting_ = false;
  triggerState_ = 0;
  if ((flags & kFlagTriggered) != 0) {
    triggerState_ = digitizer_.Channel().Properties().grabTriggerState;
    if (triggerState_ == kEnabled) {
      togglePeriod_ = count != 0 ? count : BufferCount();
      requested_ = (operation & 2) != 0 ? -1 : count;
    }
  }
}

foundation::CError CDigProcessHdler::HookBuffers() {
  foundation::CError error;
  if (BufferCount() > kProcessBufferLimit) {
    error.SetError(kTooManyBuffers, 1);
    return error;
  }
  bool expected = false;
  if (!hooked_.compare_exchange_strong(expected, true)) return error;
  for (const ProcessBuffer& buffer : buffers_) {
    HostBufHookFunction(buffer.hostId, kBufferDoneHook, &BufferHook, this);
  }
  return error;
}

void CDigProcessHdler::UnhookBuffers() {
  bool expected = true;
  if (!hooked_.compare_exchange_strong(expected, false)) return;
  for (const ProcessBuffer& buffer : buffers_) {
    HostBufHookFunction(buffer.hostId, kBufferDoneHook | kUnhook, &BufferHook, this);
  }
}

void CDigProcessHdler::SetTriggerState(int64_t state) {
  ThreadContextFor ctx(nullptr);
  if (ctx.get() == nullptr) return;
  frame::OperationArgs args;
  args.Push(digitizerIndex_);
  args.Push(kTriggerState);
  args.Push(state);
  system_.DigControl(args, *ctx.get());
}

bool CDigProcessHdler::QueueGrab(ProcessBuffer& buffer, foundation::CError& error,
                                 frame::QDDriverThreadContext* ctx) {
  auto request = std::make_unique<kernel::GrabRequest>();
  system_.BuildGrabRequest(digitizer_, 1, kernelObject_, *request);
  // The buffer index travels with the grab and comes back with its event.
  system_.BuildGrabBufferRequest(buffer.driverIndex, digitizer_, request->buffer,
                                 buffer.driverIndex);
  frame::LLsysRequest(system_.Handles(), kernel::kDigProcessStart, *request, error, ctx);
  if (error.errorSet != 0) return false;
  buffer.grabRecord = request->grabRecord;
  return true;
}

foundation::CError CDigProcessHdler::Start(int64_t operation, int64_t flags, int64_t count,
                                           int64_t startPosition, bool restart,
                                           frame::QDDriverThreadContext* ctx) {
  foundation::CError error;
  const int64_t total = BufferCount();
  if (total == 0) {
    // Nothing to grab into; the position arithmetic below needs a buffer.
    error.SetError(4314, 3);
    return error;
  }
  if (!restart) {
    stall_ = false;
    UnhookBuffers();
    Prepare(operation, flags, count);
    error = HookBuffers();
    if (error.errorSet != 0) return error;
  } else if (TriggerDriven()) {
    SetTriggerState(togglePeriod_ == -1 || startPosition % togglePeriod_ != 0 ? kDisabled
                                                                              : kEnabled);
  }
  const int64_t limit = restart ? count : requested_.load();
  const int64_t wanted = limit == -1 ? total : std::min(total, limit);
  const int64_t firstGrabs = (operation_ & 2) != 0 ? total : wanted;
  os::ResetEvent(endEvent_);
  os::ResetEvent(haltEvent_);
  started_ = 0;
  digitizer_.Counters().buffers = total;
  for (int64_t step = 0; step < total; ++step) {
    if (started_ >= kProcessBufferLimit || started_ >= firstGrabs) break;
    const int64_t position = (startPosition + step) % total;
    ProcessBuffer& buffer = buffers_[static_cast<std::size_t>(position)];
    if (!QueueGrab(buffer, error, ctx)) break;
    HostBufControl(buffer.hostId, kMarkBuffer, 1);
    ++started_;
    ++queued_;
  }
  return error;
}

void CDigProcessHdler::IssueProcessRequest(foundation::CError& error,
                                           frame::QDDriverThreadContext* ctx, bool restart) {
  if (!restart && digitizer_.GrabMonitorSetting() == kEnabled && GrabTimeout() >= 0) {
    StartWatchdog(error);
    if (error.errorSet != 0) return;
  }
  if (!restart) {
    firstFrameKnown_ = false;
    digitizer_.Counters().missed = 0;
  }
  // The first frames may be done before the request returns: their events
  // must find the run going, or their grabs are never continued.
  const bool wasRunning = digitizer_.ProcessingRunning();
  digitizer_.SetProcessingRunning(true);
  pending_ = true;
  digitizer_.LockFirst();
  kernel::DigProcessRequest request{};
  request.header = frame::FreshHeader(error);
  request.kernelDigitizer = digitizer_.Channel().Block().kernelWord1;
  request.processObject = kernelObject_;
  request.word = restart ? 0 : 1;
  frame::LLsysRequest(system_.Handles(), kernel::kDigProcessRequest, request, error, ctx);
  digitizer_.UnlockFirst();
  if (error.errorSet != 0) {
    digitizer_.SetProcessingRunning(wasRunning);
    pending_ = false;
    StopWatchdog();
  }
}

QINT64 CDigProcessHdler::BufferHook(QINT64 type, QID event, void* user) {
  static_cast<CDigProcessHdler*>(user)->OnBufferDone(type, event);
  return 0;
}

void CDigProcessHdler::OnBufferDone(QINT64 type, QID event) {
  bool stopWatchdog = false;
  {
    std::lock_guard lock(hookLock_);
    if (type == kNormalEvent) {
      ++normal_;
      digitizer_.Counters().frames = normal_.load();
      // Frames the board made since the run's first grabbed one that no grab
      // took; the board's count goes on across runs.
      const uint64_t frame = digitizer_.GrabStatus()[0];
      if (!firstFrameKnown_ && frame > 0) {
        firstFrame_ = frame - 1;
        firstFrameKnown_ = true;
      }
      if (frame > firstFrame_) {
        const int64_t made = static_cast<int64_t>(frame - firstFrame_);
        digitizer_.Counters().missed = std::max<int64_t>(0, made - normal_.load());
      }
    } else if (type == kOtherEvent || (type & kOtherEventBit) != 0) {
      ++other_;
    }
    QINT64 position = -1;
    HostBufGetHookInfo(event, kProcessIndex, &position);
    if (position < 0 || position >= BufferCount()) return;
    ProcessBuffer& buffer = buffers_[static_cast<std::size_t>(position)];
    if (buffer.grabRecord == 0) return;
    const bool framesLeft = requested_ == -1 || queued_ < requested_;
    const bool triggerGoesOn = TriggerDriven() && togglePeriod_ > 0 &&
                               (normal_ + other_) % togglePeriod_ != 0 && operation_ == 5 &&
                               !halting_ && pending_ && !stall_;
    if (active_ && (framesLeft || triggerGoesOn)) {
      ContinueGrab(buffer);
    } else {
      stopWatchdog = FinishFrame();
    }
  }
  // The watchdog may be waiting for the hook lock: it is stopped outside it.
  if (stopWatchdog) StopWatchdog();
}

void CDigProcessHdler::ContinueGrab(ProcessBuffer& buffer) {
  HostBufControl(buffer.hostId, kMarkBuffer, 5);
  ++queued_;
  foundation::CError error;
  kernel::DigContinueGrabRequest request{};
  request.header = frame::FreshHeader(error);
  request.kernelDigitizer = digitizer_.Channel().Block().kernelWord1;
  request.processObject = kernelObject_;
  request.grabRecord = buffer.grabRecord;
  frame::LLsysRequest(system_.Handles(), kernel::kDigContinueGrab, request, error, nullptr);
  if (error.errorSet != 0) {
    // The grab never went back on the board: it will not complete.
    --queued_;
    return;
  }
  if (TriggerDriven() && togglePeriod_ > 1) {
    if (queued_ % togglePeriod_ == 0) {
      SetTriggerState(kEnabled);
    } else if ((queued_ - 1) % togglePeriod_ == 0) {
      SetTriggerState(kDisabled);
    }
  }
}

bool CDigProcessHdler::FinishFrame() {
  const int64_t done = normal_ + other_;
  const bool runsToACount = (flags_ & kFlagReportAtEnd) != 0 && requested_ != -1;
  if (TriggerDriven()) {
    if (stall_) {
      if (done == queued_) {
        queued_ -= other_.load();
        pending_ = false;
        os::SetEvent(haltEvent_);
      }
      return false;
    }
    if (done != queued_) {
      if (togglePeriod_ > 0 && done % togglePeriod_ == 0) Halt(0);
      return false;
    }
    queued_ -= other_.load();
    pending_ = false;
    os::SetEvent(endEvent_);
    return runsToACount;
  }
  if (done != queued_) return false;
  queued_ -= other_.load();
  pending_ = false;
  if (stall_) {
    os::SetEvent(haltEvent_);
    return false;
  }
  os::SetEvent(endEvent_);
  return runsToACount;
}

void CDigProcessHdler::Halt(int flag) {
  // Flags only: a hook thread may hold the hook lock in a kernel request that
  // only this halt ends.
  halting_ = true;
  active_ = false;
  foundation::CError ignored;
  frame::LLsysObjectControl(system_.Handles(), kernelObject_, kernel::kObjectHalt, kHaltValue,
                            ignored, nullptr);
  frame::LLsysObjectInquire(system_.Handles(), kernelObject_, kernel::kObjectWaitIdle, ignored,
                            nullptr);
  if (TriggerDriven()) SetTriggerState(kEnabled);
  // The board dropped the grabs it held: none of them will end the run.
  pending_ = false;
  os::SetEvent(haltEvent_);
  if (flag == 0) {
    os::SetEvent(endEvent_);
    halting_ = false;
  }
}

int CDigProcessHdler::WaitForEnd(int64_t timeoutMs) {
  if (!pending_) return 1;
  const uint32_t wait = timeoutMs < 0
                            ? os::INFINITE
                            : static_cast<uint32_t>(std::min<int64_t>(timeoutMs, 0xFFFFFFFE));
  return os::WaitForSingleObject(endEvent_, wait) == os::WAIT_OBJECT_0 ? 1 : 0;
}

void CDigProcessHdler::PrepareStop() {
  // An unbounded run ends with the grabs already on the board. No hook lock:
  // a hook thread may hold it in a request that only the coming halt ends.
  int64_t unbounded = -1;
  requested_.compare_exchange_strong(unbounded, queued_.load());
  if (normal_ + other_ >= queued_) {
    pending_ = false;
    os::SetEvent(endEvent_);
  }
}

void CDigProcessHdler::SignalEnd() { os::SetEvent(endEvent_); }

void CDigProcessHdler::WaitForDeliveries() {
  // The hook thread that stops from inside a delivery does not wait for itself.
  if (system_.IsInHookThread(kDigitizerHookBase + static_cast<uint64_t>(digitizerIndex_))) return;
  std::unique_lock delivery(digitizer_.DeliveryLock());
}

foundation::CError CDigProcessHdler::Stop(frame::QDDriverThreadContext* ctx, bool keepRunning) {
  foundation::CError result;
  if (!keepRunning) StopWatchdog();
  {
    // A hook thread may hold the hook lock in a continuation that the board
    // took after the halt: halting again releases it.
    std::unique_lock lock(hookLock_, std::defer_lock);
    while (!lock.try_lock()) {
      foundation::CError ignored;
      frame::LLsysObjectControl(system_.Handles(), kernelObject_, kernel::kObjectHalt, kHaltValue,
                                ignored, nullptr);
      os::Sleep(1);
    }
    for (ProcessBuffer& buffer : buffers_) {
      if (buffer.grabRecord == 0) continue;
      foundation::CError error;
      kernel::DigProcessRequest request{};
      request.header = frame::FreshHeader(error);
      request.kernelDigitizer = digitizer_.Channel().Block().kernelWord1;
      request.processObject = kernelObject_;
      request.word = buffer.grabRecord;
      buffer.grabRecord = 0;
      frame::LLsysRequest(system_.Handles(), kernel::kDigProcessStop, request, error, ctx);
      if (error.errorSet != 0) result.SetError(error.code, error.subCode);
    }
  }
  if (keepRunning) return result;
  UnhookBuffers();
  {
    std::lock_guard lock(hookLock_);
    active_ = false;
    pending_ = false;
    halting_ = false;
  }
  digitizer_.SetProcessingRunning(false);
  os::SetEvent(endEvent_);
  os::SetEvent(haltEvent_);
  return result;
}

}  // namespace zor::board
