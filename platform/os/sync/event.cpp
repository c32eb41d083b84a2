#include "platform/os/sync/event.h"

#include <atomic>

#include "platform/os/sync/event_signal.h"
#include "platform/os/sync/waitable.h"

namespace os::detail {
namespace {

class Event : public Waitable {
 public:
  static constexpr Kind kKind = Kind::kEvent;
  Event(bool manualReset, bool signalled)
      : Waitable(kKind), manualReset_(manualReset), signalled_(signalled) {}

  bool IsSignalled(uint32_t) override { return signalled_.load(std::memory_order_relaxed); }
  bool Take(uint32_t) override {
    if (!manualReset_) signalled_.store(false, std::memory_order_relaxed);
    return false;
  }
  void Set(bool signalled) {
    signalled_.store(signalled, std::memory_order_relaxed);
    if (!signalled) return;
    // A manual-reset event releases every thread that waits on it now, even if it is reset
    // before they wake; an automatic one is taken by the first that looks.
    if (manualReset_) {
      ReleaseWaiters();
    } else {
      WakeWaiters();
    }
  }
  // Outside SyncMutex(): a hint that may be stale by the time it is used.
  bool SignalledNow() const { return signalled_.load(std::memory_order_relaxed); }

 private:
  const bool manualReset_;
  // Changed under SyncMutex() only.
  std::atomic<bool> signalled_;
};

bool SetState(Handle handle, bool signalled) {
  std::shared_ptr<Event> event = Lookup<Event>(handle);
  if (event == nullptr) return false;
  SyncLock lock;
  event->Set(signalled);
  return true;
}

}  // namespace

bool SignalEvent(Handle handle) {
  std::shared_ptr<Event> event = Lookup<Event>(handle);
  if (event == nullptr) return false;
  if (event->SignalledNow()) return true;
  SyncLock lock;
  event->Set(true);
  return true;
}

}  // namespace os::detail

namespace os {

Handle CreateEvent(bool manualReset, bool initialState) {
  return detail::InsertHandle(std::make_shared<detail::Event>(manualReset, initialState));
}

bool SetEvent(Handle event) { return detail::SetState(event, true); }

bool ResetEvent(Handle event) { return detail::SetState(event, false); }

}  // namespace os
