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

enum class Reply { kArrived, kNotYet, kFailed };

Reply TakeReply(os::Handle device, os::Overlapped& overlapped) {
  uint32_t bytes = 0;
  if (os::GetOverlappedResult(device, &overlapped, &bytes, false)) return Reply::kArrived;
  const uint32_t error = os::GetLastError();
  // Still pending: the event was seen early; nothing arrived, so wait again.
  if (error == os::ERROR_IO_INCOMPLETE || error == os::ERROR_IO_PENDING) return Reply::kNotYet;
  return Reply::kFailed;
}

// The reply's words go to the delivered record; its error stays the first one.
void CopyReply(const kernel::DeviceEventRecord& reply, kernel::DeviceEventRecord& delivered) {
  delivered.objectWords[0] = reply.objectWords[0];
  delivered.objectWords[1] = reply.objectWords[1];
  if (delivered.status.errorSet == 0) delivered.status = reply.status;
  delivered.kernelWord = reply.kernelWord;
  delivered.typeOrCode = reply.typeOrCode;
  std::memcpy(delivered.payload, reply.payload, sizeof(delivered.payload));
  delivered.lastWord = reply.lastWord;
}

// The request's event, closed on every road out of the thread, an exception's too.
class RequestEvent {
 public:
  RequestEvent() : handle_(os::CreateEvent(true, true)) {}
  ~RequestEvent() {
    if (handle_ != os::kNullHandle) os::CloseHandle(handle_);
  }
  RequestEvent(const RequestEvent&) = delete;
  RequestEvent& operator=(const RequestEvent&) = delete;
  os::Handle Get() const { return handle_; }

 private:
  const os::Handle handle_;
};

// Cancels the pending request and waits until it is over.
void EndRequest(os::Handle device, os::Overlapped& overlapped) {
  os::CancelIo(device);
  uint32_t bytes = 0;
  os::GetOverlappedResult(device, &overlapped, &bytes, true);
}

}  // namespace

CHookThread::CHookThread(CUserHook& owner, uint64_t hookType, CBaseHook<HOOK_ELEMENT_INFO>* element,
                         void* userData, QID hostObject)
    : owner_(owner), element_(element), userData_(userData), hookType_(hookType) {
  hostEvent_ = HostEventAlloc(hostObject, Q_DEFAULT, Q_HOOK_EVENT, eventData_.data());
  stopEvent_ = os::CreateEvent(true, false);
  startedEvent_ = os::CreateEvent(true, false);
  askEvent_ = os::CreateEvent(false, false);
  if (hostEvent_ == 0 || stopEvent_ == os::kNullHandle || startedEvent_ == os::kNullHandle ||
      askEvent_ == os::kNullHandle) {
    success_ = false;
  }
}

CHookThread::~CHookThread() {
  if (hostEvent_ != 0) HostEventFree(Q_DEFAULT, hostEvent_);
  if (stopEvent_ != os::kNullHandle) os::CloseHandle(stopEvent_);
  if (startedEvent_ != os::kNullHandle) os::CloseHandle(startedEvent_);
  if (askEvent_ != os::kNullHandle) os::CloseHandle(askEvent_);
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

uint64_t CHookThread::AskIdle() {
  const uint64_t round = ++asked_;
  os::SetEvent(askEvent_);
  return round;
}

void CHookThread::AnswerIdle(const os::Overlapped& overlapped) {
  // Read before the request: one still waiting after the ask found nothing queued for it, and
  // none came since.
  const uint64_t asked = asked_.load();
  if (!HasOverlappedIoCompleted(&overlapped)) idle_.store(asked);
}

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
  const RequestEvent event;
  os::Overlapped overlapped;
  overlapped.hEvent = event.Get();
  // Board events wait for no other thread; where the system refuses, the thread
  // goes on at its priority.
  os::SetThreadPriority(os::GetCurrentThread(), os::THREAD_PRIORITY_TIME_CRITICAL);
  threadId_ = os::GetCurrentThreadId();
  if (!SendFirstRequest(request, overlapped)) return;
  const bool returnFromSleep = DeliverEvents(request, overlapped);
  if (!HasOverlappedIoCompleted(&overlapped)) EndRequest(owner_.Device(), overlapped);
  if (returnFromSleep) ReportReturnFromSleep();
}

bool CHookThread::SendFirstRequest(kernel::DeviceEventRecord& request, os::Overlapped& overlapped) {
  if (overlapped.hEvent != os::kNullHandle && Send(request, overlapped)) {
    os::SetEvent(startedEvent_);
    return true;
  }
  // Release the starting thread, which reports that no thread runs.
  success_ = false;
  os::SetEvent(startedEvent_);
  return false;
}

bool CHookThread::DeliverEvents(kernel::DeviceEventRecord& request, os::Overlapped& overlapped) {
  kernel::DeviceEventRecord delivered = FreshRecord();
  const os::Handle handles[3] = {stopEvent_, overlapped.hEvent, askEvent_};
  while (true) {
    AnswerIdle(overlapped);
    const uint32_t wait = os::WaitForMultipleObjects(3, handles, false, os::INFINITE);
    if (wait == os::WAIT_OBJECT_0 + 2) continue;
    if (wait != os::WAIT_OBJECT_0 + 1) {
      // Stopped, or the wait failed: the request must be over before its
      // buffer and event go.
      EndRequest(owner_.Device(), overlapped);
      return false;
    }
    const Reply reply = TakeReply(owner_.Device(), overlapped);
    if (reply == Reply::kNotYet) continue;
    if (reply == Reply::kFailed) {
      ReportDroppedEvent();
      return false;
    }
    CopyReply(request, delivered);
    if (delivered.typeOrCode == kernel::kEventReturnFromSleep) return true;
    // The next request is pending while the user's function runs.
    if (!Send(request, overlapped)) return false;
    Deliver(delivered);
  }
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
