// The side includes the contract it implements.
#pragma once
#include "interfaces/jtag/jtagengineport.h"
