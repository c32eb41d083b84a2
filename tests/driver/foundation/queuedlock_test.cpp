#include "driver/foundation/queuedlock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(QueuedLock, ExcludesAndHandsOverWithoutLosingAWaiter) {
  CQueuedLock lock;
  int64_t counter = 0;  // deliberately not atomic: the lock alone protects it
  constexpr int kThreads = 6;
  constexpr int kRounds = 5000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        const CQueuedLockGuard guard(lock);
        const int64_t seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, int64_t{kThreads} * kRounds);
}
