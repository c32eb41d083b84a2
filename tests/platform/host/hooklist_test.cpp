#include "platform/host/hooklist.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace zorhost {

// Stands in for the host's report of a hook that threw: the list is linked here alone.
int reportedFailures = 0;
void ReportHandedFailure() noexcept { ++reportedFailures; }

namespace {

constexpr QINT64 kType = 21;
constexpr QINT64 kOtherType = 22;

// What a hook does when called: notes its name, then may change the list it runs from.
struct Recorder {
  HookList* list = nullptr;
  std::string calls;
};

struct Named {
  Recorder* recorder;
  char name;
  QHOOK_FUNCTION addOnCall = nullptr;  // added by this hook when it runs
  void* addUser = nullptr;
  QHOOK_FUNCTION removeOnCall = nullptr;  // removed by this hook when it runs
  void* removeUser = nullptr;
  bool throws = false;  // throws its name once done
};

QINT64 Note(QINT64, QID, void* user) {
  auto* named = static_cast<Named*>(user);
  named->recorder->calls += named->name;
  if (named->addOnCall != nullptr) {
    named->recorder->list->Apply(kType, named->addOnCall, named->addUser);
  }
  if (named->removeOnCall != nullptr) {
    named->recorder->list->Apply(kType | Q_UNHOOK, named->removeOnCall, named->removeUser);
  }
  if (named->throws) throw named->name;
  return 0;
}

TEST(HookList, CallsTheTypesHooksInOrderAndFollowsChangesMadeDuringTheCall) {
  HookList list;
  Recorder recorder{&list, {}};
  Named a{&recorder, 'a'}, b{&recorder, 'b'}, c{&recorder, 'c'}, late{&recorder, 'l'};
  Named other{&recorder, 'o'};
  ASSERT_TRUE(list.Apply(kType, &Note, &a));
  ASSERT_TRUE(list.Apply(kOtherType, &Note, &other));
  ASSERT_TRUE(list.Apply(kType, &Note, &b));
  ASSERT_TRUE(list.Apply(kType, &Note, &c));
  // The names of the hooks that one call of the type ran, in their order.
  const auto call = [&] {
    recorder.calls.clear();
    list.Call(kType, 0, 0);
    return recorder.calls;
  };
  EXPECT_EQ(call(), "abc");

  // a adds a hook (not called until the next call) and removes c before its turn.
  a.addOnCall = &Note;
  a.addUser = &late;
  a.removeOnCall = &Note;
  a.removeUser = &c;
  EXPECT_EQ(call(), "ab");
  a.addOnCall = nullptr;
  a.removeOnCall = nullptr;
  EXPECT_EQ(call(), "abl");

  // A hook that removes itself is not waited for, and the hooks after it still run.
  b.removeOnCall = &Note;
  b.removeUser = &b;
  EXPECT_EQ(call(), "abl");
  EXPECT_EQ(call(), "al");
  EXPECT_FALSE(list.Apply(kType | Q_UNHOOK, &Note, &b));
  EXPECT_TRUE(list.Has(kOtherType));

  // A hook that throws is reported, the hooks after it still run, and it can be removed.
  a.throws = true;
  EXPECT_EQ(call(), "al");
  EXPECT_EQ(reportedFailures, 1);
  EXPECT_TRUE(list.Apply(kType | Q_UNHOOK, &Note, &a));
}

// The user data of a hook that a removal may free as soon as the removal returns.
struct Guarded {
  std::atomic<bool> entered{false};
  std::atomic<bool> freed{false};
  std::atomic<int> badCalls{0};
  std::atomic<int64_t> calls{0};
};

QINT64 UseGuarded(QINT64, QID, void* user) {
  auto* guarded = static_cast<Guarded*>(user);
  guarded->entered = true;
  // Long enough inside for a removal that does not wait to be seen.
  for (int i = 0; i < 2000; ++i) {
    if (guarded->freed.load()) {
      ++guarded->badCalls;
      break;
    }
  }
  ++guarded->calls;
  return 0;
}

TEST(HookList, ARemovalReturnsOnlyOnceNoOtherThreadIsInsideTheHook) {
  HookList list;
  Guarded kept;
  ASSERT_TRUE(list.Apply(kType, &UseGuarded, &kept));
  std::atomic<bool> done{false};
  std::thread caller([&] {
    while (!done.load()) list.Call(kType, 0, 0);
  });
  for (int round = 0; round < 500; ++round) {
    Guarded passing;
    ASSERT_TRUE(list.Apply(kType, &UseGuarded, &passing));
    while (!passing.entered.load()) std::this_thread::yield();
    ASSERT_TRUE(list.Apply(kType | Q_UNHOOK, &UseGuarded, &passing));
    // From here the caller must not be inside the hook with this data.
    passing.freed = true;
    const int64_t seen = kept.calls.load();
    while (kept.calls.load() < seen + 2) std::this_thread::yield();
    EXPECT_EQ(passing.badCalls.load(), 0);
  }
  done = true;
  caller.join();
  EXPECT_GT(kept.calls.load(), 0);
  EXPECT_EQ(kept.badCalls.load(), 0);
}

}  // namespace
}  // namespace zorhost
