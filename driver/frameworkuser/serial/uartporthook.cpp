// UartPortHook: the receive hook's function and data, set and called under one lock.
#include "driver/frameworkuser/serial/uartporthook.h"

namespace zor::frame {

void UartPortHook::Set(UartHookFunction function, void* userData) {
  foundation::ScopedLock lock(mutex_);
  function_ = function;
  userData_ = userData;
}

void UartPortHook::Call(int64_t hookType, int64_t eventId) {
  foundation::ScopedLock lock(mutex_);
  if (function_ != nullptr) function_(hookType, eventId, userData_);
}

}  // namespace zor::frame
