// Wall and CPU time, of the calling thread or of the whole process: on a loaded machine the
// wall time says more about the other processes, the CPU time about the work.
#pragma once

#include <time.h>

#include <chrono>

namespace zorbench {

struct Times {
  double wallUs = 0;
  double cpuUs = 0;

  // `cpuClock`: CLOCK_THREAD_CPUTIME_ID, or CLOCK_PROCESS_CPUTIME_ID to count every thread.
  static Times Now(clockid_t cpuClock = CLOCK_THREAD_CPUTIME_ID) {
    timespec cpu{};
    clock_gettime(cpuClock, &cpu);
    return {std::chrono::duration<double, std::micro>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count(),
            static_cast<double>(cpu.tv_sec) * 1e6 + static_cast<double>(cpu.tv_nsec) / 1e3};
  }
  // The time from start to this, shared among so many operations.
  Times Per(const Times& start, double count) const {
    return {(wallUs - start.wallUs) / count, (cpuUs - start.cpuUs) / count};
  }
};

}  // namespace zorbench
