// Single elements and the digitizer's hook set.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "driver/frameworkuser/hooks/digitizerhookset.h"

using namespace zor::frame;

namespace {

struct Call {
  QINT64 type = 0;
  QID event = 0;
  void* user = nullptr;
  bool operator==(const Call&) const = default;
};
Call g_call;

QINT64 Remember(QINT64 type, QID event, void* user) {
  g_call = {type, event, user};
  return 7;
}

TEST(SingleHook, CallsTheFunctionWithItsOwnUserDataOrNothing) {
  CSingleHook element(13);
  int mine = 0, threads = 0;
  g_call = {};
  EXPECT_EQ(element.Invoke(nullptr, 5, {nullptr}), 0);
  EXPECT_EQ(g_call, Call{});
  element.Set(&Remember, &mine);
  EXPECT_EQ(element.Invoke(&threads, 0x100123, {nullptr}), 7);
  EXPECT_EQ(g_call, (Call{13, 0x100123, &mine}));
  g_call = {};
  element.Set(nullptr, nullptr);
  EXPECT_EQ(element.Invoke(&threads, 1, {nullptr}), 0);
  EXPECT_EQ(g_call, Call{});
}

// An application hooks and unhooks while the board's thread calls the hook: every call goes
// to a function with its own user data, never to one with the other's.
TEST(SingleHook, SetWhileAnotherThreadCallsIt) {
  CSingleHook element(4);
  static int first = 1, second = 2;
  struct Check {
    static QINT64 First(QINT64, QID, void* user) { return user == &first ? 1 : -1; }
    static QINT64 Second(QINT64, QID, void* user) { return user == &second ? 2 : -1; }
  };
  std::atomic<bool> stop{false};
  std::thread caller([&] {
    int mismatches = 0;
    while (!stop.load()) mismatches += element.Invoke(nullptr, 1, {nullptr}) < 0;
    EXPECT_EQ(mismatches, 0);
  });
  for (int i = 0; i < 2000; ++i) {
    if (i % 2 == 0) {
      element.Set(&Check::First, &first);
    } else {
      element.Set(&Check::Second, &second);
    }
  }
  stop.store(true);
  caller.join();
}

TEST(DigitizerHookSet, ElementsFollowTheBoardOrderAndCopyOneByOne) {
  DigitizerHookSet set;
  const int64_t expected[] = {4, 3, 13, 5, 14, 15, 16, 20, 21, 22, 8, 6, 7, 5315, 9, 5300};
  for (size_t n = 1; n <= 16; ++n) {
    ASSERT_NE(set.Single(n), nullptr);
    EXPECT_EQ(set.Single(n)->HookType(), expected[n - 1]);
    EXPECT_EQ(set.ForHookType(expected[n - 1]), set.Single(n));
    EXPECT_EQ(set.Single(n)->Function(), nullptr);
  }
  EXPECT_EQ(set.Single(0), nullptr);
  EXPECT_EQ(set.Single(17), nullptr);
  EXPECT_EQ(set.ForHookType(26), nullptr);
  EXPECT_EQ(set.GrabLine().HookType(), 0x100000);
  EXPECT_EQ(set.GrabLineEnd().HookType(), 0x200000);

  // Every element is copied, each with its own data; the copy's own elements change too.
  int users[16] = {};
  for (size_t n = 1; n <= 16; ++n) set.Single(n)->Set(&Remember, &users[n - 1]);
  DigitizerHookSet copy;
  copy.Single(3)->Set(nullptr, &users[0]);
  copy = set;
  for (size_t n = 1; n <= 16; ++n) {
    EXPECT_EQ(copy.Single(n)->Function(), &Remember) << n;
    EXPECT_EQ(copy.Single(n)->UserData(), &users[n - 1]) << n;
    EXPECT_EQ(copy.Single(n)->HookType(), expected[n - 1]) << n;
  }
  EXPECT_EQ(copy.GrabLine().Invoke(nullptr, 0, {nullptr}), 0);
}

}  // namespace
