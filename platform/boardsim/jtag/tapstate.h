#pragma once

#include "interfaces/jtag/tapstate.h"

namespace boardsim {

using TapState = zor::jtag::TapState;

TapState NextTapState(TapState state, bool tms);

}  // namespace boardsim
