#include "platform/host/hooklist.h"

#include <algorithm>

namespace zorhost {

bool HookList::Apply(QINT64 type, QHOOK_FUNCTION function, void* user) {
  std::lock_guard lock(mutex_);
  if ((type & Q_UNHOOK) != 0) {
    const QINT64 plain = type & ~Q_UNHOOK;
    auto found = std::find_if(hooks_.begin(), hooks_.end(), [&](const Hook& hook) {
      return hook.type == plain && hook.function == function && hook.user == user;
    });
    if (found == hooks_.end()) return false;
    hooks_.erase(found);
    count_.store(hooks_.size(), std::memory_order_release);
    return true;
  }
  if (function == nullptr) return false;
  hooks_.push_back({type, function, user});
  count_.store(hooks_.size(), std::memory_order_release);
  return true;
}

std::vector<Hook> HookList::Matching(QINT64 type) const {
  if (count_.load(std::memory_order_acquire) == 0) return {};
  std::lock_guard lock(mutex_);
  std::vector<Hook> matching;
  for (const Hook& hook : hooks_) {
    if (hook.type == type) matching.push_back(hook);
  }
  return matching;
}

}  // namespace zorhost
