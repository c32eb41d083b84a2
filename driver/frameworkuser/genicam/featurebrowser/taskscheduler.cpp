// TaskScheduler: the worker that runs each posted task once its delay has passed.
#include "driver/frameworkuser/genicam/featurebrowser/taskscheduler.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <mutex>
#include <vector>

#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/protocol/hostthreads.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace zor::genicam {
namespace {

using protocol::kThreadFlags;
using protocol::kThreadOwner;
constexpr int64_t kTicksPerMs = 10000;

}  // namespace

TaskScheduler::Task::Task(int64_t delayMs) : delayMs_(delayMs), startTicks_(NowTicks()) {}

int64_t TaskScheduler::NowTicks() {
  using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TaskScheduler::TaskScheduler() : wake_(os::CreateEvent(false, false)) {
  worker_ = HostThrAlloc(kThreadOwner, Q_THREAD, kThreadFlags, &TaskScheduler::ThreadTrampoline,
                         this, nullptr);
}

TaskScheduler::~TaskScheduler() {
  Stop();
  os::CloseHandle(wake_);
}

void TaskScheduler::SetMode(uint32_t mode) {
  std::lock_guard<os::CriticalSection> hold(lock_);
  mode_ = mode;
}

uint32_t TaskScheduler::Post(std::unique_ptr<Task> task) {
  std::lock_guard<os::CriticalSection> hold(lock_);
  if (worker_ == 0 || stop_) return 0;
  if (mode_ != kKeepEveryTask && !tasks_.empty()) return 0;
  const uint32_t id = ++nextId_;
  tasks_[id] = std::move(task);
  os::SetEvent(wake_);
  return id;
}

void TaskScheduler::DeleteWaitingTasks() {
  std::map<uint32_t, std::unique_ptr<Task>> dropped;
  {
    std::lock_guard<os::CriticalSection> hold(lock_);
    dropped.swap(tasks_);
  }
}

void TaskScheduler::Stop() {
  QID worker = 0;
  {
    std::lock_guard<os::CriticalSection> hold(lock_);
    stop_ = true;
    worker = worker_;
    worker_ = 0;
  }
  if (worker == 0) return;
  os::SetEvent(wake_);
  HostThrWait(worker, Q_THREAD_WAIT, nullptr);
  HostThrFree(worker);
}

QUINT32 TaskScheduler::ThreadTrampoline(void* scheduler) {
  frame::ReportEscapes(frame::kThreadFunctionName,
                       [scheduler] { static_cast<TaskScheduler*>(scheduler)->WorkerLoop(); });
  return 0;
}

void TaskScheduler::WorkerLoop() {
  while (!stop_) {
    os::WaitForSingleObject(wake_, os::INFINITE);
    if (stop_) return;
    for (;;) {
      std::vector<std::unique_ptr<Task>> due;
      int64_t smallestLeft = std::numeric_limits<int64_t>::max();
      bool waiting = false;
      {
        std::lock_guard<os::CriticalSection> hold(lock_);
        const int64_t now = NowTicks();
        for (auto it = tasks_.begin(); it != tasks_.end();) {
          const int64_t elapsed = now - it->second->startTicks_;
          const int64_t delay = it->second->delayMs_ * kTicksPerMs;
          if (elapsed >= delay) {
            due.push_back(std::move(it->second));
            it = tasks_.erase(it);
          } else {
            waiting = true;
            smallestLeft = std::min(smallestLeft, delay - elapsed);
            ++it;
          }
        }
      }
      for (auto& task : due) {
        // A failing task must not end the worker that the other tasks wait for.
        frame::ReportEscapes(frame::kThreadFunctionName, [&task] { task->Run(); });
        task.reset();
      }
      if (!waiting) break;
      const int64_t waitMs = std::min<int64_t>(smallestLeft / kTicksPerMs, os::INFINITE - 1);
      os::WaitForSingleObject(wake_, static_cast<uint32_t>(waitMs));
      if (stop_) return;
    }
  }
}

}  // namespace zor::genicam
