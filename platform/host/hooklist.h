// User functions hooked to the events of one object.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/qtypes.h"

namespace zorhost {

struct Hook {
  QINT64 type;
  QHOOK_FUNCTION function;
  void* user;
};

class HookList {
 public:
  // Adds the hook, or removes the same function and user data when the type carries Q_UNHOOK.
  // False when there is nothing to remove or no function to add. A removal returns once no other
  // thread is inside the function, so that the caller may free the user data then; a hook
  // removed from inside a hook on the same thread is not waited for.
  bool Apply(QINT64 type, QHOOK_FUNCTION function, void* user);
  bool Has(QINT64 type) const;
  // Calls the hooks of the type as function(argument, event, user), in the order they were
  // added; a hook removed before its turn is not called. One that throws is reported and the
  // next one runs.
  void Call(QINT64 type, QINT64 argument, QID event) const;

 private:
  struct Entry {
    Hook hook;
    uint64_t order = 0;  // rises with each hook added: hooks_ is in this order
    bool removed = false;
    std::vector<std::thread::id> callers;  // threads inside the function now
  };

  bool Remove(QINT64 type, QHOOK_FUNCTION function, void* user);
  // Under the lock: the first hook of the type after the order `after` and no later than `last`,
  // with the thread counted among its callers; null when there is none.
  Entry* EnterNext(QINT64 type, uint64_t after, uint64_t last, std::thread::id self) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable callEnded_;
  std::vector<std::shared_ptr<Entry>> hooks_;
  uint64_t added_ = 0;
  // Removed by a hook's own function, kept until that call returns.
  mutable std::vector<std::shared_ptr<Entry>> retired_;
  // Lets the many lists without hooks answer without the lock.
  std::atomic<std::size_t> count_{0};
};

}  // namespace zorhost
