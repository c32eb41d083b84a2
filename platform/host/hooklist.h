// User functions hooked to the events of one object.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
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
  // False when there is nothing to remove or no function to add.
  bool Apply(QINT64 type, QHOOK_FUNCTION function, void* user);
  std::vector<Hook> Matching(QINT64 type) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Hook> hooks_;
  // Lets the many lists without hooks answer without the lock.
  std::atomic<std::size_t> count_{0};
};

}  // namespace zorhost
