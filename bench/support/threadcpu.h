// CPU time and thread switches of this process's threads, from the scheduler's
// own account (/proc/self/task/<tid>/schedstat: nanoseconds on the processor,
// nanoseconds waiting to run, times switched in), split between the threads
// whose name starts with a prefix and all the others.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace zorbench {

struct ThreadCpu {
  uint64_t named = 0;          // ns of the threads whose name starts with the prefix
  uint64_t others = 0;         // ns of every other thread
  uint64_t namedSwitches = 0;  // times those threads were switched in
  uint64_t otherSwitches = 0;
};

inline ThreadCpu ProcessThreadCpu(const std::string& prefix) {
  ThreadCpu cpu;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream stat(task.path() / "schedstat");
    std::ifstream comm(task.path() / "comm");
    uint64_t ns = 0;
    uint64_t waited = 0;
    uint64_t switches = 0;
    std::string name;
    if (!(stat >> ns >> waited >> switches)) continue;  // the thread ended meanwhile
    std::getline(comm, name);
    const bool named = name.rfind(prefix, 0) == 0;
    (named ? cpu.named : cpu.others) += ns;
    (named ? cpu.namedSwitches : cpu.otherSwitches) += switches;
  }
  return cpu;
}

}  // namespace zorbench
