// Browser programs that reach the feature-browser servers of the process through mailboxes.
#pragma once

#include "platform/host/qtypes.h"

namespace zorhost {

// A new client: a fresh 64-bit id, announced to the application's Q_BROWSER_CLIENT_CONNECTED
// hooks on the calling thread before it is returned.
QINT64 ConnectBrowserClient();
// Announces the client's end to the Q_BROWSER_CLIENT_DISCONNECTED hooks.
void DisconnectBrowserClient(QINT64 clientId);

}  // namespace zorhost
