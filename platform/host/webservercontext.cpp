#include "platform/host/webservercontext.h"

namespace zorhost {

uint64_t OpenConnections::Add(std::function<void()> close) {
  {
    std::lock_guard lock(mutex_);
    if (!closed_) {
      closers_.emplace(++next_, std::move(close));
      return next_;
    }
  }
  close();
  return 0;
}

void OpenConnections::Remove(uint64_t id) {
  std::lock_guard lock(mutex_);
  closers_.erase(id);
}

void OpenConnections::CloseAll() {
  std::map<uint64_t, std::function<void()>> closers;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    closers.swap(closers_);
  }
  for (auto& [id, close] : closers) close();
}

}  // namespace zorhost
