// The firmware side reaching across into the frame beside it: refused. The engine below is fine.
#include "driver/firmware/check/firmwarecheck.h"
#include "driver/frameworkuser/devicesystem/devicesystem.h"
#include "driver/ieee1532/engine/iscengine.h"
