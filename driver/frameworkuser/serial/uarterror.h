// The driver's UART error codes and the way serial operations raise them.
#pragma once

#include <cstdint>

#include "driver/foundation/error.h"
#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::frame {

using foundation::CError;

using errorcode::kUartInstanceError;
using errorcode::kUartIoError;
using errorcode::kUartLineError;
using errorcode::kUartQueueError;
using errorcode::kUartStateError;

// What a serial operation throws. The serial commands (CUartManager::Inquire, Control, Hook)
// catch it and hand its error record back, so it never leaves the serial ports.
struct UartFailure {
  CError error;
};

[[noreturn]] inline void RaiseUartError(uint64_t code, uint64_t subCode) {
  throw UartFailure{CError(code, subCode)};
}

}  // namespace zor::frame
