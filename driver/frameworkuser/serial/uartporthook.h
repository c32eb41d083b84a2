// The receive hook of one serial port: the user's function and data, swapped as one pair.
#pragma once

#include <cstdint>
#include <mutex>

#include "driver/foundation/lockorder.h"

namespace zor::frame {

// (hook type, event id, user data), as the host library calls hooks.
using UartHookFunction = int64_t (*)(int64_t hookType, int64_t eventId, void* userData);

// The hook type of a port's receive hook (the port in bits 16 to 23).
inline constexpr int64_t kSerialHookType = 17;

class UartPortHook {
 public:
  // Waits for a call in progress on another thread, so that once this returns the old
  // function is neither running nor called again.
  void Set(UartHookFunction function, void* userData);
  // Calls the function, if one is set, with the data that was set with it.
  void Call(int64_t hookType, int64_t eventId);

 private:
  // Guards the function and its data, and is held across the call so that Set waits for it.
  // Taken before the port's lock (a hook may use its port) and the receiver's. Recursive: a
  // hook may replace itself, and Set then runs inside Call on the same thread.
  foundation::Ranked<std::recursive_mutex, foundation::LockId::kUartHook> mutex_;
  UartHookFunction function_ ZOR_GUARDED_BY(mutex_) = nullptr;
  void* userData_ ZOR_GUARDED_BY(mutex_) = nullptr;
};

}  // namespace zor::frame
