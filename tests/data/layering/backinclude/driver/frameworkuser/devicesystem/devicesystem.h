// The device layer reaching up into the board: refused.
#pragma once
#include "driver/board/serial/uartmanager.h"
#include "driver/foundation/log.h"
