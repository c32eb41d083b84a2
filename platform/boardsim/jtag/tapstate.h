#pragma once

#include "interfaces/jtag/tapstate.h"

namespace boardsim {

using TapState = zor::jtag::TapState;

// Called on every clock edge of every simulated device, so it is inline.
inline TapState NextTapState(TapState state, bool tms) {
  using S = TapState;
  static constexpr S kNext[16][2] = {
      {S::kIdle, S::kReset},       {S::kIdle, S::kDrSelect},    {S::kDrCapture, S::kIrSelect},
      {S::kDrShift, S::kDrExit1},  {S::kDrShift, S::kDrExit1},  {S::kDrPause, S::kDrUpdate},
      {S::kDrPause, S::kDrExit2},  {S::kDrShift, S::kDrUpdate}, {S::kIdle, S::kDrSelect},
      {S::kIrCapture, S::kReset},  {S::kIrShift, S::kIrExit1},  {S::kIrShift, S::kIrExit1},
      {S::kIrPause, S::kIrUpdate}, {S::kIrPause, S::kIrExit2},  {S::kIrShift, S::kIrUpdate},
      {S::kIdle, S::kDrSelect},
  };
  return kNext[static_cast<int>(state)][tms ? 1 : 0];
}

}  // namespace boardsim
