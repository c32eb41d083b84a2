// The board builds on every layer below it.
#include "driver/board/system/boardsystem.h"
#include "driver/firmware/check/firmwarecheck.h"
#include "driver/foundation/log.h"
#include "driver/frameworkuser/devicesystem/devicesystem.h"
#include "driver/ieee1532/engine/iscengine.h"
