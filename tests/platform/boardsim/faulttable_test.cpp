// The fault table is armed by a test's thread while the board's requests take from it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/boardsim/faults.h"

namespace {

TEST(FaultTable, ArmedWhileRequestsTakeFromIt) {
  boardsim::FaultTable table;
  constexpr uint32_t kFunctions = 8;
  constexpr int kRounds = 5000;
  std::atomic<bool> done{false};
  int taken = 0;
  std::thread requests([&] {
    for (bool last = false; !last;) {
      last = done.load();
      for (uint32_t function = 0; function < kFunctions; ++function) {
        taken += table.Take(function).has_value() ? 1 : 0;
      }
    }
  });
  for (int i = 0; i < kRounds; ++i) table.Arm(static_cast<uint32_t>(i) % kFunctions, {});
  done.store(true);
  requests.join();
  // Each fault fires once at most, and none is left once every function was asked after the
  // last was armed.
  EXPECT_GT(taken, 0);
  EXPECT_LE(taken, kRounds);
  for (uint32_t function = 0; function < kFunctions; ++function) {
    EXPECT_FALSE(table.Take(function).has_value()) << function;
  }
}

}  // namespace
