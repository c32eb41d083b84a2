#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace GenICam {

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
    mutex_.lock();
    owner_.store(self, std::memory_order_relaxed);
    count_ = 1;
  }
  void Unlock() {
    if (--count_ > 0) return;
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
