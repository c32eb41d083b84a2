// The engine's pin word on the JTAG port.
#pragma once

#include <cstdint>

#include "driver/ieee1532/tap/isctap.h"

namespace zor::isc {

// The engine's pin word: what it last wrote, with TDO as last read.
uint32_t TapPinWord();
void TapWritePinWord(uint32_t word);
uint32_t TapReadPinWord();

}  // namespace zor::isc
