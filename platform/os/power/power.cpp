#include "platform/os/power/power.h"

#include <mutex>

namespace os {
namespace {

constexpr uint32_t kAllFlags =
    ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED | ES_AWAYMODE_REQUIRED | ES_CONTINUOUS;

// One state for the process: the driver may set it on one thread and
// withdraw it on another.
struct PowerState {
  std::mutex mutex;
  uint32_t supported = kAllFlags;
  uint32_t current = ES_CONTINUOUS;
};

PowerState& State() {
  static PowerState& state = *new PowerState;
  return state;
}

}  // namespace

uint32_t SetThreadExecutionState(uint32_t flags) {
  PowerState& state = State();
  std::lock_guard lock(state.mutex);
  if ((flags & ~state.supported) != 0) return 0;
  const uint32_t previous = state.current;
  if ((flags & ES_CONTINUOUS) != 0) state.current = flags;
  return previous;
}

void SetSupportedExecutionState(uint32_t flags) {
  PowerState& state = State();
  std::lock_guard lock(state.mutex);
  state.supported = flags;
}

uint32_t CurrentExecutionState() {
  PowerState& state = State();
  std::lock_guard lock(state.mutex);
  return state.current;
}

}  // namespace os
