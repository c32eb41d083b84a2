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

// Serial operations report failure by throwing the error record to their caller.
[[noreturn]] inline void RaiseUartError(uint64_t code, uint64_t subCode) {
  throw CError(code, subCode);
}

}  // namespace zor::frame
