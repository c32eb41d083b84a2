// CQueuedLock: a first-come first-served lock whose waiters sleep on events.
#pragma once

#include <atomic>
#include <cstdint>

#include "driver/foundation/threadsafety.h"

namespace zor::foundation {

// A lock that serves waiters in arrival order from one atomic tail pointer. Waiters spin on
// nothing: each sleeps on an automatic-reset event that it creates only when it must wait.
class ZOR_CAPABILITY("queued lock") CQueuedLock {
 public:
  CQueuedLock() = default;
  CQueuedLock(const CQueuedLock&) = delete;
  CQueuedLock& operator=(const CQueuedLock&) = delete;

  // One waiter's place in the queue; lives on its stack while it holds or waits.
  struct Node {
    std::atomic<Node*> next{nullptr};
    std::atomic<uintptr_t> wake{0};  // 0, signalled, or the event its owner sleeps on
    std::atomic<uintptr_t> link{0};  // 0, signalled, or the event the holder sleeps on
  };

  void Acquire(Node& node) ZOR_ACQUIRE();
  void Release(Node& node) ZOR_RELEASE();

 private:
  std::atomic<Node*> tail_{nullptr};
};

// Holds a CQueuedLock (or a ranked one, lockorder.h) for a scope, also when the scope is left by
// an exception.
template <typename Lock>
class ZOR_SCOPED_CAPABILITY CQueuedLockGuard {
 public:
  explicit CQueuedLockGuard(Lock& lock) ZOR_ACQUIRE(lock) : lock_(lock) { lock_.Acquire(node_); }
  ~CQueuedLockGuard() ZOR_RELEASE() { lock_.Release(node_); }
  CQueuedLockGuard(const CQueuedLockGuard&) = delete;
  CQueuedLockGuard& operator=(const CQueuedLockGuard&) = delete;

 private:
  Lock& lock_;
  CQueuedLock::Node node_;
};

}  // namespace zor::foundation
