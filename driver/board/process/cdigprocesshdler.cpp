// CDigProcessHdler: queues a digitizer's grabs on the board buffer after buffer and stops them.
#include "driver/board/process/cdigprocesshdler.h"

#include <algorithm>
#include <shared_mutex>
#include <thread>
#include <utility>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/log.h"
#include "driver/foundation/logtag.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/records/digchannelrecord.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/transport/llsysalloc.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"

namespace zor::board {
namespace {

constexpr QINT64 kBufferDoneHook = 21;
constexpr QINT64 kBufferIndexHook = 22;
constexpr QINT64 kNormalEvent = 0x40000000;
constexpr QINT64 kOtherEvent = 19;
constexpr QINT64 kOtherEventBit = 0x1000000;
constexpr QINT64 kProcessIndex = 0x401B0000;
constexpr int64_t kTriggerState = 4200;
using errorcode::kDigProcessError;
using errorcode::kInvalidGrabParameter;
constexpr uint64_t kHaltValue = 0x1001000;
constexpr uint32_t kProcessRecord = 5;

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
    : foundation::CLogProvider(static_cast<uint32_t>(digitizer.DeviceNumber()) & 0x3F, 5, 114,
                               static_cast<uint32_t>(digitizer.GetIndex())),
      system_(system),
      digitizer_(digitizer),
      digitizerIndex_(digitizer.GetIndex()),
      kernelObject_(kernelObject),
      threads_(static_cast<std::size_t>(std::max<int64_t>(1, system.EventHookThreadCount()))),
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
    HostBufInquire(buffer.hostId, Q_DRIVER_INDEX, &index);
    buffer.driverIndex = index;
    if (const std::shared_ptr<frame::QDBufferInfo> record = system_.FindBuffer(index)) {
      buffer.memoryId = record->HostId();
    }
    buffers_.push_back(buffer);
  }
}

bool CDigProcessHdler::TriggerDriven() const {
  return (flags_ & kFlagTriggered) != 0 && triggerState_ == Q_ENABLE;
}

void CDigProcessHdler::Prepare(int64_t operation, int64_t flags, int64_t count) {
  operation_ = operation;
  flags_ = flags;
  // A continuous run without a count of its own runs until stopped.
  requested_ = (operation & 2) != 0 && count == 0 ? -1 : count;
  started_ = 0;
  queued_ = 0;
  normal_ = 0;
  other_ = 0;
  togglePeriod_ = 1;
  active_ = true;
  pending_ = false;
  halting_ = false;
  triggerState_ = 0;
  {
    foundation::ScopedLock lock(hookLock_);
    starterWaits_ = (flags & Q_SYNCHRONOUS) != 0;
    failure_.reset();
  }
  if ((flags & kFlagTriggered) != 0) {
    triggerState_ = digitizer_.GetGrabTriggerState();
    if (triggerState_ == Q_ENABLE) {
      togglePeriod_ = count != 0 ? count : BufferCount();
      requested_ = (operation & 2) != 0 ? -1 : count;
    }
  }
  foundation::ScopedLock lock(threadsLock_);
  for (ProcessThread& entry : threads_) entry = ProcessThread{};
}

int64_t CDigProcessHdler::ProcessBufferLimit() const {
  return frame::SettingWord(system_.Settings(), kernel::kSettingBufferListLimit);
}

foundation::CError CDigProcessHdler::HookBuffers() {
  foundation::CError error;
  if (BufferCount() > ProcessBufferLimit()) {
    error.SetError(kDigProcessError, 1);
    return error;
  }
  bool expected = false;
  if (!hooked_.compare_exchange_strong(expected, true)) return error;
  bool single = false;
  {
    foundation::ScopedLock lock(threadsLock_);
    single = threads_.size() == 1;
  }
  firstHook_ = single ? &SingleThreadHook : &MultiThreadHook;
  secondHook_ = single ? &SingleThreadIndexHook : &MultiThreadIndexHook;
  for (const ProcessBuffer& buffer : buffers_) {
    HostBufHookFunction(buffer.hostId, kBufferDoneHook, firstHook_, this);
    HostBufHookFunction(buffer.hostId, kBufferIndexHook, secondHook_, this);
  }
  return error;
}

void CDigProcessHdler::UnhookBuffers() {
  bool expected = true;
  if (!hooked_.compare_exchange_strong(expected, false)) return;
  for (const ProcessBuffer& buffer : buffers_) {
    HostBufHookFunction(buffer.hostId, kBufferDoneHook | Q_UNHOOK, firstHook_, this);
    HostBufHookFunction(buffer.hostId, kBufferIndexHook | Q_UNHOOK, secondHook_, this);
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

foundation::CError CDigProcessHdler::QueueGrab(ProcessBuffer& buffer,
                                               frame::QDDriverThreadContext* ctx) {
  auto request = std::make_unique<kernel::GrabRequest>();
  system_.BuildGrabRequest(digitizer_, 1, kernelObject_, *request);
  // The buffer index travels with the grab and comes back with its event.
  system_.BuildGrabBufferRequest(buffer.driverIndex, digitizer_, request->buffer,
                                 buffer.driverIndex);
  foundation::CError error;
  frame::LLsysRequest(system_.Handles(), kernel::kDigProcessStart, *request, error, ctx);
  if (error.errorSet != 0) return error;
  // A restart queues while the hook thread may still finish an event of the run before.
  foundation::ScopedLock lock(hookLock_);
  buffer.grabRecord = request->grabRecord;
  return error;
}

foundation::CError CDigProcessHdler::Start(int64_t operation, int64_t flags, int64_t count,
                                           int64_t startPosition, bool restart,
                                           frame::QDDriverThreadContext* ctx) {
  foundation::CError error;
  const int64_t total = BufferCount();
  if (total == 0) {
    // Nothing to grab into; the position arithmetic below needs a buffer.
    error.SetError(kInvalidGrabParameter, 3);
    return error;
  }
  error = PrepareStart(operation, flags, count, startPosition, restart);
  if (error.errorSet != 0) return error;
  const int64_t limit = restart ? count : requested_.load();
  const int64_t wanted = limit == -1 ? total : std::min(total, limit);
  const int64_t firstGrabs = (operation_ & 2) != 0 ? total : wanted;
  ResetQueues(restart);
  started_ = 0;
  digitizer_.SetFirstGrabCount(firstGrabs, ctx);
  digitizer_.Counters().buffers = total;
  const int64_t bufferLimit = ProcessBufferLimit();
  error = QueueFirstGrabs(startPosition, std::min(bufferLimit, firstGrabs), restart, ctx);
  if (started_ < bufferLimit && firstGrabs == requested_.load()) {
    digitizer_.ReleaseProcessContext(ctx);
  }
  return error;
}

foundation::CError CDigProcessHdler::PrepareStart(int64_t operation, int64_t flags, int64_t count,
                                                  int64_t startPosition, bool restart) {
  if (!restart) {
    stall_ = false;
    UnhookBuffers();
    Prepare(operation, flags, count);
    return HookBuffers();
  }
  if (TriggerDriven()) {
    SetTriggerState(togglePeriod_ == -1 || startPosition % togglePeriod_ != 0 ? Q_DISABLE
                                                                              : Q_ENABLE);
  }
  return {};
}

void CDigProcessHdler::ResetQueues(bool restart) {
  os::ResetEvent(endEvent_);
  os::ResetEvent(haltEvent_);
  // Before the grabs are queued: a drop from now on drops them.
  dropped_ = false;
  foundation::ScopedLock lock(hookLock_);
  waiting_.clear();
  if (!restart) knownEvents_.clear();
}

foundation::CError CDigProcessHdler::QueueFirstGrabs(int64_t startPosition, int64_t grabs,
                                                     bool restart,
                                                     frame::QDDriverThreadContext* ctx) {
  foundation::CError error;
  const int64_t total = BufferCount();
  const bool toggles = TriggerDriven() && togglePeriod_ > 1;
  for (int64_t step = 0; step < total && started_ < grabs; ++step) {
    const int64_t position = (startPosition + step) % total;
    ProcessBuffer& buffer = buffers_[static_cast<std::size_t>(position)];
    error = QueueGrab(buffer, ctx);
    if (error.errorSet != 0) break;
    if (toggles) ToggleTrigger(position);
    if (!restart && position == 0) digitizer_.OnFirstGrabStarted(ctx);
    MarkBuffer(buffer, 1);
    ++started_;
    ++queued_;
    // A restart's hook thread may still continue in order, which moves it too.
    foundation::ScopedLock lock(hookLock_);
    nextPosition_ = (position + 1) % total;
  }
  return error;
}

void CDigProcessHdler::ToggleTrigger(int64_t position) {
  // Only the first grab of each period waits for a trigger.
  if (position % togglePeriod_ == 0) {
    SetTriggerState(Q_DISABLE);
  } else if ((position + 1) % BufferCount() % togglePeriod_ == 0) {
    SetTriggerState(Q_ENABLE);
  }
}

void CDigProcessHdler::IssueProcessRequest(foundation::CError& error,
                                           frame::QDDriverThreadContext* ctx, bool restart) {
  if (!restart && digitizer_.GrabMonitorSetting() == Q_ENABLE && GrabTimeout() >= 0) {
    StartWatchdog(error);
    if (error.errorSet != 0) return;
  }
  if (!restart) {
    {
      // A hook thread may still count a frame of the run before.
      foundation::ScopedLock lock(hookLock_);
      firstFrameKnown_ = false;
    }
    digitizer_.Counters().missed = 0;
  }
  // The first frames may be done before the request returns: their events
  // must find the run going, or their grabs are never continued.
  const bool wasRunning = digitizer_.ProcessingRunning();
  digitizer_.SetProcessingRunning(true);
  pending_ = true;
  {
    frame::ChannelGuard channel(digitizer_);
    kernel::DigProcessRequest request{};
    request.header = frame::FreshHeader(error);
    request.kernelDigitizer = digitizer_.Channel().Block().kernelDigitizer;
    request.processObject = kernelObject_;
    request.word = restart ? 0 : 1;
    frame::LLsysRequest(system_.Handles(), kernel::kDigProcessRequest, request, error, ctx);
    if (error.errorSet == 0) digitizer_.OnProcessRequestSent(ctx);
  }
  if (error.errorSet != 0) {
    digitizer_.SetProcessingRunning(wasRunning);
    pending_ = false;
    StopWatchdog();
  }
}

QINT64 CDigProcessHdler::SingleThreadHook(QINT64 type, QID event, void* user) {
  OnHook(type, event, user, false, false);
  return 0;
}

QINT64 CDigProcessHdler::SingleThreadIndexHook(QINT64 type, QID event, void* user) {
  OnHook(type, event, user, false, true);
  return 0;
}

QINT64 CDigProcessHdler::MultiThreadHook(QINT64 type, QID event, void* user) {
  OnHook(type, event, user, true, false);
  return 0;
}

QINT64 CDigProcessHdler::MultiThreadIndexHook(QINT64 type, QID event, void* user) {
  OnHook(type, event, user, true, true);
  return 0;
}

void CDigProcessHdler::OnHook(QINT64 type, QID event, void* user, bool multiThread, bool logIndex) {
  auto* handler = static_cast<CDigProcessHdler*>(user);
  frame::ReportEscapes(frame::kHookFunctionName, [=] {
    if (logIndex) {
      handler->Log(foundation::LogTag("INDX"), static_cast<uint64_t>(ProcessIndex(event)),
                   foundation::kEmptyLogTag, 0);
    }
    handler->OnBufferDone(type, event, multiThread);
  });
}

QINT64 CDigProcessHdler::ProcessIndex(QID event) {
  QINT64 position = -1;
  HostBufGetHookInfo(event, kProcessIndex, &position);
  return position;
}

int64_t CDigProcessHdler::PositionOf(QID event) {
  auto known = std::lower_bound(knownEvents_.begin(), knownEvents_.end(), event,
                                [](const KnownEvent& entry, QID id) { return entry.event < id; });
  if (known != knownEvents_.end() && known->event == event) return known->position;
  const int64_t position = ProcessIndex(event);
  // Bounded: a host that makes an event per frame fills it once.
  if (position >= 0 && knownEvents_.size() < buffers_.size()) {
    knownEvents_.insert(known, {event, position});
  }
  return position;
}

void CDigProcessHdler::MarkBuffer(const ProcessBuffer& buffer, QINT64 mark) {
  // Set on the application's buffer, the mark would come back through this driver
  // to the buffer's memory: it goes there directly.
  HostBufControl(buffer.memoryId != 0 ? buffer.memoryId : buffer.hostId, Q_GRAB_STATE, mark);
}

void CDigProcessHdler::Log(uint32_t tag1, uint64_t value1, uint32_t tag2, uint64_t value2) const {
  foundation::CLog* log = foundation::CLog::Instance();
  if (!log->IsCategoryEnabled(foundation::kGrabLogCategory)) return;
  log->Write(*this, kProcessRecord, tag1, value1, tag2, value2, foundation::kEmptyLogTag, 0);
}

void CDigProcessHdler::OnBufferDone(QINT64 type, QID event, bool multiThread) {
  bool stopWatchdog = false;
  {
    foundation::ScopedLock lock(hookLock_);
    if (type == kNormalEvent) {
      ++normal_;
      digitizer_.Counters().frames = normal_.load();
      // Frames the board made since the run's first grabbed one that no grab
      // took; the board's count goes on across runs.
      const uint64_t frame = digitizer_.GrabStatus()[kernel::kStatusFrameNumber];
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
    const QINT64 position = PositionOf(event);
    Log(foundation::LogTag("CMDH"),
        multiThread ? foundation::LogTag("CB_2") : foundation::LogTag("CB_1"),
        foundation::LogTag("DBID"), static_cast<uint64_t>(position));
    if (position < 0 || position >= BufferCount()) return;
    ProcessBuffer& buffer = buffers_[static_cast<std::size_t>(position)];
    if (buffer.grabRecord == 0) return;
    // Grabs waiting for their buffers go on the board later: they count as queued.
    const bool framesLeft =
        requested_ == -1 || queued_ + static_cast<int64_t>(waiting_.size()) < requested_;
    const bool triggerGoesOn = TriggerDriven() && togglePeriod_ > 0 &&
                               (normal_ + other_) % togglePeriod_ != 0 && operation_ == 5 &&
                               !halting_ && pending_ && !stall_;
    if (!Continue(buffer, position, multiThread, framesLeft || triggerGoesOn)) {
      stopWatchdog = FinishFrame(position);
    }
  }
  // The watchdog may be waiting for the hook lock: it is stopped outside it.
  if (stopWatchdog) StopWatchdog();
}

bool CDigProcessHdler::Continue(ProcessBuffer& buffer, int64_t position, bool multiThread,
                                bool goesOn) {
  // Counted before active_ is read: a halt that clears it waits for this continuation.
  struct Counted {
    std::atomic<int>& count;
    explicit Counted(std::atomic<int>& c) : count(c) { ++count; }
    ~Counted() { --count; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
  } counted(continuing_);
  bool continued = false;
  if (active_ && goesOn) {
    if (multiThread) {
      ContinueInOrder(position, buffer.grabRecord);
    } else {
      ContinueGrab(buffer);
    }
    continued = true;
  } else if (multiThread && active_ && !waiting_.empty()) {
    // The waiting grabs are part of the count: they still go on the board.
    spare_.push_back(std::exchange(buffer.grabRecord, 0));
    IssueWaiting(os::GetCurrentThreadId());
  }
  return continued;
}

CDigProcessHdler::ProcessThread CDigProcessHdler::ThreadEntry(uint32_t id) {
  foundation::ScopedLock lock(threadsLock_);
  for (ProcessThread& entry : threads_) {
    if (entry.taken && entry.id == id) return entry;
  }
  auto free = std::find_if(threads_.begin(), threads_.end(),
                           [](const ProcessThread& entry) { return !entry.taken; });
  // More delivering threads than entries: the first entry serves the others.
  if (free == threads_.end()) return threads_.front();
  free->taken = true;
  free->id = id;
  if (frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver()) {
    free->ctx = driver->CallingThreadContext();
  }
  free->kernelId = free->ctx != nullptr ? system_.CallerKernelId(*free->ctx) : 0;
  return *free;
}

template <typename Request>
void CDigProcessHdler::SendContinuation(uint32_t function, Request& request,
                                        const ProcessBuffer& buffer, uint32_t threadId) {
  const ProcessThread thread = ThreadEntry(threadId);
  MarkBuffer(buffer, 5);
  ++queued_;
  system_.OnProcessBufferQueued(buffer.driverIndex, digitizer_, &buffer - buffers_.data(),
                                thread.ctx);
  foundation::CError error;
  request.header = frame::FreshHeader(error);
  request.kernelDigitizer = digitizer_.Channel().Block().kernelDigitizer;
  request.processObject = kernelObject_;
  request.threadObject = thread.kernelId;
  frame::LLsysRequest(system_.Handles(), function, request, error, nullptr);
  if (error.errorSet != 0) {
    // The grab never went back on the board: it will not complete.
    --queued_;
    if (StopAsked()) EndWaitWhenNoneQueued();
    return;
  }
  if (TriggerDriven() && togglePeriod_ > 1) {
    if (queued_ % togglePeriod_ == 0) {
      SetTriggerState(Q_ENABLE);
    } else if ((queued_ - 1) % togglePeriod_ == 0) {
      SetTriggerState(Q_DISABLE);
    }
  }
  if (requested_ != -1 && queued_ >= requested_) digitizer_.ReleaseProcessContext(thread.ctx);
}

void CDigProcessHdler::ContinueGrab(ProcessBuffer& buffer) {
  kernel::DigContinueGrabRequest request{};
  request.grabRecord = buffer.grabRecord;
  SendContinuation(kernel::kDigContinueGrab, request, buffer, 0);
}

void CDigProcessHdler::ContinueGrabPrepared(uint32_t threadId, int64_t position,
                                            uint64_t grabRecord) {
  ProcessBuffer& buffer = buffers_[static_cast<std::size_t>(position)];
  kernel::DigContinuePreparedRequest request{};
  if (!system_.BuildGrabBufferRequest(buffer.driverIndex, digitizer_, request.buffers[0],
                                      buffer.driverIndex)) {
    spare_.push_back(grabRecord);
    return;
  }
  request.grabRecord = grabRecord;
  // Also when the board refuses it: the stop gives the record back.
  buffer.grabRecord = grabRecord;
  SendContinuation(kernel::kDigContinueGrabPrepared, request, buffer, threadId);
}

void CDigProcessHdler::IssueWaiting(uint32_t threadId) {
  // Buffers are filled in the ring's order, whichever thread finished first.
  while (!waiting_.empty() &&
         buffers_[static_cast<std::size_t>(waiting_.front().position)].grabRecord == 0) {
    const WaitingGrab next = waiting_.front();
    waiting_.pop_front();
    ContinueGrabPrepared(threadId, next.position, next.grabRecord);
  }
}

void CDigProcessHdler::ContinueInOrder(int64_t position, uint64_t grabRecord) {
  const uint32_t threadId = os::GetCurrentThreadId();
  const auto total = static_cast<int64_t>(buffers_.size());
  buffers_[static_cast<std::size_t>(position)].grabRecord = 0;
  IssueWaiting(threadId);
  const int64_t next = nextPosition_;
  nextPosition_ = (nextPosition_ + 1) % total;
  if (buffers_[static_cast<std::size_t>(next)].grabRecord != 0 || !waiting_.empty()) {
    waiting_.push_back({next, grabRecord});
  } else {
    ContinueGrabPrepared(threadId, next, grabRecord);
  }
}

bool CDigProcessHdler::FinishFrame(int64_t position) {
  digitizer_.NotifyFrameFinish(position, halting_ ? 1 : 0);
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
  std::vector<ProcessThread> threads;
  {
    foundation::ScopedLock lock(threadsLock_);
    threads = threads_;
  }
  if (threads.front().taken && threads.front().id == 0) {
    digitizer_.ReleaseProcessContext(threads.front().ctx);
  }
  active_ = false;
  foundation::CError ignored;
  frame::LLsysObjectControl(system_.Handles(), kernelObject_, kernel::kObjectHalt, kHaltValue,
                            ignored, nullptr);
  // A continuation that found the run active may reach the board after the halt (which ends one
  // the board holds): once none is on its way, the board is halted again, so that it does not
  // wait for such a grab.
  while (continuing_.load() != 0) std::this_thread::yield();
  frame::LLsysObjectControl(system_.Handles(), kernelObject_, kernel::kObjectHalt, kHaltValue,
                            ignored, nullptr);
  system_.OnDigProcessHalted(digitizer_);
  frame::LLsysObjectInquire(system_.Handles(), kernelObject_, kernel::kObjectWaitIdle, ignored,
                            nullptr);
  // The threads that continued grabs wait until the board let go of theirs.
  for (const ProcessThread& thread : threads) {
    if (thread.kernelId == 0) continue;
    frame::LLsysObjectInquire(system_.Handles(), thread.kernelId, kernel::kObjectWaitIdle, ignored,
                              nullptr);
  }
  if (TriggerDriven()) SetTriggerState(Q_ENABLE);
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
  const auto logged = static_cast<uint64_t>(timeoutMs);
  Log(foundation::LogTag("BEFO"), 0, foundation::LogTag("TOUT"), logged);
  const int ended = os::WaitForSingleObject(endEvent_, wait) == os::WAIT_OBJECT_0 ? 1 : 0;
  Log(foundation::LogTag("AFTR"), static_cast<uint64_t>(ended), foundation::LogTag("TOUT"), logged);
  return ended;
}

void CDigProcessHdler::PrepareStop() {
  // An unbounded run ends with the grabs already on the board. No hook lock:
  // a hook thread may hold it in a request that only the coming halt ends.
  int64_t unbounded = -1;
  requested_.compare_exchange_strong(unbounded, queued_.load());
  EndWaitWhenNoneQueued();
}

void CDigProcessHdler::OnGrabsDropped() {
  // The watchdog's own abort of a stalled run: its restart queues the grabs again.
  if (stall_) return;
  dropped_ = true;
  // A stop that already waits ends; a later one finds the flag.
  if (StopAsked()) EndWaitWhenNoneQueued();
}

bool CDigProcessHdler::StopAsked() const { return (operation_ & Q_STOP) != 0; }

void CDigProcessHdler::EndWaitWhenNoneQueued() {
  // No frame will end a run whose grabs all ended or were refused or dropped by the board.
  if (!dropped_ && normal_ + other_ < queued_) return;
  pending_ = false;
  os::SetEvent(endEvent_);
}

void CDigProcessHdler::SignalEnd() { os::SetEvent(endEvent_); }

void CDigProcessHdler::EndAfterFailure(const frame::EscapedException& escaped) {
  bool handed = false;
  {
    foundation::ScopedLock lock(hookLock_);
    if (starterWaits_ && !failure_.has_value()) {
      failure_ = escaped;
      handed = true;
    }
  }
  if (!handed) frame::ReportHookFailure(escaped);
  system_.EndProcessAfterFailure(digitizer_, *this);
}

std::optional<frame::EscapedException> CDigProcessHdler::TakeFailure() {
  foundation::ScopedLock lock(hookLock_);
  starterWaits_ = false;
  return std::exchange(failure_, std::nullopt);
}

void CDigProcessHdler::WaitForDeliveries() {
  const uint64_t hookType =
      QDHwSpecSystem::kDigitizerHookBase + static_cast<uint64_t>(digitizerIndex_);
  // The hook thread that stops from inside a delivery does not wait for itself.
  if (system_.IsInHookThread(hookType)) return;
  // Frames the board made before the halt may still wait for a hook thread: taken now, with the
  // run stopped, they go nowhere; taken after the next start, that run would get them.
  system_.WaitForHookThreads(hookType);
  foundation::ScopedLock delivery(digitizer_.DeliveryLock());
}

foundation::CError CDigProcessHdler::Stop(frame::QDDriverThreadContext* ctx, bool keepRunning) {
  foundation::CError result;
  if (!keepRunning) {
    digitizer_.ReleaseProcessContext(ctx);
    StopWatchdog();
  }
  {
    // A hook thread may hold the hook lock in a continuation that the board
    // took after the halt: halting again releases it.
    while (!hookLock_.try_lock()) {
      foundation::CError ignored;
      frame::LLsysObjectControl(system_.Handles(), kernelObject_, kernel::kObjectHalt, kHaltValue,
                                ignored, nullptr);
      os::Sleep(1);
    }
    foundation::ScopedLock lock(hookLock_, std::adopt_lock);
    // The records that wait for their buffers are the board's too.
    std::vector<uint64_t> records;
    for (ProcessBuffer& buffer : buffers_) {
      if (buffer.grabRecord != 0) records.push_back(std::exchange(buffer.grabRecord, 0));
    }
    for (const WaitingGrab& grab : waiting_) records.push_back(grab.grabRecord);
    waiting_.clear();
    records.insert(records.end(), spare_.begin(), spare_.end());
    spare_.clear();
    for (uint64_t record : records) {
      foundation::CError error;
      kernel::DigProcessRequest request{};
      request.header = frame::FreshHeader(error);
      request.kernelDigitizer = digitizer_.Channel().Block().kernelDigitizer;
      request.processObject = kernelObject_;
      request.word = record;
      frame::LLsysRequest(system_.Handles(), kernel::kDigProcessStop, request, error, ctx);
      if (error.errorSet != 0) result.SetError(error.code, error.subCode);
    }
  }
  if (keepRunning) return result;
  UnhookBuffers();
  {
    foundation::ScopedLock lock(hookLock_);
    active_ = false;
    pending_ = false;
    halting_ = false;
  }
  digitizer_.SetProcessingRunning(false);
  digitizer_.SetFirstGrabCount(0, ctx);
  digitizer_.OnProcessEnded();
  os::SetEvent(endEvent_);
  os::SetEvent(haltEvent_);
  return result;
}

}  // namespace zor::board
