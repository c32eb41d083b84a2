// The driver's plain lock, std::mutex as clang's thread-safety analysis sees it, and the guards
// that hold it (or any other lock of the driver) for a scope.
#pragma once

#include <mutex>

#include "driver/foundation/threadsafety.h"

namespace zor::foundation {

class ZOR_CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() ZOR_ACQUIRE() ZOR_NO_THREAD_SAFETY_ANALYSIS { mutex_.lock(); }
  void unlock() ZOR_RELEASE() ZOR_NO_THREAD_SAFETY_ANALYSIS { mutex_.unlock(); }
  bool try_lock() ZOR_TRY_ACQUIRE(true) ZOR_NO_THREAD_SAFETY_ANALYSIS { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

// Holds a lock from its construction to the end of the scope.
template <typename Lock>
class ZOR_SCOPED_CAPABILITY ScopedLock {
 public:
  explicit ScopedLock(Lock& lock) ZOR_ACQUIRE(lock) : lock_(lock) { lock_.lock(); }
  // Takes over a lock the thread holds already.
  ScopedLock(Lock& lock, std::adopt_lock_t) ZOR_REQUIRES(lock) : lock_(lock) {}
  ~ScopedLock() ZOR_RELEASE() { lock_.unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lock& lock_;
};

// Holds a lock for a scope and may leave it and take it again within it (around a wait, a call
// that must run unlocked); the analysis follows each lock() and unlock().
template <typename Lock>
class ZOR_SCOPED_CAPABILITY UniqueLock {
 public:
  explicit UniqueLock(Lock& lock) ZOR_ACQUIRE(lock) : lock_(&lock) { lock_->lock(); }
  ~UniqueLock() ZOR_RELEASE() {
    if (owns_) lock_->unlock();
  }
  UniqueLock(const UniqueLock&) = delete;
  UniqueLock& operator=(const UniqueLock&) = delete;

  void lock() ZOR_ACQUIRE() {
    lock_->lock();
    owns_ = true;
  }
  void unlock() ZOR_RELEASE() {
    owns_ = false;
    lock_->unlock();
  }
  Lock* mutex() const { return lock_; }

 private:
  Lock* lock_;
  bool owns_ = true;
};

}  // namespace zor::foundation
