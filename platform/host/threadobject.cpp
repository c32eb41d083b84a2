#include "platform/host/threadobject.h"

#include <chrono>

#include "platform/host/handedcall.h"

namespace zorhost {

ThreadObject::ThreadObject(QID owner, QTHREAD_FUNCTION function, void* user)
    : HostObject(Q_THREAD, owner) {
  thread_ = std::thread([state = state_, function, user] {
    CallHanded([&] { function(user); });
    std::lock_guard lock(state->mutex);
    state->done = true;
    state->ended.notify_all();
  });
}

ThreadObject::~ThreadObject() {
  if (IsCurrentThread()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool ThreadObject::Wait(QINT64 milliseconds) {
  std::unique_lock lock(state_->mutex);
  if (milliseconds <= 0) {
    state_->ended.wait(lock, [&] { return state_->done; });
    return true;
  }
  return state_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [&] { return state_->done; });
}

}  // namespace zorhost
