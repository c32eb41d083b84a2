#include "driver/firmware/busywaittimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <utility>

using namespace zor::firmware;

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Each unit's wait lasts at least its time, and far less than the time read in the next unit.
TEST(BusyWaitTimer, WaitsAreMinimumTimes) {
  CBusyWaitTimer& timer = ProcessBusyWaitTimer();
  ASSERT_GT(CBusyWaitTimer::TicksPerSecond(), 0);
  const std::pair<std::function<void()>, double> waits[] = {
      {[&] { timer.WaitSeconds(0.002); }, 2000},
      {[&] { timer.WaitMilliseconds(1.5); }, 1500},
      {[&] { timer.WaitMicroseconds(999); }, 999},
      {[&] { timer.WaitNanoseconds(200000); }, 200},
      {[&] { timer.WaitMicroseconds(-5); }, 0}};  // nothing to wait for
  for (const auto& [wait, microseconds] : waits) {
    const Clock::time_point start = Clock::now();
    wait();
    EXPECT_GE(MicrosecondsSince(start), microseconds * 0.99);
    EXPECT_LT(MicrosecondsSince(start), microseconds * 200 + 20000) << microseconds;
  }
}

TEST(BusyWaitTimer, DeadlinesAndElapsedTime) {
  CBusyWaitTimer timer;
  timer.Start();
  timer.SetDeadlineMicroseconds(300);
  EXPECT_FALSE(timer.DeadlinePassed());
  while (!timer.DeadlinePassed()) {
  }
  // Each unit's reading lies past the deadline and before the next, later reading.
  const double nanoseconds = timer.ElapsedNanoseconds();
  EXPECT_GT(nanoseconds, 300 * 0.99 * 1000);
  EXPECT_LE(nanoseconds / 1000, timer.ElapsedMicroseconds());
  EXPECT_NEAR(timer.ElapsedMilliseconds(), timer.ElapsedMicroseconds() / 1000, 0.05);
  EXPECT_LT(timer.Elapsed(), 1.0);
  timer.SetDeadlineMilliseconds(300);  // a new deadline once the last has passed
  EXPECT_FALSE(timer.DeadlinePassed());
  timer.SetDeadlineSeconds(0.3);
  EXPECT_FALSE(timer.DeadlinePassed());
}

}  // namespace
