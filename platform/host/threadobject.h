// A thread that the host started for a caller's function.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/host/hostobject.h"

namespace zorhost {

class ThreadObject : public HostObject {
 public:
  ThreadObject(QID owner, QTHREAD_FUNCTION function, void* user);
  // Waits for the thread to end, unless the thread frees itself.
  ~ThreadObject() override;

  // True when the thread ended within the time (milliseconds; 0 waits without limit).
  bool Wait(QINT64 milliseconds);
  bool IsCurrentThread() const { return thread_.get_id() == std::this_thread::get_id(); }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

}  // namespace zorhost
