// Windows thread priorities as niceness of the thread. Time critical of a process
// of normal class is the top of Windows' dynamic range, not its real-time class, so
// it is the strongest niceness, not real-time scheduling: a real-time thread could
// starve a small machine, and a woken one costs far more on a virtual machine. A
// thread that real-time scheduling was given by others reads as time critical.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/os/core/error.h"
#include "platform/os/sync/thread.h"

namespace os {
namespace {

struct Level {
  int priority;
  int niceness;
};

constexpr Level kLevels[] = {{THREAD_PRIORITY_IDLE, 19},          {THREAD_PRIORITY_LOWEST, 10},
                             {THREAD_PRIORITY_BELOW_NORMAL, 5},   {THREAD_PRIORITY_NORMAL, 0},
                             {THREAD_PRIORITY_ABOVE_NORMAL, -5},  {THREAD_PRIORITY_HIGHEST, -10},
                             {THREAD_PRIORITY_TIME_CRITICAL, -20}};

const Level* LevelOf(int priority) {
  for (const Level& level : kLevels) {
    if (level.priority == priority) return &level;
  }
  return nullptr;
}

id_t CurrentThreadId() { return static_cast<id_t>(syscall(SYS_gettid)); }

bool RealTime(int policy) { return policy == SCHED_RR || policy == SCHED_FIFO; }

}  // namespace

bool SetThreadPriority(Handle thread, int priority) {
  if (thread != GetCurrentThread()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  const Level* level = LevelOf(priority);
  if (level == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  int policy = SCHED_OTHER;
  sched_param param{};
  pthread_getschedparam(pthread_self(), &policy, &param);
  if (RealTime(policy)) {
    if (priority == THREAD_PRIORITY_TIME_CRITICAL) return true;
    // Leaving real-time scheduling is always allowed.
    sched_param normal{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
  }
  if (setpriority(PRIO_PROCESS, CurrentThreadId(), level->niceness) == 0) return true;
  SetLastError(errno == EPERM || errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
  return false;
}

int GetThreadPriority(Handle thread) {
  if (thread != GetCurrentThread()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return THREAD_PRIORITY_ERROR_RETURN;
  }
  int policy = SCHED_OTHER;
  sched_param param{};
  pthread_getschedparam(pthread_self(), &policy, &param);
  if (RealTime(policy)) return THREAD_PRIORITY_TIME_CRITICAL;
  if (policy == SCHED_IDLE) return THREAD_PRIORITY_IDLE;
  const int niceness = getpriority(PRIO_PROCESS, CurrentThreadId());
  // The level whose niceness is nearest; halfway goes towards normal.
  const Level* nearest = LevelOf(THREAD_PRIORITY_NORMAL);
  for (const Level& level : kLevels) {
    if (std::abs(niceness - level.niceness) < std::abs(niceness - nearest->niceness)) {
      nearest = &level;
    }
  }
  return nearest->priority;
}

}  // namespace os
