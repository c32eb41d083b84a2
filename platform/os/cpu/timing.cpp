#include "platform/os/cpu/timing.h"

#include <time.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace os {
namespace {

uint64_t MonotonicNanoseconds() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

uint64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return MonotonicNanoseconds();
#endif
}

bool QueryPerformanceCounter(int64_t* count) {
  if (count == nullptr) return false;
  *count = static_cast<int64_t>(MonotonicNanoseconds());
  return true;
}

bool QueryPerformanceFrequency(int64_t* frequency) {
  if (frequency == nullptr) return false;
  *frequency = 1000000000;
  return true;
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

uint64_t GetTickCount64() { return MonotonicNanoseconds() / 1000000; }

}  // namespace os
