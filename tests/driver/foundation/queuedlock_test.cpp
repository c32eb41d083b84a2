#include "driver/foundation/queuedlock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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
