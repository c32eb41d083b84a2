// The watchdog of grab processing: when no frame completes during one grab
// time-out it halts and aborts the grab, reports the stall to the host from a
// thread of its own, and restarts the run from the next buffer.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/process/cdigprocesshdler.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/logtag.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/hostthreads.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"

namespace zor::board {
namespace {

using frame::ReportEscapes;
using protocol::kThreadFlags;
using protocol::kThreadOwner;
constexpr const wchar_t* kGrabMonitorName = L"QdigProcess()Grab Monitor thread:";
using errorcode::kNoGrabActivity;
using errorcode::kProcessingAllocationError;

}  // namespace

int64_t CDigProcessHdler::GrabTimeout() const {
  const kernel::DigPropertiesBlock p = digitizer_.CopyProperties();
  int64_t timeout = p.grabTimeout;
  if (timeout == Q_DEFAULT) {
    timeout = p.grabTriggerState == Q_ENABLE ? -1 : static_cast<int64_t>(p.timeoutWord);
  }
  return timeout < 0 ? -1 : timeout;
}

void CDigProcessHdler::StartWatchdog(foundation::CError& error) {
  foundation::ScopedLock lock(watchdogLock_);
  if (watchdog_ != 0) return;
  os::ResetEvent(stopEvent_);
  watchdog_ = HostThrAlloc(kThreadOwner, Q_THREAD, kThreadFlags, &WatchdogProcedure, this, nullptr);
  if (watchdog_ == 0) error.SetError(kProcessingAllocationError, 3);
}

void CDigProcessHdler::StopWatchdog() {
  foundation::ScopedLock lock(watchdogLock_);
  if (watchdog_ == 0) return;
  os::SetEvent(stopEvent_);
  HostThrWait(watchdog_, Q_THREAD_WAIT, nullptr);
  HostThrFree(watchdog_);
  watchdog_ = 0;
}

QUINT32 CDigProcessHdler::WatchdogProcedure(void* user) {
  QINT64 bracket = 0;
  HostInternalInquire(0, Q_ENTER_THREAD_CONTEXT, &bracket);
  ReportEscapes(kGrabMonitorName, [user] { static_cast<CDigProcessHdler*>(user)->Watch(); });
  HostInternalControl(0, Q_LEAVE_THREAD_CONTEXT, bracket);
  return 0;
}

void CDigProcessHdler::Watch() {
  const int64_t timeout = GrabTimeout();
  const uint32_t wait = timeout < 0 ? os::INFINITE : static_cast<uint32_t>(timeout);
  int64_t lastSeen = normal_.load();
  bool wasActive = false;
  for (;;) {
    const bool reporting = reporter_.load() != 0;
    const os::Handle events[2] = {stopEvent_, reportEvent_};
    const uint32_t woke = os::WaitForMultipleObjects(reporting ? 2 : 1, events, false, wait);
    if (woke == os::WAIT_OBJECT_0) {
      if (QID reporter = reporter_.exchange(0)) {
        HostThrWait(reporter, Q_THREAD_WAIT, nullptr);
        HostThrFree(reporter);
      }
      return;
    }
    // A stall or restart that fails is reported, and the watchdog goes on watching.
    if (woke == os::WAIT_OBJECT_0 + 1) {
      if (handlerLock_.try_lock()) {
        foundation::ScopedLock handler(handlerLock_, std::adopt_lock);
        if (QID reporter = reporter_.exchange(0)) {
          HostThrWait(reporter, Q_THREAD_WAIT, nullptr);
          HostThrFree(reporter);
        }
        os::ResetEvent(reportEvent_);
        // The analysis does not follow the held lock into the lambda.
        ReportEscapes(kGrabMonitorName,
                      [&]() ZOR_NO_THREAD_SAFETY_ANALYSIS { Restart(wasActive); });
      }
    } else if (woke == os::WAIT_TIMEOUT && !reporting && normal_.load() == lastSeen) {
      if (handlerLock_.try_lock()) {
        foundation::ScopedLock handler(handlerLock_, std::adopt_lock);
        ReportEscapes(kGrabMonitorName,
                      [&]() ZOR_NO_THREAD_SAFETY_ANALYSIS { OnStall(wasActive); });
      }
    }
    lastSeen = normal_.load();
  }
}

void CDigProcessHdler::OnStall(bool& wasActive) {
  Log(foundation::LogTag("COMP"), static_cast<uint64_t>(normal_.load()), foundation::LogTag("GRAB"),
      static_cast<uint64_t>(queued_.load()));
  // A round that failed after this point left the run inactive: its state before the stall is
  // the one the restart goes back to.
  if (!stall_) wasActive = active_.load();
  active_ = false;
  stall_ = true;
  Halt(1);
  frame::OperationArgs abort;
  abort.Push(digitizerIndex_);
  abort.Push(static_cast<int64_t>(kernel::kGrabAbort));
  abort.Push(Q_DEFAULT);
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  if (driver != nullptr) {
    frame::QDDriverThreadContext ctx(*driver, os::GetCurrentThreadId());
    system_.DigControl(abort, ctx);
    frame::ReportHeldError(kGrabMonitorName, ctx);
  }
  const int64_t timeout = GrabTimeout();
  const int64_t haltWait = std::max<int64_t>(system_.ThreadTimeout() * 1000, timeout);
  os::WaitForSingleObject(haltEvent_, static_cast<uint32_t>(haltWait));
  if (timeout >= 0) {
    os::ResetEvent(reportEvent_);
    reporter_ = HostThrAlloc(kThreadOwner, Q_THREAD, kThreadFlags, &ReportProcedure, this, nullptr);
    // Without a reporter the restart still comes: the report is only lost.
    if (reporter_.load() == 0) os::SetEvent(reportEvent_);
  }
}

void CDigProcessHdler::Restart(bool wasActive) {
  const int64_t total = BufferCount();
  const int64_t restartAt = total > 0 ? normal_.load() % total : 0;
  // The watchdog runs no command: what the restart fails in goes to the host.
  frame::ReportThreadError(kGrabMonitorName, Stop(nullptr, true));
  if (wasActive) active_ = true;
  const int64_t requested = requested_.load();
  const int64_t remaining = requested == -1 ? -1 : requested - normal_.load();
  Log(foundation::LogTag("ASIZ"), static_cast<uint64_t>(total), foundation::LogTag("RSTI"),
      static_cast<uint64_t>(restartAt));
  {
    foundation::ScopedLock lock(hookLock_);
    halting_ = false;
    queued_ = normal_.load() + other_.load();
  }
  foundation::CError error = Start(operation_, flags_, remaining, restartAt, true, nullptr);
  pending_ = true;
  stall_ = false;
  if (error.errorSet == 0) IssueProcessRequest(error, nullptr, true);
  // A restart that the board refused leaves no grab that could end a waiting stop.
  if (StopAsked()) EndWaitWhenNoneQueued();
  frame::ReportThreadError(kGrabMonitorName, error);
}

QUINT32 CDigProcessHdler::ReportProcedure(void* user) {
  auto* handler = static_cast<CDigProcessHdler*>(user);
  wchar_t first[320];
  wchar_t second[320];
  std::swprintf(first, 320, L"%ls %lld", L"No grab activity was detected on the digitizer.",
                static_cast<long long>(handler->digitizer_.GetHostId()));
  std::swprintf(second, 320, L"(Error detected on %ls system)", L"DravionLyn");
  ReportEscapes(kGrabMonitorName, [&] {
    frame::ReportThreadError(kGrabMonitorName, kNoGrabActivity, first, second);
  });
  // The restart waits for this event, also when the report failed.
  os::SetEvent(handler->reportEvent_);
  return 0;
}

}  // namespace zor::board
