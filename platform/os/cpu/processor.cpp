#include "platform/os/cpu/processor.h"

#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/os/core/error.h"
#include "platform/os/sync/thread.h"

namespace os {
namespace {

uint64_t ToMask(const cpu_set_t& set) {
  uint64_t mask = 0;
  for (int cpu = 0; cpu < 64; ++cpu) {
    if (CPU_ISSET(cpu, &set)) mask |= uint64_t{1} << cpu;
  }
  return mask;
}

cpu_set_t FromMask(uint64_t mask) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int cpu = 0; cpu < 64; ++cpu) {
    if ((mask >> cpu) & 1) CPU_SET(cpu, &set);
  }
  return set;
}

uint64_t SystemMask() {
  const uint32_t count = GetProcessorCount();
  return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

bool CheckMask(uint64_t mask) {
  if (mask == 0 || (mask & ~SystemMask()) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

}  // namespace

uint32_t GetProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<uint32_t>(count) : 1;
}

uint32_t GetCurrentProcessorNumber() {
  const int cpu = sched_getcpu();
  return cpu < 0 ? 0 : static_cast<uint32_t>(cpu);
}

bool GetProcessAffinityMask(Handle process, uint64_t* processMask, uint64_t* systemMask) {
  if (process != GetCurrentProcess()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (processMask == nullptr || systemMask == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) != 0) {
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
  *processMask = ToMask(set);
  *systemMask = SystemMask();
  return true;
}

bool SetProcessAffinityMask(Handle process, uint64_t mask) {
  if (process != GetCurrentProcess()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!CheckMask(mask)) return false;
  // Linux keeps affinity per thread: give it to every thread of the process.
  const cpu_set_t set = FromMask(mask);
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) {
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
  bool applied = true;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const auto id = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
    applied = sched_setaffinity(id, sizeof(set), &set) == 0 && applied;
  }
  closedir(tasks);
  if (!applied) SetLastError(ERROR_INVALID_PARAMETER);
  return applied;
}

uint64_t SetThreadAffinityMask(Handle thread, uint64_t mask) {
  if (thread != GetCurrentThread()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!CheckMask(mask)) return 0;
  cpu_set_t previous;
  CPU_ZERO(&previous);
  const cpu_set_t set = FromMask(mask);
  if (sched_getaffinity(0, sizeof(previous), &previous) != 0 ||
      sched_setaffinity(0, sizeof(set), &set) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return ToMask(previous);
}

}  // namespace os
