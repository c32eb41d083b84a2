// One worker thread that runs delayed one-shot tasks keyed by id.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "platform/host/qtypes.h"
#include "platform/os/core/handle.h"

namespace zor::genicam {

class TaskScheduler {
 public:
  // Mode 1 keeps every posted task; any other mode refuses a task while one is waiting.
  static constexpr uint32_t kKeepEveryTask = 1;

  class Task {
   public:
    explicit Task(int64_t delayMs);
    virtual ~Task() = default;
    virtual void Run() = 0;

    int64_t delayMs_;
    int64_t startTicks_;  // 100-ns ticks of the steady clock when the task was made
  };

  template <class T>
  class TaskImpl : public Task {
   public:
    TaskImpl(int64_t delayMs, T* object, void (T::*function)())
        : Task(delayMs), object_(object), function_(function) {}
    void Run() override { (object_->*function_)(); }

   private:
    T* object_;
    void (T::*function_)();
  };

  TaskScheduler();
  virtual ~TaskScheduler();
  TaskScheduler(const TaskScheduler&) = delete;
  TaskScheduler& operator=(const TaskScheduler&) = delete;

  // False when the worker thread could not be started; such a scheduler refuses every task.
  bool IsRunning() const;
  void SetMode(uint32_t mode);
  // The new task's id, or 0 when it was refused.
  template <class T>
  uint32_t Post(T* object, void (T::*function)(), int64_t delayMs) {
    return Post(std::make_unique<TaskImpl<T>>(delayMs, object, function));
  }
  // Drops every waiting task; a running one finishes.
  void DeleteWaitingTasks();
  // Ends the worker after the task it runs; later posts are refused. Must not be called from
  // a task.
  void Stop();

  static int64_t NowTicks();

 private:
  uint32_t Post(std::unique_ptr<Task> task);
  static QUINT32 ThreadTrampoline(void* scheduler);
  void WorkerLoop();

  // Guards the mode, the waiting tasks and the worker's id. A leaf: tasks run and the worker is
  // waited for outside it, so a task may post again.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kTaskScheduler> lock_;
  uint32_t mode_ ZOR_GUARDED_BY(lock_) = kKeepEveryTask;
  std::atomic<uint32_t> nextId_{0};
  std::atomic<bool> stop_{false};
  std::map<uint32_t, std::unique_ptr<Task>> tasks_ ZOR_GUARDED_BY(lock_);
  QID worker_ ZOR_GUARDED_BY(lock_) = 0;
  os::Handle wake_;
};

}  // namespace zor::genicam
