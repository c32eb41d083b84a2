// A fixture for scripts/check-thread-safety.sh: a member guarded by a ranked lock, written without
// it, in a build without the lock-order checks.
#include <mutex>

#include "driver/foundation/lockorder.h"

namespace {

class Counter {
 public:
  void Add() { ++count_; }

 private:
  zor::foundation::Ranked<std::mutex, zor::foundation::LockId::kGate> lock_;
  int count_ ZOR_GUARDED_BY(lock_) = 0;
};

}  // namespace

void CountOnce() { Counter().Add(); }
