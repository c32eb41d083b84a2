// Objects a thread can wait on. All of them change state under one lock, so
// a wait on several objects sees and takes them at one moment.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/os/core/object.h"

namespace os::detail {

struct Waiter {
  std::condition_variable wake;
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
