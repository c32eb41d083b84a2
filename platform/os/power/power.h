// Power requests: recorded, never acting on the machine.
#pragma once

#include <cstdint>

namespace os {

inline constexpr uint32_t ES_SYSTEM_REQUIRED = 0x00000001;
inline constexpr uint32_t ES_DISPLAY_REQUIRED = 0x00000002;
inline constexpr uint32_t ES_AWAYMODE_REQUIRED = 0x00000040;
inline constexpr uint32_t ES_CONTINUOUS = 0x80000000;

// The previous state, or 0 when the request is refused. Requests holding
// flags outside the supported set are refused.
uint32_t SetThreadExecutionState(uint32_t flags);
// Which flags are accepted (default: all of the above).
void SetSupportedExecutionState(uint32_t flags);
// The last accepted continuous state.
uint32_t CurrentExecutionState();

}  // namespace os
