// A contract that includes the side that implements it: refused.
#pragma once
#include "driver/firmware/jtagprogrammer.h"
#include "interfaces/jtag/jtagpins.h"
