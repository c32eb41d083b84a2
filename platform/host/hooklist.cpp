#include "platform/host/hooklist.h"

#include <algorithm>
#include <utility>

namespace zorhost {

bool HookList::Apply(QINT64 type, QHOOK_FUNCTION function, void* user) {
  if ((type & Q_UNHOOK) != 0) return Remove(type & ~Q_UNHOOK, function, user);
  if (function == nullptr) return false;
  std::lock_guard lock(mutex_);
  auto entry = std::make_shared<Entry>();
  entry->hook = {type, function, user};
  hooks_.push_back(std::move(entry));
  count_.store(hooks_.size(), std::memory_order_release);
  return true;
}

bool HookList::Remove(QINT64 type, QHOOK_FUNCTION function, void* user) {
  std::unique_lock lock(mutex_);
  auto found = std::find_if(hooks_.begin(), hooks_.end(), [&](const auto& entry) {
    const Hook& hook = entry->hook;
    return hook.type == type && hook.function == function && hook.user == user;
  });
  if (found == hooks_.end()) return false;
  const std::shared_ptr<Entry> entry = *found;
  hooks_.erase(found);
  count_.store(hooks_.size(), std::memory_order_release);
  entry->removed = true;
  const std::thread::id self = std::this_thread::get_id();
  callEnded_.wait(lock, [&] {
    return std::all_of(entry->callers.begin(), entry->callers.end(),
                       [&](std::thread::id caller) { return caller == self; });
  });
  return true;
}

bool HookList::Has(QINT64 type) const {
  if (count_.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard lock(mutex_);
  return std::any_of(hooks_.begin(), hooks_.end(),
                     [&](const auto& entry) { return entry->hook.type == type; });
}

void HookList::Call(QINT64 type, QINT64 argument, QID event) const {
  if (count_.load(std::memory_order_acquire) == 0) return;
  std::vector<std::shared_ptr<Entry>> matching;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : hooks_) {
      if (entry->hook.type == type) matching.push_back(entry);
    }
  }
  const std::thread::id self = std::this_thread::get_id();
  for (const auto& entry : matching) {
    {
      std::lock_guard lock(mutex_);
      if (entry->removed) continue;
      entry->callers.push_back(self);
    }
    entry->hook.function(argument, event, entry->hook.user);
    bool removed = false;
    {
      std::lock_guard lock(mutex_);
      entry->callers.erase(std::find(entry->callers.begin(), entry->callers.end(), self));
      removed = entry->removed;
    }
    if (removed) callEnded_.notify_all();
  }
}

}  // namespace zorhost
