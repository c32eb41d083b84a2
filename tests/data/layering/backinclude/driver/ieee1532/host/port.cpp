// The engine reaching up into the firmware side instead of through interfaces/jtag: refused.
#include "driver/firmware/jtagprogrammer.h"
#include "driver/ieee1532/host/port.h"
#include "interfaces/jtag/jtagengineport.h"
