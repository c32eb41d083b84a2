// A queue lock whose waiters sleep on events they make only when they must
// wait; its whole state is one process-wide word holding the last waiter.
#pragma once

#include <atomic>
#include <cstdint>

namespace zor::frame {

class QueuedLock {
 public:
  QueuedLock() = default;
  QueuedLock(const QueuedLock&) = delete;
  QueuedLock& operator=(const QueuedLock&) = delete;

  // One waiter's place in the queue; lives on its stack while it holds or waits.
  struct Node {
    std::atomic<Node*> next{nullptr};
    std::atomic<uintptr_t> wake{0};  // 0, kSignalled or an event
    std::atomic<uintptr_t> link{0};  // 0, kSignalled or an event
  };

  void Acquire(Node& node);
  void Release(Node& node);

 private:
  std::atomic<Node*> tail_{nullptr};
};

// Holds the lock for a scope, also when the scope is left by an exception.
class QueuedLockGuard {
 public:
  explicit QueuedLockGuard(QueuedLock& lock) : lock_(lock) { lock_.Acquire(node_); }
  ~QueuedLockGuard() { lock_.Release(node_); }
  QueuedLockGuard(const QueuedLockGuard&) = delete;
  QueuedLockGuard& operator=(const QueuedLockGuard&) = delete;

 private:
  QueuedLock& lock_;
  QueuedLock::Node node_;
};

}  // namespace zor::frame
