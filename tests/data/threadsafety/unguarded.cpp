// A fixture for scripts/check-thread-safety.sh: a guarded member written without its lock.
#include "driver/foundation/mutex.h"

namespace {

class Counter {
 public:
  void Add() { ++count_; }

 private:
  zor::foundation::Mutex lock_;
  int count_ ZOR_GUARDED_BY(lock_) = 0;
};

}  // namespace

void CountOnce() { Counter().Add(); }
