// Thread priorities as the calling thread's Linux scheduling. Each case runs
// on a thread of its own: an unprivileged thread cannot raise itself again.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "platform/os/core/error.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/thread.h"
#include "tests/platform/os/refused.h"

namespace os {
namespace {

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
    // Lowering is always allowed: the thread ends idle.
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_IDLE);
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

TEST(ThreadPriority, NewThreadsStartWithTheirCreatorsScheduling) {
  OnOwnThread([] {
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    OnOwnThread([] { EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST); });
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

}  // namespace
}  // namespace os
