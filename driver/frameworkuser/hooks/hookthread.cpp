// CHookThread: keeps a device-event wait pending on the board and delivers each event.
#include "driver/frameworkuser/hooks/hookthread.h"

#include <cstring>

#include "driver/foundation/messagebox.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/hooks/userhook.h"
#include "driver/frameworkuser/protocol/hostthreads.h"
#include "interfaces/kernel/kernelcodes.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {

namespace {

using errorcode::kDroppedEventError;
using protocol::kThreadFlags;
using protocol::kThreadOwner;
constexpr QINT64 kApplicationRestart = 0x40000000;
constexpr uint32_t kRestartBoxStyle = 0x1030;
constexpr uint64_t kAllOnes = ~uint64_t{0};

constexpr uint32_t kWaitDeviceEventCode = ZOR_KERNEL_CTL_CODE(kernel::kWaitDeviceEvent);

kernel::DeviceEventRecord FreshRecord() {
  kernel::DeviceEventRecord record{};
  record.handlePair[0] = kAllOnes;
  record.handlePair[1] = kAllOnes;
  record.magic = kernel::kDeviceEventMagic;
  return record;
}

// Ratio of two payload words as a double, 0 when either is 0.
double Ratio(const uint8_t* payload, size_t numerator, size_t denominator) {
  uint64_t n = 0, d = 0;
  std::memcpy(&n, payload + numerator, sizeof(n));
  std::memcpy(&d, payload + denominator, sizeof(d));
  return n == 0 || d == 0 ? 0.0 : static_cast<double>(n) / static_cast<double>(d);
}

}  // namespace

CHookThread::CHookThread(CUserHook& owner, uint64_t hookType, CBaseHook<HOOK_ELEMENT_INFO>* element,
                         void* userData, QID hostObject)
    : owner_(owner),
      hostObject_(hostObject),
      element_(element),
      userData_(userData),
      hookType_(hookType) {
  hostEvent_ = HostEventAlloc(hostObject, Q_DEFAULT, Q_HOOK_EVENT, eventData_.data());
  stopEvent_ = os::CreateEvent(true, false);
  startedEvent_ = os::CreateEvent(true, false);
  if (hostEvent_ == 0 || stopEvent_ == os::kNullHandle || startedEvent_ == os::kNullHandle) {
    success_ = false;
  }
}

CHookThread::~CHookThread() {
  if (hostEvent_ != 0) HostEventFree(Q_DEFAULT, hostEvent_);
  if (stopEvent_ != os::kNullHandle) os::CloseHandle(stopEvent_);
  if (startedEvent_ != os::kNullHandle) os::CloseHandle(startedEvent_);
}

bool CHookThread::StartThread() {
  hostThread_ =
      HostThrAlloc(kThreadOwner, Q_THREAD, kThreadFlags, &CHookThread::Procedure, this, nullptr);
  return hostThread_ != 0;
}

bool CHookThread::WaitStarted() {
  os::WaitForSingleObject(startedEvent_, os::INFINITE);
  return success_.load();
}

void CHookThread::RequestStop() { os::SetEvent(stopEvent_); }

void CHookThread::Join() {
  if (hostThread_ == 0) return;
  HostThrWait(hostThread_, Q_THREAD_WAIT, nullptr);
  HostThrFree(hostThread_);
  hostThread_ = 0;
}

QUINT32 CHookThread::Procedure(void* self) {
  auto* thread = static_cast<CHookThread*>(self);
  if (!ReportEscapes(kThreadFunctionName, [thread] { thread->Run(); })) {
    // A thread that ended before it ran must still release the one that started it.
    if (os::WaitForSingleObject(thread->startedEvent_, 0) != os::WAIT_OBJECT_0) {
      thread->success_ = false;
      os::SetEvent(thread->startedEvent_);
    }
  }
  thread->ended_ = true;
  return 0;
}

bool CHookThread::Send(kernel::DeviceEventRecord& request, os::Overlapped& overlapped) {
  // The reply leaves the event code where the hook type goes: every request is
  // re-armed with the type.
  request.typeOrCode = hookType_;
  uint32_t bytes = 0;
  if (os::DeviceIoControl(owner_.Device(), kWaitDeviceEventCode, &request, sizeof(request),
                          &request, sizeof(request), &bytes, &overlapped)) {
    return true;
  }
  return os::GetLastError() == os::ERROR_IO_PENDING;
}

void CHookThread::Run() {
  kernel::DeviceEventRecord request = FreshRecord();
  kernel::DeviceEventRecord delivered = FreshRecord();
  os::Overlapped overlapped;
  overlapped.hEvent = os::CreateEvent(true, true);
  // Board events wait for no other thread; where the system refuses, the thread
  // goes on at its priority.
  os::SetThreadPriority(os::GetCurrentThread(), os::THREAD_PRIORITY_TIME_CRITICAL);
  threadId_ = os::GetCurrentThreadId();
  if (overlapped.hEvent == os::kNullHandle || !Send(request, overlapped)) {
    // Release the starting thread, which reports that no thread runs.
    success_ = false;
    if (overlapped.hEvent != os::kNullHandle) os::CloseHandle(overlapped.hEvent);
    os::SetEvent(startedEvent_);
    return;
  }
  os::SetEvent(startedEvent_);

  bool returnFromSleep = false;
  const os::Handle handles[2] = {stopEvent_, overlapped.hEvent};
  while (true) {
    const uint32_t wait = os::WaitForMultipleObjects(2, handles, false, os::INFINITE);
    const bool fired = wait == os::WAIT_OBJECT_0 + 1;
    if (fired) {
      uint32_t bytes = 0;
      if (!os::GetOverlappedResult(owner_.Device(), &overlapped, &bytes, false)) {
        const uint32_t error = os::GetLastError();
        // Still pending: the event was seen early; nothing arrived, so wait again.
        if (error == os::ERROR_IO_INCOMPLETE || error == os::ERROR_IO_PENDING) continue;
        ReportDroppedEvent();
        break;
      }
      delivered.objectWords[0] = request.objectWords[0];
      delivered.objectWords[1] = request.objectWords[1];
      if (delivered.status.errorSet == 0) delivered.status = request.status;
      delivered.word60 = request.word60;
      delivered.typeOrCode = request.typeOrCode;
      std::memcpy(delivered.payload, request.payload, sizeof(delivered.payload));
      delivered.lastWord = request.lastWord;
    } else {
      // Stopped, or the wait failed: the request must be over before its
      // buffer and event go.
      os::CancelIo(owner_.Device());
      uint32_t bytes = 0;
      os::GetOverlappedResult(owner_.Device(), &overlapped, &bytes, true);
      break;
    }
    if (delivered.typeOrCode == kernel::kEventReturnFromSleep) {
      returnFromSleep = true;
      break;
    }
    // The next request is pending while the user's function runs.
    if (!Send(request, overlapped)) break;
    Deliver(delivered);
  }
  if (!HasOverlappedIoCompleted(&overlapped)) {
    os::CancelIo(owner_.Device());
    uint32_t bytes = 0;
    os::GetOverlappedResult(owner_.Device(), &overlapped, &bytes, true);
  }
  os::CloseHandle(overlapped.hEvent);
  if (returnFromSleep) ReportReturnFromSleep();
}

void CHookThread::Deliver(const kernel::DeviceEventRecord& delivered) {
  std::memcpy(eventData_.data(), delivered.payload, eventData_.size());
  // Payload words at record offsets 0x158/0x160 and 0x168/0x170 become rates.
  constexpr size_t kPayloadStart = offsetof(kernel::DeviceEventRecord, payload);
  const double first = Ratio(delivered.payload, 0x158 - kPayloadStart, 0x160 - kPayloadStart);
  const double second = Ratio(delivered.payload, 0x168 - kPayloadStart, 0x170 - kPayloadStart);
  std::memcpy(eventData_.data() + (0x158 - kPayloadStart), &first, sizeof(first));
  std::memcpy(eventData_.data() + (0x168 - kPayloadStart), &second, sizeof(second));
  if (element_ == nullptr) return;
  try {
    element_->Invoke(userData_, hostEvent_, {delivered.payload});
  } catch (...) {
    // The user's function failed, not the thread: the next event is delivered as usual.
    ReportHookException();
  }
}

void CHookThread::ReportDroppedEvent() const {
  ReportThreadError(kThreadFunctionName, kDroppedEventError, L"Dropped interrupt event.",
                    L"(either the Internal FIFO is full or the process was not found).");
}

void CHookThread::ReportReturnFromSleep() const {
  HostAppControl(Q_DEFAULT, kApplicationRestart, 0);
  if ((owner_.InitWord() & kNoRestartMessage) == 0) {
    foundation::ShowMessageBox(L"Please restart your ZOR application.",
                               L"A return from sleep was detected.", kRestartBoxStyle);
  }
}

}  // namespace zor::frame
