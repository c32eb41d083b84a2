// CSingleHook: the user's hook function and data, swapped under a lock and called per event.
#include "driver/frameworkuser/hooks/hookelement.h"

namespace zor::frame {

int64_t CSingleHook::Invoke(void* /*userData*/, QID eventId, const HOOK_ELEMENT_INFO& /*info*/) {
  QHOOK_FUNCTION function;
  void* userData;
  {
    std::lock_guard lock(lock_);
    function = function_;
    userData = userData_;
  }
  return function != nullptr ? function(hookType_, eventId, userData) : 0;
}

void CSingleHook::Set(QHOOK_FUNCTION function, void* userData) {
  std::lock_guard lock(lock_);
  function_ = function;
  userData_ = userData;
}

QHOOK_FUNCTION CSingleHook::Function() const {
  std::lock_guard lock(lock_);
  return function_;
}

void* CSingleHook::UserData() const {
  std::lock_guard lock(lock_);
  return userData_;
}

void CSingleHook::CopyFrom(const CSingleHook& other) {
  if (&other == this) return;
  QHOOK_FUNCTION function;
  void* userData;
  {
    std::lock_guard lock(other.lock_);
    function = other.function_;
    userData = other.userData_;
  }
  std::lock_guard lock(lock_);
  function_ = function;
  userData_ = userData;
  hookType_ = other.hookType_;
}

}  // namespace zor::frame
