// The fault table is armed by a test's thread while the board's requests take from it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/boardsim/faults.h"

namespace {

TEST(FaultTable, ArmedWhileRequestsTakeEachFaultFiresOnce) {
  boardsim::FaultTable table;
  constexpr uint32_t kFunctions = 8;
  constexpr int kRounds = 2000;
  std::atomic<bool> armed{false};
  std::atomic<int> taken{0};
  std::thread requests([&] {
    while (!armed.load() || taken.load() < kRounds) {
      for (uint32_t function = 0; function < kFunctions; ++function) {
        if (table.Take(function).has_value()) taken.fetch_add(1);
      }
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    // One fault at a time: the next is armed once the last has fired.
    const int before = taken.load();
    table.Arm(static_cast<uint32_t>(i) % kFunctions, boardsim::Fault{});
    armed.store(true);
    while (taken.load() == before) std::this_thread::yield();
  }
  requests.join();
  EXPECT_EQ(taken.load(), kRounds);
  EXPECT_FALSE(table.Take(0).has_value());
}

}  // namespace
