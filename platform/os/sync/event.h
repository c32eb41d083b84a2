// Events with manual or automatic reset.
#pragma once

#include "platform/os/core/handle.h"

namespace os {

// A new unnamed event; never fails short of memory exhaustion.
Handle CreateEvent(bool manualReset, bool initialState);
bool SetEvent(Handle event);
bool ResetEvent(Handle event);

}  // namespace os
