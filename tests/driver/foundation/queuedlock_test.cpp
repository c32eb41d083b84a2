#include "driver/foundation/queuedlock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "driver/foundation/mutex.h"

using namespace zor::foundation;

// Threads that start together and hand the lock on thousands of times: nobody holds it
// beside another, no increment is lost and no waiter is left asleep.
TEST(QueuedLock, ExcludesAndHandsOverWithoutLosingAWaiter) {
  CQueuedLock lock;
  int64_t counter = 0;  // deliberately not atomic: the lock alone protects it
  int holders = 0;
  bool overlapped = false;
  constexpr int kThreads = 8;
  constexpr int kRounds = 2500;
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) {
        const CQueuedLockGuard guard(lock);
        overlapped |= ++holders != 1;
        const int64_t seen = counter;
        if (i % 2 == 0) std::this_thread::yield();  // waiters queue up and must sleep
        counter = seen + 1;
        --holders;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, int64_t{kThreads} * kRounds);
  EXPECT_FALSE(overlapped);
}

namespace {

// Whether another thread may take the lock now.
bool Free(Mutex& mutex) {
  bool taken = false;
  std::thread([&] {
    if (mutex.try_lock()) {
      taken = true;
      mutex.unlock();
    }
  }).join();
  return taken;
}

}  // namespace

// Each guard holds the lock for its scope; a unique one leaves it and takes it again within.
TEST(Mutex, GuardsHoldAndLeaveTheLock) {
  Mutex mutex;
  {
    UniqueLock<Mutex> lock(mutex);
    EXPECT_FALSE(Free(mutex));
    lock.unlock();
    EXPECT_TRUE(Free(mutex));
    lock.lock();
    EXPECT_FALSE(Free(mutex));
    lock.unlock();  // left for good: the end of the scope must not leave it again
  }
  {
    const ScopedLock<Mutex> lock(mutex);
    EXPECT_FALSE(Free(mutex));
  }
  EXPECT_TRUE(Free(mutex));
}
