// CQueuedLock: hand-over from each holder to the next waiter through per-waiter events.
#include "driver/foundation/queuedlock.h"

#include "platform/os/core/handle.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace zor::foundation {

namespace {

constexpr uintptr_t kSignalled = ~uintptr_t{0};

// Waits until the other side signals the slot: unless it already has, parks an automatic-reset
// event there and sleeps on it.
void WaitForSlot(std::atomic<uintptr_t>& slot) {
  if (slot.load(std::memory_order_acquire) != 0) return;
  const os::Handle event = os::CreateEvent(false, false);
  uintptr_t expected = 0;
  if (slot.compare_exchange_strong(expected, static_cast<uintptr_t>(event),
                                   std::memory_order_acq_rel)) {
    os::WaitForSingleObject(event, os::INFINITE);
  }
  os::CloseHandle(event);
}

// Signals the slot; wakes the waiter when it has parked an event there.
void SignalSlot(std::atomic<uintptr_t>& slot) {
  uintptr_t expected = 0;
  if (!slot.compare_exchange_strong(expected, kSignalled, std::memory_order_acq_rel)) {
    os::SetEvent(static_cast<os::Handle>(expected));
  }
}

}  // namespace

void CQueuedLock::Acquire(Node& node) {
  Node* predecessor = tail_.exchange(&node, std::memory_order_acq_rel);
  if (predecessor == nullptr) return;
  predecessor->next.store(&node, std::memory_order_release);
  SignalSlot(predecessor->link);
  WaitForSlot(node.wake);
}

void CQueuedLock::Release(Node& node) {
  Node* self = &node;
  if (tail_.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel)) return;
  // A successor has swapped itself in and is linking itself to this node.
  WaitForSlot(node.link);
  SignalSlot(node.next.load(std::memory_order_acquire)->wake);
}

}  // namespace zor::foundation
