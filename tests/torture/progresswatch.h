// Fails the run when a thread makes no progress: each thread marks the call it is in, and a
// watchdog that finds one call running longer than the limit prints every thread's last call
// and, through gdb when it is installed, every thread's stack, then ends the process.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace torture {

// One thread's progress; written by its thread, read by the watchdog.
struct Progress {
  std::string name;
  std::atomic<pid_t> tid{0};
  std::atomic<const char*> call{nullptr};  // the call in progress, a literal
  std::atomic<int64_t> since{0};           // when it began, steady nanoseconds
  std::atomic<const char*> last{"(none)"};
  std::atomic<uint64_t> calls{0};

  // Called on the thread the slot describes, before its first call.
  void Attach();
  void Enter(const char* what);
  void Leave();
};

class ProgressWatch {
 public:
  ProgressWatch(std::chrono::seconds limit, std::string run);
  ~ProgressWatch();
  ProgressWatch(const ProgressWatch&) = delete;
  ProgressWatch& operator=(const ProgressWatch&) = delete;

  // Slots keep their address; add them all before Start.
  Progress& Add(std::string name);
  void Start();
  void Stop();
  uint64_t TotalCalls() const;

 private:
  void Watch();
  [[noreturn]] void Fail(const Progress& stuck, std::chrono::nanoseconds stuckFor);
  void PrintThreads() const;
  static void PrintStacks();

  const std::chrono::seconds limit_;
  const std::string run_;  // how to run the same again (seed and duration)
  std::deque<Progress> slots_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread watcher_;
};

// Marks a call on the thread's slot for the scope.
class InCall {
 public:
  InCall(Progress& progress, const char* what) : progress_(progress) { progress_.Enter(what); }
  ~InCall() { progress_.Leave(); }
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;

 private:
  Progress& progress_;
};

}  // namespace torture
