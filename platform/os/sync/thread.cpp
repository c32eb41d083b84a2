#include "platform/os/sync/thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <future>
#include <system_error>
#include <thread>

#include "platform/os/sync/waitable.h"

namespace os::detail {
namespace {

class ThreadObject : public Waitable {
 public:
  static constexpr Kind kKind = Kind::kThread;
  ThreadObject() : Waitable(kKind) {}

  bool IsSignalled(uint32_t) override { return finished_; }
  bool Take(uint32_t) override { return false; }

  void Finish(uint32_t exitCode) {
    SyncLock lock;
    exitCode_ = exitCode;
    finished_ = true;
    WakeWaiters();
  }
  uint32_t ExitCode() {
    SyncLock lock;
    return exitCode_;
  }

 private:
  uint32_t exitCode_ = STILL_ACTIVE;
  // Apart from the code: a body may answer STILL_ACTIVE itself.
  bool finished_ = false;
};

}  // namespace
}  // namespace os::detail

namespace os {

Handle CreateThread(ThreadBody body, uint32_t* threadId) {
  if (!body) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return kNullHandle;
  }
  auto object = std::make_shared<detail::ThreadObject>();
  std::promise<uint32_t> started;
  std::future<uint32_t> id = started.get_future();
  try {
    std::thread([object, body = std::move(body), started = std::move(started)]() mutable {
      started.set_value(GetCurrentThreadId());
      const uint32_t exitCode = body();
      detail::AbandonOwnedMutexes();
      object->Finish(exitCode);
    }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return kNullHandle;
  }
  uint32_t newId = id.get();
  if (threadId != nullptr) *threadId = newId;
  return detail::InsertHandle(object);
}

bool GetExitCodeThread(Handle thread, uint32_t* exitCode) {
  auto object = detail::Lookup<detail::ThreadObject>(thread);
  if (object == nullptr) return false;
  if (exitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *exitCode = object->ExitCode();
  return true;
}

namespace {
// Asked for by every wait: the kernel is asked once per thread.
thread_local uint32_t t_threadId = 0;
// The thread that forks goes on in the child under an id of its own.
[[maybe_unused]] const int kThreadIdForgottenOnFork =
    pthread_atfork(nullptr, nullptr, [] { t_threadId = 0; });
}  // namespace

uint32_t GetCurrentThreadId() {
  if (t_threadId == 0) t_threadId = static_cast<uint32_t>(syscall(SYS_gettid));
  return t_threadId;
}

uint32_t GetCurrentProcessId() { return static_cast<uint32_t>(getpid()); }

}  // namespace os
