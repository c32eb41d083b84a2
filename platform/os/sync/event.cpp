#include "platform/os/sync/event.h"

#include "platform/os/sync/waitable.h"

namespace os::detail {
namespace {

class Event : public Waitable {
 public:
  static constexpr Kind kKind = Kind::kEvent;
  Event(bool manualReset, bool signalled)
      : Waitable(kKind), manualReset_(manualReset), signalled_(signalled) {}

  bool IsSignalled(uint32_t) override { return signalled_; }
  bool Take(uint32_t) override {
    if (!manualReset_) signalled_ = false;
    return false;
  }
  void Set(bool signalled) {
    signalled_ = signalled;
    if (signalled) WakeWaiters();
  }

 private:
  const bool manualReset_;
  bool signalled_;
};

bool SetState(Handle handle, bool signalled) {
  std::shared_ptr<Event> event = Lookup<Event>(handle);
  if (event == nullptr) return false;
  SyncLock lock;
  event->Set(signalled);
  return true;
}

}  // namespace
}  // namespace os::detail

namespace os {

Handle CreateEvent(bool manualReset, bool initialState) {
  return detail::InsertHandle(std::make_shared<detail::Event>(manualReset, initialState));
}

bool SetEvent(Handle event) { return detail::SetState(event, true); }

bool ResetEvent(Handle event) { return detail::SetState(event, false); }

}  // namespace os
