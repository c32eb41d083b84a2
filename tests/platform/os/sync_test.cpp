#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/sync/critical_section.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"
#include "platform/os/text/convert.h"
#include "tests/platform/os/refused.h"

extern char** environ;

namespace os {
namespace {

TEST(Events, AutomaticResetReleasesOneWaitManualResetStaysSet) {
  Handle automatic = CreateEvent(false, true);
  Handle manual = CreateEvent(true, true);
  std::vector<uint32_t> waits;
  for (Handle h : {automatic, automatic, manual, manual})
    waits.push_back(WaitForSingleObject(h, 0));
  ASSERT_TRUE(ResetEvent(manual));
  waits.push_back(WaitForSingleObject(manual, 10));
  EXPECT_EQ(waits, (std::vector<uint32_t>{WAIT_OBJECT_0, WAIT_TIMEOUT, WAIT_OBJECT_0, WAIT_OBJECT_0,
                                          WAIT_TIMEOUT}));
  for (Handle h : {automatic, manual}) CloseHandle(h);
}

// A manual-reset event set and reset at once still releases the threads that waited on it (a
// run's end signalled just before the next run resets it): they must not wait for ever.
TEST(Events, SetFromAnotherThreadWakesWaiter) {
  Handle manual = CreateEvent(true, false);
  Handle other = CreateEvent(true, false);
  std::atomic<uint32_t> single = WAIT_FAILED;
  std::atomic<uint32_t> any = WAIT_FAILED;
  std::thread singleWaiter([&] { single = WaitForSingleObject(manual, 20000); });
  std::thread anyWaiter([&] {
    const Handle both[2] = {other, manual};
    any = WaitForMultipleObjects(2, both, false, 20000);
  });
  Sleep(300);  // both are asleep by now
  SetEvent(manual);
  ResetEvent(manual);
  singleWaiter.join();
  anyWaiter.join();
  // A wait begun after the reset is not released by the earlier set.
  EXPECT_EQ(std::make_tuple(single.load(), any.load(), WaitForSingleObject(manual, 10)),
            std::make_tuple(WAIT_OBJECT_0, WAIT_OBJECT_0 + 1, uint32_t{WAIT_TIMEOUT}));
  for (Handle h : {manual, other}) CloseHandle(h);
}

TEST(Events, EachSetOfAnAutomaticEventReleasesExactlyOneWaiter) {
  Handle work = CreateEvent(false, false);
  Handle done = CreateEvent(false, false);
  Handle quit = CreateEvent(true, false);
  std::atomic<int> taken = 0;
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      Handle objects[2] = {quit, work};
      while (WaitForMultipleObjects(2, objects, false, 5000) == WAIT_OBJECT_0 + 1) {
        ++taken;
        SetEvent(done);
      }
    });
  }
  constexpr int kRounds = 200;
  int answered = 0;
  for (int round = 0; round < kRounds; ++round) {
    SetEvent(work);
    // A lost wake-up leaves the set unanswered.
    if (WaitForSingleObject(done, 2000) != WAIT_OBJECT_0) break;
    ++answered;
  }
  SetEvent(quit);
  for (std::thread& waiter : waiters) waiter.join();
  // A set that released two waiters shows as an extra take.
  EXPECT_EQ(std::pair(answered, taken.load()), std::pair(kRounds, kRounds));
  for (Handle event : {work, done, quit}) CloseHandle(event);
}

// Each side sets the other's event just as the other goes to sleep without a time-out: a
// wake-up lost between a waiter's last look and its sleep stops the exchange.
TEST(Events, UntimedWaitsTradingSetsLoseNoWakeUp) {
  Handle ping = CreateEvent(false, false);
  Handle pong = CreateEvent(false, false);
  std::atomic<bool> quit = false;
  std::thread partner([&] {
    while (WaitForSingleObject(ping, INFINITE) == WAIT_OBJECT_0 && !quit.load()) SetEvent(pong);
  });
  constexpr int kRounds = 5000;
  int answered = 0;
  for (; answered < kRounds; ++answered) {
    SetEvent(ping);
    if (WaitForSingleObject(pong, 5000) != WAIT_OBJECT_0) break;
  }
  quit = true;
  SetEvent(ping);
  partner.join();
  EXPECT_EQ(answered, kRounds);
  for (Handle h : {ping, pong}) CloseHandle(h);
}

TEST(WaitMultiple, AllTakesAutomaticEventsOnlyTogether) {
  Handle events[2] = {CreateEvent(false, true), CreateEvent(false, false)};
  // One of two is set: the wait times out and must not consume the first.
  EXPECT_EQ(WaitForMultipleObjects(2, events, true, 20), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);
  SetEvent(events[0]);
  SetEvent(events[1]);
  // Braced, so that the waits run in order.
  EXPECT_EQ(
      (std::vector<uint32_t>{WaitForMultipleObjects(2, events, true, 0),
                             WaitForSingleObject(events[0], 0), WaitForSingleObject(events[1], 0)}),
      (std::vector<uint32_t>{WAIT_OBJECT_0, WAIT_TIMEOUT, WAIT_TIMEOUT}));
  // A blocked wait for all wakes when the last one is set.
  std::thread setter([&events] {
    SetEvent(events[1]);
    Sleep(10);
    SetEvent(events[0]);
  });
  EXPECT_EQ(WaitForMultipleObjects(2, events, true, 2000), WAIT_OBJECT_0);
  setter.join();
  EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_TIMEOUT);
  for (Handle event : events) CloseHandle(event);
}

TEST(WaitMultiple, AllOnMutexesInCrossedOrderNeverDeadlocks) {
  Handle a = CreateMutex(false, nullptr);
  Handle b = CreateMutex(false, nullptr);
  std::atomic<int> inside = 0;
  std::atomic<bool> overlapped = false;
  std::atomic<int> failed = 0;
  auto worker = [&](Handle first, Handle second) {
    Handle both[2] = {first, second};
    for (int i = 0; i < 300; ++i) {
      // Taking one and then waiting for the other would deadlock here.
      if (WaitForMultipleObjects(2, both, true, 2000) != WAIT_OBJECT_0) {
        ++failed;
        return;
      }
      if (++inside != 1) overlapped = true;
      --inside;
      ReleaseMutex(first);
      ReleaseMutex(second);
    }
  };
  std::thread one(worker, a, b);
  std::thread two(worker, b, a);
  one.join();
  two.join();
  EXPECT_EQ(std::pair(failed.load(), overlapped.load()), std::pair(0, false));
  for (Handle h : {a, b}) CloseHandle(h);
}

TEST(WaitMultiple, AllCompetesFairlyWithSingleWaiters) {
  // A single waiter keeps taking A; the all-waiter may only ever take A and
  // B at the same moment, so every B it took came with an A.
  Handle a = CreateEvent(false, false);
  Handle b = CreateEvent(false, false);
  std::atomic<int> single = 0;
  std::atomic<bool> stop = false;
  std::thread thief([&] {
    while (!stop) {
      if (WaitForSingleObject(a, 1) == WAIT_OBJECT_0) ++single;
    }
  });
  int together = 0;
  for (int round = 0; round < 50; ++round) {
    SetEvent(a);
    SetEvent(b);
    Handle both[2] = {a, b};
    if (WaitForMultipleObjects(2, both, true, 5) == WAIT_OBJECT_0) ++together;
    // When the thief won A, B is still set and must be taken back here.
    WaitForSingleObject(b, 0);
  }
  stop = true;
  thief.join();
  EXPECT_EQ(together + single, 50);
  for (Handle h : {a, b}) CloseHandle(h);
}

TEST(WaitMultiple, ARefusedWaitLeavesNothingToTheThreadsNextWait) {
  Handle set = CreateEvent(true, true);
  Handle closed = CreateEvent(true, false);
  Handle clear = CreateEvent(true, false);
  CloseHandle(closed);
  Handle refused[2] = {set, closed};
  Refused(WaitForMultipleObjects(2, refused, false, 0) == WAIT_FAILED, ERROR_INVALID_HANDLE);
  // Only the object named now: the set event of the refused wait must not answer.
  EXPECT_EQ(WaitForSingleObject(clear, 0), WAIT_TIMEOUT);
  Handle both[2] = {clear, set};
  EXPECT_EQ(WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0 + 1);
  for (Handle h : {set, clear}) CloseHandle(h);
}

TEST(WaitMultiple, SixtyFourObjectsAndTheLimits) {
  Handle events[65];
  for (Handle& event : events) event = CreateEvent(true, true);
  EXPECT_EQ(WaitForMultipleObjects(64, events, true, 0), WAIT_OBJECT_0);
  ResetEvent(events[0]);  // any wait names the lowest set
  EXPECT_EQ(WaitForMultipleObjects(3, events, false, 0), WAIT_OBJECT_0 + 1);
  Refused(WaitForMultipleObjects(65, events, true, 0) == WAIT_FAILED, ERROR_INVALID_PARAMETER);
  Handle twice[2] = {events[0], events[0]};
  EXPECT_EQ(std::make_tuple(WaitForMultipleObjects(0, events, false, 0),
                            WaitForMultipleObjects(1, nullptr, false, 0),
                            WaitForMultipleObjects(2, twice, true, 0)),
            std::make_tuple(WAIT_FAILED, WAIT_FAILED, WAIT_FAILED));
  for (Handle event : events) CloseHandle(event);
}

TEST(Handles, ClosedNullAndForeignHandlesAreRefused) {
  uint32_t before = 0, open = 0, after = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
  Handle event = CreateEvent(true, true);
  GetProcessHandleCount(GetCurrentProcess(), &open);
  ASSERT_TRUE(CloseHandle(event));
  GetProcessHandleCount(GetCurrentProcess(), &after);
  EXPECT_EQ(std::pair(open, after), std::pair(before + 1, before));
  Refused(!GetProcessHandleCount(event, &after), ERROR_INVALID_PARAMETER);
  Refused(!GetProcessHandleCount(GetCurrentProcess(), nullptr), ERROR_INVALID_PARAMETER);
  Refused(!CloseHandle(event), ERROR_INVALID_HANDLE);
  Refused(WaitForSingleObject(event, 0) == WAIT_FAILED, ERROR_INVALID_HANDLE);
  for (Handle bad : {event, kNullHandle, INVALID_HANDLE_VALUE}) {
    Refused(!SetEvent(bad), ERROR_INVALID_HANDLE);
    Refused(!ResetEvent(bad), ERROR_INVALID_HANDLE);
  }
  Handle mutex = CreateMutex(false, nullptr);
  Refused(!SetEvent(mutex), ERROR_INVALID_HANDLE);
  CloseHandle(mutex);
}

// Look-ups on many threads meet closes of the same handles: a handle works until it is closed,
// then is refused, and a new handle never reaches an old object (run under TSan).
TEST(Handles, LookUpsRacingClosesSeeTheObjectOrNothing) {
  constexpr int kEvents = 256;
  std::vector<Handle> events;
  for (int i = 0; i < kEvents; ++i) events.push_back(CreateEvent(true, false));
  std::atomic<int> closed{0};
  std::vector<std::thread> users;
  for (int t = 0; t < 4; ++t) {
    users.emplace_back([&] {
      while (closed.load() < kEvents) {
        for (Handle event : events) {
          if (SetEvent(event)) {
            EXPECT_NE(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
          } else {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
          }
        }
      }
    });
  }
  std::thread closer([&] {
    for (Handle event : events) {
      Handle fresh = CreateEvent(true, false);
      EXPECT_NE(fresh, event);
      EXPECT_TRUE(CloseHandle(event));
      EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);
      CloseHandle(fresh);
      ++closed;
    }
  });
  closer.join();
  for (std::thread& user : users) user.join();
  for (Handle event : events) EXPECT_FALSE(SetEvent(event));
}

TEST(Handles, LastErrorIsPerThread) {
  SetLastError(ERROR_MORE_DATA);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    SetLastError(ERROR_INVALID_HANDLE);
  });
  other.join();
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
}

TEST(Threads, HandleSignalsAtExitWithTheBodysResult) {
  uint32_t id = 0;
  Handle go = CreateEvent(true, false);
  Handle thread = CreateThread(
      [go] {
        WaitForSingleObject(go, INFINITE);
        return 42u;
      },
      &id);
  ASSERT_NE(thread, kNullHandle);
  EXPECT_TRUE(id != 0 && id != GetCurrentThreadId()) << id;
  uint32_t running = 0, code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &running));
  const uint32_t early = WaitForSingleObject(thread, 0);
  SetEvent(go);
  const uint32_t late = WaitForSingleObject(thread, INFINITE);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(std::make_tuple(running, early, late, code),
            std::make_tuple(uint32_t{STILL_ACTIVE}, uint32_t{WAIT_TIMEOUT}, WAIT_OBJECT_0, 42u));
  Refused(!GetExitCodeThread(thread, nullptr), ERROR_INVALID_PARAMETER);
  Refused(CreateThread(ThreadBody(), nullptr) == kNullHandle, ERROR_INVALID_PARAMETER);
  for (Handle h : {thread, go}) CloseHandle(h);
}

// The id a thread keeps of itself must not follow it into a forked child, where the thread
// that forked runs under another id (a mutex it takes there would be owned by the parent's).
TEST(Threads, AForkedChildKnowsItsThreadByItsOwnId) {
  const uint32_t parent = GetCurrentThreadId();
  EXPECT_EQ(parent, static_cast<uint32_t>(syscall(SYS_gettid)));
  EXPECT_EQ(InChild([parent] {
              const uint32_t own = GetCurrentThreadId();
              return own != parent && own == static_cast<uint32_t>(syscall(SYS_gettid)) ? "own"
                                                                                        : "other";
            }),
            "own");
  EXPECT_EQ(GetCurrentThreadId(), parent);
}

TEST(CriticalSections, ReentrantAndTryEnterFailsForOthers) {
  CriticalSection lock;
  lock.Enter();
  EXPECT_TRUE(lock.TryEnter());
  bool held = true, freed = false;
  std::thread([&] { held = lock.TryEnter(); }).join();
  lock.Leave();
  lock.Leave();
  std::thread([&] {
    freed = lock.TryEnter();
    if (freed) lock.Leave();
  }).join();
  EXPECT_EQ(std::pair(held, freed), std::pair(false, true));
}

TEST(Mutexes, OwnerReentersOthersWaitAndCannotRelease) {
  Handle mutex = CreateMutex(true, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  std::thread([mutex] {
    EXPECT_EQ(WaitForSingleObject(mutex, 10), WAIT_TIMEOUT);
    Refused(!ReleaseMutex(mutex), ERROR_NOT_OWNER);
  }).join();
  ASSERT_TRUE(ReleaseMutex(mutex));
  // The last release wakes a thread that waits.
  std::thread waiter([mutex] {
    EXPECT_EQ(WaitForSingleObject(mutex, 5000), WAIT_OBJECT_0);
    ReleaseMutex(mutex);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(ReleaseMutex(mutex));
  Refused(!ReleaseMutex(mutex), ERROR_NOT_OWNER);
  waiter.join();
  CloseHandle(mutex);
}

TEST(Mutexes, OwnerThreadEndingWithoutReleaseAbandonsIt) {
  for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L"zor.test.thread.end"}) {
    Handle mutex = CreateMutex(false, name);
    Handle released = CreateMutex(false, nullptr);  // taken and given back meanwhile
    Handle owner = CreateThread(
        [mutex, released] {
          const bool taken = WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0 &&
                             WaitForSingleObject(released, 0) == WAIT_OBJECT_0 &&
                             ReleaseMutex(released) &&
                             WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
          return taken ? 0u : 1u;
        },
        nullptr);
    ASSERT_EQ(WaitForSingleObject(owner, 2000), WAIT_OBJECT_0);
    uint32_t taken = 1;
    EXPECT_TRUE(GetExitCodeThread(owner, &taken) && taken == 0);
    CloseHandle(owner);
    // Abandoned by the time the thread's handle is signalled; the next owner
    // learns once, then owns it like any other.
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED_0);
    EXPECT_EQ(WaitForSingleObject(released, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ReleaseMutex(mutex));
    ASSERT_TRUE(ReleaseMutex(released));
    CloseHandle(released);
    std::thread([mutex] {
      EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
      EXPECT_TRUE(ReleaseMutex(mutex));
    }).join();
    CloseHandle(mutex);
  }
}

// Tests shorten the code's fixed waits by a percentage; an empty or out-of-range one leaves them
// whole. Only bounds that hold on any machine are asserted.
TEST(Sleeps, APercentageShortensTheWaitAnUnreadableOneLeavesItWhole) {
  using Clock = std::chrono::steady_clock;
  const auto slept = [](const char* percent, uint32_t milliseconds) {
    setenv("ZOR_SLEEP_PERCENT", percent, 1);
    const auto start = Clock::now();
    Sleep(milliseconds);
    unsetenv("ZOR_SLEEP_PERCENT");
    return Clock::now() - start;
  };
  EXPECT_LT(slept("0", 30000), std::chrono::seconds(30));
  EXPECT_GE(slept("", 20), std::chrono::milliseconds(20));
  EXPECT_GE(slept("101", 20), std::chrono::milliseconds(20));
}

// Thread priorities as the calling thread's Linux scheduling. Each case runs
// on a thread of its own: an unprivileged thread cannot raise itself again.
int Niceness() { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }

int Policy() {
  int policy = 0;
  sched_param param{};
  pthread_getschedparam(pthread_self(), &policy, &param);
  return policy;
}

template <typename Body>
void OnOwnThread(Body body) {
  std::thread(body).join();
}

TEST(ThreadPriority, EachLevelIsSetAndReadBackOrRefusedWithoutChange) {
  OnOwnThread([] {
    struct Level {
      int priority;
      int niceness;
    };
    // From the highest down: a refused raise leaves the thread where it was.
    for (const Level& level :
         {Level{THREAD_PRIORITY_TIME_CRITICAL, -20}, Level{THREAD_PRIORITY_HIGHEST, -10},
          Level{THREAD_PRIORITY_ABOVE_NORMAL, -5}, Level{THREAD_PRIORITY_NORMAL, 0},
          Level{THREAD_PRIORITY_BELOW_NORMAL, 5}, Level{THREAD_PRIORITY_LOWEST, 10},
          Level{THREAD_PRIORITY_IDLE, 19}}) {
      SCOPED_TRACE(level.priority);
      const int before = GetThreadPriority(GetCurrentThread());
      if (!SetThreadPriority(GetCurrentThread(), level.priority)) {
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), before);
        continue;
      }
      EXPECT_EQ(GetThreadPriority(GetCurrentThread()), level.priority);
      EXPECT_EQ(Policy(), SCHED_OTHER);
      EXPECT_EQ(Niceness(), level.niceness);
    }
    // Lowering is always allowed: the thread ends idle, and so starts a thread it makes.
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_IDLE);
    OnOwnThread([] { EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_IDLE); });
  });
}

TEST(ThreadPriority, RealTimeSchedulingGivenByOthersIsTimeCriticalUntilAnotherLevelIsSet) {
  OnOwnThread([] {
    sched_param realTime{};
    realTime.sched_priority = 1;
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &realTime) != 0) {
      GTEST_SKIP() << "the process may not use real-time scheduling";
    }
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(Policy(), SCHED_RR);
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_EQ(Policy(), SCHED_OTHER);
    EXPECT_EQ(Niceness(), 5);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_BELOW_NORMAL);
  });
}

TEST(ThreadPriority, NicenessGivenByOthersReadsAsTheNearestLevelHalfwayTowardsNormal) {
  OnOwnThread([] {
    const id_t self = static_cast<id_t>(syscall(SYS_gettid));
    struct Reading {
      int niceness;
      int priority;
    };
    // Strongest first: an unprivileged thread may only weaken itself.
    for (const Reading& reading :
         {Reading{-16, THREAD_PRIORITY_TIME_CRITICAL}, Reading{-15, THREAD_PRIORITY_HIGHEST},
          Reading{-3, THREAD_PRIORITY_ABOVE_NORMAL}, Reading{2, THREAD_PRIORITY_NORMAL},
          Reading{14, THREAD_PRIORITY_LOWEST}, Reading{15, THREAD_PRIORITY_IDLE}}) {
      SCOPED_TRACE(reading.niceness);
      if (setpriority(PRIO_PROCESS, self, reading.niceness) != 0) continue;
      EXPECT_EQ(GetThreadPriority(GetCurrentThread()), reading.priority);
    }
  });
}

TEST(ThreadPriority, OtherValuesAndHandlesAreRefused) {
  OnOwnThread([] {
    const int before = GetThreadPriority(GetCurrentThread());
    for (int value : {3, 14, -3, -14, 16}) {
      SCOPED_TRACE(value);
      Refused(!SetThreadPriority(GetCurrentThread(), value), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), before);
    const Handle event = CreateEvent(true, false);
    Refused(!SetThreadPriority(event, THREAD_PRIORITY_NORMAL), ERROR_INVALID_HANDLE);
    Refused(GetThreadPriority(event) == THREAD_PRIORITY_ERROR_RETURN, ERROR_INVALID_HANDLE);
    CloseHandle(event);
  });
}

struct PeerResult {
  int exitCode = -1;
  std::string output;
};

// Runs the peer program in its own process (same registry root).
PeerResult RunPeer(const char* name, const char* command, std::vector<std::string> more = {}) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> argv = {const_cast<char*>(OS_MUTEX_PEER), const_cast<char*>(name),
                             const_cast<char*>(command)};
  for (std::string& argument : more) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, OS_MUTEX_PEER, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  PeerResult result;
  char chunk[128];
  ssize_t count;
  while ((count = read(pipeFds[0], chunk, sizeof(chunk))) > 0) result.output.append(chunk, count);
  close(pipeFds[0]);
  int status = 0;
  if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  return result;
}

std::string Expect(bool existed, uint32_t wait) {
  return std::to_string(existed ? 1 : 0) + " " + std::to_string(wait) + "\n";
}

TEST(NamedMutexes, SecondCreateInProcessFindsTheSameMutex) {
  Handle first = CreateMutex(true, L"zor.test.same");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  Handle second = CreateMutex(true, L"zor.test.same");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  // Initial ownership is ignored for an existing mutex: one release frees it.
  std::thread([second] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  ASSERT_TRUE(ReleaseMutex(first));
  std::thread([second] {
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    ReleaseMutex(second);
  }).join();
  // Closing one handle leaves the other one working, and owned, on a thread that used both.
  ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  CloseHandle(first);
  std::thread([second] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  ASSERT_TRUE(ReleaseMutex(second));
  Refused(!ReleaseMutex(first), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(second));
  CloseHandle(second);
}

TEST(NamedMutexes, OneNameInTwoObjectFoldersIsTwoMutexes) {
  const std::string root = getenv("ZOR_REGISTRY_ROOT");
  Handle first = CreateMutex(true, L"zor.test.folders");
  setenv("ZOR_REGISTRY_ROOT", (std::filesystem::path(root) / "other").c_str(), 1);
  EXPECT_EQ(OpenMutex(L"zor.test.folders"), kNullHandle);
  Handle second = CreateMutex(true, L"zor.test.folders");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  std::thread([second] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
  // The first folder's mutex is still the first one's, owned by this thread.
  Handle again = CreateMutex(false, L"zor.test.folders");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  std::thread([again] { EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_TIMEOUT); }).join();
  for (Handle mutex : {first, second}) ReleaseMutex(mutex);
  for (Handle mutex : {first, second, again}) CloseHandle(mutex);
}

TEST(NamedMutexes, OpenFindsOnlyExistingMutexes) {
  Refused(OpenMutex(L"zor.test.missing") == kNullHandle, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenMutex(nullptr), kNullHandle);
  Handle mutex = CreateMutex(false, L"zor.test.open");
  Handle opened = OpenMutex(L"zor.test.open");
  EXPECT_NE(opened, kNullHandle);
  for (Handle h : {opened, mutex}) CloseHandle(h);
  // Escaped characters keep every bit of their own; a name up to its file's bound is taken.
  mutex = CreateMutex(false, L"zor_test-. /\u00e9");
  for (const wchar_t* other : {L"zor_test-.!/\u00e9", L"zor_test-. ?\u00e9"}) {
    Refused(OpenMutex(other) == kNullHandle, ERROR_FILE_NOT_FOUND);
  }
  opened = OpenMutex(L"zor_test-. /\u00e9");
  EXPECT_NE(opened, kNullHandle);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) /
                                      ".objects/mutex.zor_test-.%20%2f%c3%a9"));
  Handle longest = CreateMutex(false, std::wstring(244, L'n').c_str());
  EXPECT_NE(longest, kNullHandle);
  Refused(CreateMutex(false, std::wstring(245, L'n').c_str()) == kNullHandle, ERROR_INVALID_NAME);
  for (Handle h : {opened, mutex, longest}) CloseHandle(h);
}

// Held, released, then closed: with no handle left anywhere the name is gone.
std::string SeenByAnotherProcess(const char* name) {
  Handle mutex = CreateMutex(true, Utf8ToWide(name).c_str());
  if (mutex == kNullHandle) return "not made";
  const PeerResult held = RunPeer(name, "probe");
  const bool released = ReleaseMutex(mutex);
  const std::string freed = RunPeer(name, "probe").output;
  CloseHandle(mutex);
  return std::to_string(held.exitCode) + held.output + std::to_string(released) + freed +
         RunPeer(name, "probe").output;
}

TEST(NamedMutexes, AnotherProcessSeesExistenceAndOwnership) {
  const std::string expected = "0" + Expect(true, WAIT_TIMEOUT) + "1" +
                               Expect(true, WAIT_OBJECT_0) + Expect(false, WAIT_OBJECT_0);
  EXPECT_EQ(SeenByAnotherProcess("zor.test.cross"), expected);
  // Descriptor zero serves the mutex's file as any other.
  WithoutStandardInput([&] { EXPECT_EQ(SeenByAnotherProcess("zor.test.zero"), expected); });
}

TEST(NamedMutexes, WaiterInAnotherProcessGetsItOnRelease) {
  Handle mutex = CreateMutex(true, L"zor.test.handover");
  PeerResult result;
  std::thread peer([&] { result = RunPeer("zor.test.handover", "wait"); });
  Sleep(100);
  ASSERT_TRUE(ReleaseMutex(mutex));
  peer.join();
  EXPECT_EQ(result.output, Expect(true, WAIT_OBJECT_0));
  CloseHandle(mutex);
}

TEST(NamedMutexes, TwoProcessesTakeTurnsAndLoseNoIncrement) {
  const std::string file =
      (std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "counter.txt").string();
  std::ofstream(file) << 0;
  constexpr int kRounds = 60;
  PeerResult results[2];
  std::thread first([&] {
    results[0] = RunPeer("zor.test.count", "count", {file, std::to_string(kRounds)});
  });
  results[1] = RunPeer("zor.test.count", "count", {file, std::to_string(kRounds)});
  first.join();
  int total = 0;
  std::ifstream(file) >> total;
  EXPECT_EQ(std::make_tuple(results[0].exitCode, results[1].exitCode, total),
            std::make_tuple(0, 0, 2 * kRounds));
}

TEST(NamedMutexes, FailedWaitForAllLeavesTheMutexToOthers) {
  Handle mutex = CreateMutex(false, L"zor.test.waitall");
  Handle event = CreateEvent(false, false);
  Handle both[2] = {mutex, event};
  EXPECT_EQ(WaitForMultipleObjects(2, both, true, 20), WAIT_TIMEOUT);
  EXPECT_EQ(RunPeer("zor.test.waitall", "probe").output, Expect(true, WAIT_OBJECT_0));
  SetEvent(event);
  EXPECT_EQ(WaitForMultipleObjects(2, both, true, 0), WAIT_OBJECT_0);
  // Owned already, it stays owned through a wait for all that fails.
  EXPECT_EQ(WaitForMultipleObjects(2, both, true, 0), WAIT_TIMEOUT);
  EXPECT_EQ(RunPeer("zor.test.waitall", "probe").output, Expect(true, WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(mutex));
  for (Handle h : {event, mutex}) CloseHandle(h);
}

TEST(NamedMutexes, OwnerEndingWithoutReleaseAbandonsIt) {
  Handle mutex = CreateMutex(false, L"zor.test.abandon");
  EXPECT_EQ(RunPeer("zor.test.abandon", "abandon").exitCode, 0);
  EXPECT_EQ(WaitForSingleObject(mutex, 1000), WAIT_ABANDONED_0);
  ASSERT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace
}  // namespace os
