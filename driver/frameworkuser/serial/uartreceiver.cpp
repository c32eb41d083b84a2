// UartReceiver: the thread that waits for characters on a port and calls its receive hook.
#include "driver/frameworkuser/serial/uartreceiver.h"

#include <atomic>
#include <future>
#include <mutex>
#include <system_error>

#include "driver/foundation/lockorder.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/device/overlapped.h"
#include "platform/os/serial/serial.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {
namespace {

// The host's foreign-thread bracket: the hook may call the host library from here.

}  // namespace

// Shared with the thread, so that a detached thread never outlives what it uses.
struct UartReceiver::State {
  ~State() {
    os::CloseHandle(stop);
    os::CloseHandle(wait.hEvent);
  }

  void Run();
  void Loop();
  // Lets Start go on; once only.
  void ReleaseStarter();
  // Arms the character wait; false when the port refuses it (closed, or gone).
  bool Arm();
  // Calls the hook unless a stop came first; false once stopped.
  bool CallHook();

  os::Handle port = os::INVALID_HANDLE_VALUE;
  std::shared_ptr<UartPortHook> hook;
  os::Handle stop = os::kNullHandle;
  os::Overlapped wait;
  uint32_t events = 0;
  // Guards stopping and inHook; a leaf, never held across the hook.
  foundation::Ranked<std::mutex, foundation::LockId::kUartReceiver> mutex;
  bool stopping ZOR_GUARDED_BY(mutex) = false;
  bool inHook ZOR_GUARDED_BY(mutex) = false;
  std::atomic<bool> finished{false};
  // Set once the first wait is armed: characters from then on reach the hook.
  std::promise<void> armed;
  // Whether armed is set; the receive thread's own, so it needs no lock.
  bool starterReleased = false;
};

void UartReceiver::State::Run() {
  QINT64 context = 0;
  HostInternalInquire(0, Q_ENTER_THREAD_CONTEXT, &context);
  // The loop cancels its wait as it ends; one left by an exception must not outlive it either.
  if (!ReportEscapes(kThreadFunctionName, [this] { Loop(); })) os::CancelIo(port);
  // A loop that ended before its first wait must still let Start go on.
  ReleaseStarter();
  HostInternalControl(0, Q_LEAVE_THREAD_CONTEXT, context);
  finished.store(true);
}

void UartReceiver::State::ReleaseStarter() {
  if (starterReleased) return;
  starterReleased = true;
  armed.set_value();
}

bool UartReceiver::State::Arm() {
  events = 0;
  return os::WaitCommEvent(port, &events, &wait) || os::GetLastError() == os::ERROR_IO_PENDING;
}

bool UartReceiver::State::CallHook() {
  {
    foundation::ScopedLock lock(mutex);
    if (stopping) return false;
    inHook = true;
  }
  try {
    hook->Call(kSerialHookType, 0);
  } catch (...) {
    // The user's function failed, not the port: the next characters reach it as usual.
    ReportHookException();
  }
  foundation::ScopedLock lock(mutex);
  inHook = false;
  return !stopping;
}

void UartReceiver::State::Loop() {
  // Set once: a new mask forgets the characters that arrived since the last wait, while the hook
  // ran, and the next wait would not see them.
  const bool masked = os::SetCommMask(port, os::EV_RXCHAR);
  for (bool first = true;; first = false) {
    const bool armed = masked && Arm();
    if (first) ReleaseStarter();
    const os::Handle objects[2] = {stop, wait.hEvent};
    const uint32_t woken = os::WaitForMultipleObjects(armed ? 2 : 1, objects, false, os::INFINITE);
    if (woken != os::WAIT_OBJECT_0 + 1) break;
    os::ResetEvent(wait.hEvent);
    if ((events & os::EV_RXCHAR) != 0 && !CallHook()) break;
  }
  os::CancelIo(port);
}

UartReceiver::~UartReceiver() {
  if (!state_) return;
  {
    foundation::ScopedLock lock(state_->mutex);
    state_->stopping = true;
  }
  os::SetEvent(state_->stop);
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool UartReceiver::Start(os::Handle port, std::shared_ptr<UartPortHook> hook) {
  auto state = std::make_shared<State>();
  state->port = port;
  state->hook = std::move(hook);
  state->stop = os::CreateEvent(true, false);
  state->wait.hEvent = os::CreateEvent(true, false);
  if (state->stop == os::kNullHandle || state->wait.hEvent == os::kNullHandle) return false;
  state_ = state;
  std::future<void> armed = state->armed.get_future();
  try {
    thread_ = std::thread([state] { state->Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  armed.wait();
  return true;
}

void UartReceiver::Stop() {
  if (!state_) return;
  bool inHook = false;
  {
    foundation::ScopedLock lock(state_->mutex);
    state_->stopping = true;
    inHook = state_->inHook;
  }
  os::SetEvent(state_->stop);
  if (!inHook && thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

bool UartReceiver::Finished() const { return !thread_.joinable() || state_->finished.load(); }

}  // namespace zor::frame
