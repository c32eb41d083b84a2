// The fault table is armed by a test's thread while the board's requests take from it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/boardsim/faults.h"

namespace {

TEST(FaultTable, ArmedWhileRequestsTakeFromIt) {
  boardsim::FaultTable table;
  constexpr uint32_t kFunctions = 8;
  constexpr int kTakes = 1000;
  std::atomic<bool> done{false};
  std::atomic<int> taken{0};
  std::thread requests([&] {
    for (bool last = false; !last;) {
      last = done.load();
      for (uint32_t function = 0; function < kFunctions; ++function) {
        if (table.Take(function).has_value()) taken.fetch_add(1);
      }
    }
  });
  // Arming goes on until the requests have taken many faults: the two meet in the table.
  int armed = 0;
  for (; taken.load() < kTakes; ++armed) table.Arm(static_cast<uint32_t>(armed) % kFunctions, {});
  done.store(true);
  requests.join();
  // Each fault fires once at most, and none is left once every function was asked after the
  // last was armed.
  EXPECT_LE(taken.load(), armed);
  for (uint32_t function = 0; function < kFunctions; ++function) {
    EXPECT_FALSE(table.Take(function).has_value()) << function;
  }
}

}  // namespace
