// Objects a thread can wait on. All of them change state under one lock, so
// a wait on several objects sees and takes them at one moment.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/os/core/object.h"

namespace os::detail {

// A waiting thread, woken by a count that moves. Unlike a condition variable it
// takes no lock on waking, and a wake finds it asleep only through one flag: a
// wake-up costs one system call for the waker and none for the woken thread.
class Waiter {
 public:
  // Read under SyncMutex() before it is released for Sleep: a change after that moves the count.
  uint32_t Count() const { return wakes_.load(std::memory_order_acquire); }
  // Until the count moves from seen or the deadline passes (time_point::max(): no deadline);
  // may return early.
  void Sleep(uint32_t seen, std::chrono::steady_clock::time_point deadline);
  void Wake();

  // Under SyncMutex(): the manual-reset event whose setting released the wait, which then ends
  // even if the event is reset before the thread wakes (as SetEvent releases its waiters).
  const void* ReleasedBy() const { return releasedBy_; }
  void Release(const void* object) {
    if (releasedBy_ == nullptr) releasedBy_ = object;
  }
  void ForgetRelease() { releasedBy_ = nullptr; }

 private:
  std::atomic<uint32_t> wakes_{0};
  std::atomic<bool> sleeping_{false};
  const void* releasedBy_ = nullptr;
};

class Waitable : public Object {
 public:
  using Object::Object;
  Waitable* AsWaitable() override { return this; }

  // The following run under SyncMutex().
  virtual bool IsSignalled(uint32_t threadId) = 0;
  // Takes the object for the thread (resets an automatic event, owns a
  // mutex); true when a mutex was abandoned by its previous owner.
  virtual bool Take(uint32_t threadId) = 0;
  // A check found the object signalled but the wait did not take it.
  virtual void Untaken() {}
  // State changed elsewhere than in this process: waits must look again now
  // and then instead of relying on wake-ups only.
  virtual bool NeedsPolling() const { return false; }

  void AddWaiter(const std::shared_ptr<Waiter>& waiter) { waiters_.push_back(waiter); }
  void RemoveWaiter(const std::shared_ptr<Waiter>& waiter) { std::erase(waiters_, waiter); }
  // The waiters are told when the SyncLock is released (see there).
  void WakeWaiters();
  // Marks every waiter released by this object, then wakes them.
  void ReleaseWaiters();

 private:
  std::vector<std::shared_ptr<Waiter>> waiters_;
};

std::mutex& SyncMutex();

// Holds SyncMutex(). The waiters that a change under it wakes are told after
// it is released, so that they do not wake only to wait for the lock.
class SyncLock {
 public:
  SyncLock();
  ~SyncLock();
  SyncLock(const SyncLock&) = delete;
  SyncLock& operator=(const SyncLock&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
};

// Gives up the mutexes the calling thread still owns, as abandoned; run when
// a thread ends, before its handle is signalled.
void AbandonOwnedMutexes();

}  // namespace os::detail
