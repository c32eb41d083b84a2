// CPU time of this process's threads, from the scheduler's own account
// (/proc/self/task/<tid>/schedstat, in nanoseconds), split between the
// threads whose name starts with a prefix and all the others.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace zorbench {

struct ThreadCpu {
  uint64_t named = 0;   // ns of the threads whose name starts with the prefix
  uint64_t others = 0;  // ns of every other thread
};

inline ThreadCpu ProcessThreadCpu(const std::string& prefix) {
  ThreadCpu cpu;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream stat(task.path() / "schedstat");
    std::ifstream comm(task.path() / "comm");
    uint64_t ns = 0;
    std::string name;
    if (!(stat >> ns)) continue;  // the thread ended meanwhile
    std::getline(comm, name);
    (name.rfind(prefix, 0) == 0 ? cpu.named : cpu.others) += ns;
  }
  return cpu;
}

}  // namespace zorbench
