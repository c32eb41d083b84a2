#pragma once

#include <cstdint>

namespace boardsim {

// The sixteen states of the IEEE 1149.1 TAP controller.
enum class TapState : uint8_t {
  kReset,
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

TapState NextTapState(TapState state, bool tms);

}  // namespace boardsim
