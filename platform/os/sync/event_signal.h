// Signalling an event that is most often signalled already.
#pragma once

#include "platform/os/core/handle.h"

namespace os::detail {

// SetEvent, except that an event found signalled is left alone without taking the lock that
// every wait shares.
bool SignalEvent(Handle event);

}  // namespace os::detail
