#include "driver/firmware/busywaittimer.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace zor::firmware;

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

TEST(BusyWaitTimer, WaitsAreMinimumTimes) {
  CBusyWaitTimer& timer = ProcessBusyWaitTimer();
  ASSERT_GT(CBusyWaitTimer::TicksPerSecond(), 0);
  Clock::time_point start = Clock::now();
  timer.WaitMicroseconds(999);
  EXPECT_GE(MicrosecondsSince(start), 999 * 0.99);
  start = Clock::now();
  timer.WaitMilliseconds(1.5);
  EXPECT_GE(MicrosecondsSince(start), 1500 * 0.99);
  start = Clock::now();
  timer.WaitNanoseconds(200000);
  EXPECT_GE(MicrosecondsSince(start), 200 * 0.99);
  start = Clock::now();
  timer.WaitMicroseconds(-5);  // nothing to wait for
  EXPECT_LT(MicrosecondsSince(start), 100000);
}

TEST(BusyWaitTimer, DeadlinesAndElapsedTime) {
  CBusyWaitTimer timer;
  timer.SetDeadlineMicroseconds(300);
  EXPECT_FALSE(timer.DeadlinePassed());
  timer.Start();
  while (!timer.DeadlinePassed()) {
  }
  EXPECT_GT(timer.ElapsedMicroseconds(), 0);
  EXPECT_NEAR(timer.ElapsedMilliseconds(), timer.ElapsedMicroseconds() / 1000, 0.05);
  EXPECT_LT(timer.Elapsed(), 1.0);
  timer.SetDeadlineMilliseconds(300);  // a new deadline once the last has passed
  EXPECT_FALSE(timer.DeadlinePassed());
}

}  // namespace
