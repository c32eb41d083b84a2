// Systems looked up by the commands of many threads without a shared lock,
// and freed systems kept until no command uses them any more.
#include <algorithm>

#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/pinfence.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"

namespace zor::frame {

SystemRef::~SystemRef() {
  if (pin_ == nullptr) return;
  pin_->store(nullptr, std::memory_order_release);
  driver_->ReclaimRetiredSystems();
}

SystemRef QDDeviceDriver::PinSystem(int64_t index, QDDriverThreadContext& ctx) {
  std::atomic<const void*>* pin = ctx.FreePinSlot();
  if (pin == nullptr || !QDInfoList<QDBaseSystem>::CanPeek(index)) {
    return SystemRef(systems_.GetAt(index));
  }
  // Published before it is checked again: a free that took the entry out
  // after this check sees the pin and keeps the system.
  for (;;) {
    QDBaseSystem* system = systems_.Peek(index);
    if (system == nullptr) return SystemRef();
    StorePin(*pin, system);
    if (systems_.Peek(index) == system) return SystemRef(*this, system, pin);
    pin->store(nullptr, std::memory_order_release);
  }
}

void QDDeviceDriver::RetireSystem(std::shared_ptr<QDBaseSystem> system) {
  if (system == nullptr) return;
  {
    foundation::ScopedLock lock(GlobalDriverLock());
    retired_.push_back(std::move(system));
    retiredCount_.fetch_add(1, std::memory_order_seq_cst);
  }
  // The system left the list before this: a command that pins it from here on sees it gone.
  FenceBeforePinScan();
  ReclaimRetiredSystems();
}

void QDDeviceDriver::ReclaimRetiredSystems() {
  if (retiredCount_.load(std::memory_order_seq_cst) == 0) return;
  std::vector<std::shared_ptr<QDBaseSystem>> unused;
  {
    foundation::ScopedLock lock(GlobalDriverLock());
    const auto pinned = [this](const std::shared_ptr<QDBaseSystem>& system) ZOR_REQUIRES(
                            GlobalDriverLock()) {
      return std::any_of(threadContexts_.begin(), threadContexts_.end(),
                         [&system](const auto& entry) { return entry.second->Pins(system.get()); });
    };
    const auto firstUnused = std::stable_partition(retired_.begin(), retired_.end(), pinned);
    std::move(firstUnused, retired_.end(), std::back_inserter(unused));
    retired_.erase(firstUnused, retired_.end());
    retiredCount_.store(retired_.size(), std::memory_order_seq_cst);
  }
  // Deleted outside the lock: a system's destructor may call into the host.
}

}  // namespace zor::frame
