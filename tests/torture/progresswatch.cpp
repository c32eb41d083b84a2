#include "tests/torture/progresswatch.h"

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace torture {
namespace {

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// gdb may take a while on a sanitized process of many threads; a gdb that hangs too is ended.
constexpr int kGdbPatienceSeconds = 120;

}  // namespace

void Progress::Attach() { tid = gettid(); }

void Progress::Enter(const char* what) {
  since = Now();
  call = what;
}

void Progress::Leave() {
  last = call.load();
  call = nullptr;
  ++calls;
}

ProgressWatch::ProgressWatch(std::chrono::seconds limit, std::string run)
    : limit_(limit), run_(std::move(run)) {}

ProgressWatch::~ProgressWatch() { Stop(); }

Progress& ProgressWatch::Add(std::string name) {
  Progress& slot = slots_.emplace_back();
  slot.name = std::move(name);
  return slot;
}

void ProgressWatch::Start() {
  watcher_ = std::thread([this] { Watch(); });
}

void ProgressWatch::Stop() {
  {
    std::lock_guard hold(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

uint64_t ProgressWatch::TotalCalls() const {
  uint64_t total = 0;
  for (const Progress& slot : slots_) total += slot.calls.load();
  return total;
}

void ProgressWatch::Watch() {
  std::unique_lock hold(lock_);
  while (!wake_.wait_for(hold, std::chrono::seconds(1), [this] { return stopping_; })) {
    const int64_t now = Now();
    for (const Progress& slot : slots_) {
      const int64_t since = slot.since.load();
      const std::chrono::nanoseconds running(now - since);
      if (slot.call.load() != nullptr && running > limit_) Fail(slot, running);
    }
  }
}

void ProgressWatch::Fail(const Progress& stuck, std::chrono::nanoseconds stuckFor) {
  std::fprintf(stderr,
               "\ntorture: FAILED: thread %s (LWP %d) made no progress for %.1f s in %s\n"
               "torture: run it again with %s\n",
               stuck.name.c_str(), static_cast<int>(stuck.tid.load()),
               std::chrono::duration<double>(stuckFor).count(), stuck.call.load(), run_.c_str());
  PrintThreads();
  PrintStacks();
  std::fflush(stderr);
  std::fflush(stdout);
  std::_Exit(1);
}

void ProgressWatch::PrintThreads() const {
  const int64_t now = Now();
  for (const Progress& slot : slots_) {
    const char* call = slot.call.load();
    if (call != nullptr) {
      std::fprintf(stderr, "torture:   %-10s LWP %-7d in %s for %.1f s, %llu calls done\n",
                   slot.name.c_str(), static_cast<int>(slot.tid.load()), call,
                   static_cast<double>(now - slot.since.load()) / 1e9,
                   static_cast<unsigned long long>(slot.calls.load()));
    } else {
      std::fprintf(stderr, "torture:   %-10s LWP %-7d between calls, last %s, %llu calls done\n",
                   slot.name.c_str(), static_cast<int>(slot.tid.load()), slot.last.load(),
                   static_cast<unsigned long long>(slot.calls.load()));
    }
  }
}

// Every thread's stack, from gdb attached to this process.
void ProgressWatch::PrintStacks() {
  // Where Yama restricts tracing to descendants, the process allows its debugger in.
  prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
  const std::string pid = std::to_string(getpid());
  const char* const argv[] = {
      "gdb", "-nx", "-batch", "-p", pid.c_str(), "-ex", "thread apply all bt", nullptr};
  pid_t gdb = 0;
  std::fflush(stderr);
  // gdb writes to stdout: both go to the test's log.
  if (posix_spawnp(&gdb, "gdb", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
    std::fprintf(stderr, "torture: gdb is not installed: the threads' last calls are above\n");
    return;
  }
  int status = 0;
  for (int i = 0; i < kGdbPatienceSeconds * 10; ++i) {
    if (waitpid(gdb, &status, WNOHANG) == gdb) return;
    usleep(100000);
  }
  kill(gdb, SIGKILL);
  waitpid(gdb, &status, 0);
  std::fprintf(stderr, "torture: gdb gave no stacks within %d s\n", kGdbPatienceSeconds);
}

}  // namespace torture
