#include "driver/foundation/queuedlock.h"

#include <thread>

#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

CQueuedLock::Node::Node() : event(os::CreateEvent(false, false)) {}

CQueuedLock::Node::~Node() { os::CloseHandle(event); }

void CQueuedLock::Acquire(Node& node) {
  node.next.store(nullptr);
  Node* predecessor = tail_.exchange(&node);
  if (predecessor == nullptr) return;
  predecessor->next.store(&node);
  os::WaitForSingleObject(node.event, os::INFINITE);
}

void CQueuedLock::Release(Node& node) {
  Node* self = &node;
  if (tail_.compare_exchange_strong(self, nullptr)) return;
  // A successor has taken the tail; wait until it has linked itself in.
  Node* successor = node.next.load();
  while (successor == nullptr) {
    std::this_thread::yield();
    successor = node.next.load();
  }
  os::SetEvent(successor->event);
}
