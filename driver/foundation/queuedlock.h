#pragma once

#include <atomic>

#include "platform/os/core/handle.h"

// A lock that serves waiters in arrival order from one atomic tail pointer; each waiter
// sleeps on its own automatic-reset event until its predecessor hands the lock over.
class CQueuedLock {
 public:
  struct Node {
    Node();
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    std::atomic<Node*> next{nullptr};
    os::Handle event;
  };

  void Acquire(Node& node);
  void Release(Node& node);

 private:
  std::atomic<Node*> tail_{nullptr};
};

// Holds a CQueuedLock for a scope.
class CQueuedLockGuard {
 public:
  explicit CQueuedLockGuard(CQueuedLock& lock) : lock_(lock) { lock_.Acquire(node_); }
  ~CQueuedLockGuard() { lock_.Release(node_); }
  CQueuedLockGuard(const CQueuedLockGuard&) = delete;
  CQueuedLockGuard& operator=(const CQueuedLockGuard&) = delete;

 private:
  CQueuedLock& lock_;
  CQueuedLock::Node node_;
};
