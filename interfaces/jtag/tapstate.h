#pragma once

#include <cstdint>

namespace zor::jtag {

// The sixteen states of the IEEE 1149.1 TAP controller; kUnknown until a reset walks the
// controller into a known state.
enum class TapState : int8_t {
  kUnknown = -1,
  kReset = 0,
  kIdle,
  kDrSelect,
  kDrCapture,
  kDrShift,
  kDrExit1,
  kDrPause,
  kDrExit2,
  kDrUpdate,
  kIrSelect,
  kIrCapture,
  kIrShift,
  kIrExit1,
  kIrPause,
  kIrExit2,
  kIrUpdate,
};

}  // namespace zor::jtag
