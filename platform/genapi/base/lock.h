#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace GenICam {

#if defined(ZOR_LOCK_ORDER_CHECKS)
// Test builds let a lock-order checker follow the node maps' locks: it hears when a thread is
// about to wait for one, when it holds it and when it has left it (outermost only).
struct LockWatch {
  void (*taking)(const void* lock);
  void (*took)(const void* lock);
  void (*left)(const void* lock);
};
inline std::atomic<const LockWatch*> g_lockWatch{nullptr};
// The watch lives as long as the process.
inline void WatchLocks(const LockWatch* watch) {
  g_lockWatch.store(watch, std::memory_order_release);
}
#define ZOR_GENICAM_WATCH(event, lock)                                          \
  do {                                                                          \
    if (const LockWatch* watch = g_lockWatch.load(std::memory_order_acquire)) { \
      watch->event(lock);                                                       \
    }                                                                           \
  } while (false)
#else
#define ZOR_GENICAM_WATCH(event, lock) \
  do {                                 \
  } while (false)
#endif

// Re-entrant lock guarding one node map. One value access takes it many
// times over on the same thread, so re-entry is a plain count.
class CLock {
 public:
  void Lock() {
    const std::thread::id self = std::this_thread::get_id();
    // Only this thread can have stored its own id here.
    if (owner_.load(std::memory_order_relaxed) == self) {
      ++count_;
      return;
    }
    ZOR_GENICAM_WATCH(taking, this);
    mutex_.lock();
    owner_.store(self, std::memory_order_relaxed);
    count_ = 1;
    ZOR_GENICAM_WATCH(took, this);
  }
  void Unlock() {
    if (--count_ > 0) return;
    ZOR_GENICAM_WATCH(left, this);
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }
  bool TryLock() {
    const std::thread::id self = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
      ++count_;
      return true;
    }
    if (!mutex_.try_lock()) return false;
    owner_.store(self, std::memory_order_relaxed);
    count_ = 1;
    ZOR_GENICAM_WATCH(took, this);
    return true;
  }

 private:
  std::mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  int count_ = 0;
};

class AutoLock {
 public:
  explicit AutoLock(CLock& lock) : lock_(lock) { lock_.Lock(); }
  ~AutoLock() { lock_.Unlock(); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;

 private:
  CLock& lock_;
};

}  // namespace GenICam

#undef ZOR_GENICAM_WATCH
