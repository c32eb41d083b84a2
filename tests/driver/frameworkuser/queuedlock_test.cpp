// The queued lock that guards the driver's creation.
#include "driver/frameworkuser/driver/queuedlock.h"

#include <gtest/gtest.h>

#include "tests/driver/frameworkuser/support/threadhelpers.h"

namespace zor::frame {
namespace {

TEST(QueuedLockTest, ContendedHoldersNeitherOverlapNorHang) {
  QueuedLock lock;
  int64_t counter = 0;
  int holders = 0;
  bool overlapped = false;
  RunTogether(8, [&](int) {
    for (int i = 0; i < 2000; ++i) {
      QueuedLockGuard guard(lock);
      overlapped |= ++holders != 1;
      ++counter;
      --holders;
    }
  });
  EXPECT_EQ(counter, 8 * 2000);
  EXPECT_FALSE(overlapped);
}

}  // namespace
}  // namespace zor::frame
