#include "platform/host/browserclients.h"

#include <atomic>
#include <memory>

#include "platform/host/application.h"
#include "platform/host/hostobject.h"

namespace zorhost {
namespace {

// Ids start above 32 bits, so that a server that cuts them short is caught.
std::atomic<QINT64> nextClientId{(QINT64{1} << 32) + 1};

void Announce(QINT64 hookType, QINT64 clientId) {
  const HookList& hooks = Application::Instance().Hooks();
  if (!hooks.Has(hookType)) return;
  auto event = std::make_shared<HostObject>(Q_HOOK_EVENT, 0);
  event->settings.Set(Q_BROWSER_CLIENT_ID, clientId);
  const QID eventId = ObjectRegistry::Instance().Add(event);
  hooks.Call(hookType, hookType, eventId);
  ObjectRegistry::Instance().Remove(eventId);
}

}  // namespace

QINT64 ConnectBrowserClient() {
  const QINT64 id = nextClientId.fetch_add(1);
  Announce(Q_BROWSER_CLIENT_CONNECTED, id);
  return id;
}

void DisconnectBrowserClient(QINT64 clientId) { Announce(Q_BROWSER_CLIENT_DISCONNECTED, clientId); }

}  // namespace zorhost
