// Wall and CPU time of the calling thread: on a loaded machine the wall time
// says more about the other processes, the CPU time about the work.
#pragma once

#include <time.h>

#include <chrono>

namespace zorbench {

struct Times {
  double wallUs = 0;
  double cpuUs = 0;

  static Times Now() {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
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
