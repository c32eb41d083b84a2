#pragma once

#include <mutex>

namespace GenICam {

// Re-entrant lock guarding one node map.
class CLock {
 public:
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  bool TryLock() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
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
