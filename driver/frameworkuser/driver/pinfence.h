// Every command pins the system it uses; a system's free looks at the pins once. So the
// pinning side orders its pin before its second look at the list without a fence of its own,
// and a free first makes every running thread of the process pass a full fence (membarrier),
// where the kernel offers that; elsewhere the pin is a sequentially consistent store.
#pragma once

#include <atomic>

namespace zor::frame {

// Whether the process is registered for the freeing side's fence; registers on first use.
bool PinFencesAsymmetric();

// Publishes the pin so that it is ordered before the caller's next load.
inline void StorePin(std::atomic<const void*>& pin, const void* object) {
  if (PinFencesAsymmetric()) {
    pin.store(object, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
  } else {
    pin.store(object, std::memory_order_seq_cst);
  }
}

// Before a free reads the pins: every pin stored before now can be seen.
void FenceBeforePinScan();

}  // namespace zor::frame
