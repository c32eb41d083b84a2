#include "platform/host/hooklist.h"

#include <algorithm>
#include <utility>

#include "platform/host/handedcall.h"

namespace zorhost {

bool HookList::Apply(QINT64 type, QHOOK_FUNCTION function, void* user) {
  if ((type & Q_UNHOOK) != 0) return Remove(type & ~Q_UNHOOK, function, user);
  if (function == nullptr) return false;
  std::lock_guard lock(mutex_);
  auto entry = std::make_shared<Entry>();
  entry->hook = {type, function, user};
  entry->order = ++added_;
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
  // Removed from inside its own function: the call on this thread still needs it.
  if (!entry->callers.empty()) retired_.push_back(entry);
  return true;
}

bool HookList::Has(QINT64 type) const {
  if (count_.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard lock(mutex_);
  return std::any_of(hooks_.begin(), hooks_.end(),
                     [&](const auto& entry) { return entry->hook.type == type; });
}

HookList::Entry* HookList::EnterNext(QINT64 type, uint64_t after, uint64_t last,
                                     std::thread::id self) const {
  auto entry = std::upper_bound(hooks_.begin(), hooks_.end(), after,
                                [](uint64_t order, const auto& e) { return order < e->order; });
  for (; entry != hooks_.end() && (*entry)->order <= last; ++entry) {
    if ((*entry)->hook.type != type) continue;
    (*entry)->callers.push_back(self);
    return entry->get();
  }
  return nullptr;
}

void HookList::Call(QINT64 type, QINT64 argument, QID event) const {
  if (count_.load(std::memory_order_acquire) == 0) return;
  const std::thread::id self = std::this_thread::get_id();
  // The hooks are walked in order under the lock, taken once per hook: a removed hook has left
  // the list before its turn, and one added after the call began lies beyond `last`.
  std::unique_lock lock(mutex_);
  const uint64_t last = added_;
  Entry* entry = EnterNext(type, 0, last, self);
  while (entry != nullptr) {
    const Hook hook = entry->hook;
    lock.unlock();
    CallHanded([&] { hook.function(argument, event, hook.user); });
    lock.lock();
    entry->callers.erase(std::find(entry->callers.begin(), entry->callers.end(), self));
    const uint64_t order = entry->order;
    if (entry->removed) {
      // Its remover may free it once the lock is released; a retired one goes now.
      callEnded_.notify_all();
      if (entry->callers.empty()) {
        std::erase_if(retired_, [entry](const auto& retired) { return retired.get() == entry; });
      }
    }
    entry = EnterNext(type, order, last, self);
  }
}

}  // namespace zorhost
