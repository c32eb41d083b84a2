// A contract that includes the simulated side: refused.
#pragma once
#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/board.h"
