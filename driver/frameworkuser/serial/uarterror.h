// The driver's UART error codes and the way serial operations raise them.
#pragma once

#include <cstdint>

#include "driver/foundation/error.h"

namespace zor::frame {

using foundation::CError;

inline constexpr uint64_t kUartInstanceError = 4339;  // 1 index, 2 allocated, 3 open, 4 inquire
inline constexpr uint64_t kUartStateError = 4340;     // 1 change, 2 reference, 3 value, 4 pending
inline constexpr uint64_t kUartIoError = 4341;        // 1 number, 2 pending, 3 time-out, 4 none
inline constexpr uint64_t kUartLineError = 4342;      // 1 break, 2 framing, 3 mode, 4 overrun
inline constexpr uint64_t kUartQueueError = 4343;     // 1 overflow, 2 parity, 3 TX queue full

// Serial operations report failure by throwing the error record to their caller.
[[noreturn]] inline void RaiseUartError(uint64_t code, uint64_t subCode) {
  throw CError(code, subCode);
}

}  // namespace zor::frame
