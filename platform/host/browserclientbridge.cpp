#include "platform/host/browserclientbridge.h"

#include <map>
#include <vector>

#include "platform/host/browserclients.h"
#include "platform/host/hostobject.h"
#include "platform/host/hostservices.h"
#include "platform/host/mailbox.h"

namespace zorhost {
namespace {

// Hooks reach a bridge through its id, so that a hook already running when the bridge ends
// finds nothing instead of a freed bridge.
std::mutex bridgesMutex;
std::map<QINT64, std::weak_ptr<BrowserClientBridge>> bridges;

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

BrowserClientBridge::BrowserClientBridge(QINT64 clientId, Sink sink)
    : clientId_(clientId), sink_(std::move(sink)) {}

std::shared_ptr<BrowserClientBridge> BrowserClientBridge::Connect(Sink sink) {
  const QINT64 id = ConnectBrowserClient();
  std::shared_ptr<BrowserClientBridge> bridge(new BrowserClientBridge(id, std::move(sink)));
  {
    std::lock_guard lock(bridgesMutex);
    bridges[id] = bridge;
  }
  bridge->Scan();
  return bridge;
}

BrowserClientBridge::~BrowserClientBridge() {
  {
    std::lock_guard lock(bridgesMutex);
    bridges.erase(clientId_);
  }
  for (QID mailbox : fromServer_) {
    if (auto object = ObjectRegistry::Instance().Find(mailbox)) {
      object->hooks.Apply(Q_MAILBOX_MESSAGE + Q_UNHOOK, &OnServerMessage,
                          reinterpret_cast<void*>(clientId_));
    }
  }
  DisconnectBrowserClient(clientId_);
}

void BrowserClientBridge::Scan() {
  const std::wstring id = std::to_wstring(clientId_);
  const std::wstring toServer = L":FBClientToServer:" + id;
  const std::wstring fromServer = L":FBServerToClient:" + id;
  std::vector<QID> newServers;
  {
    std::lock_guard lock(mutex_);
    for (QID mailbox : ObjectRegistry::Instance().List(Q_MAILBOX)) {
      auto object = ObjectRegistry::Instance().Find(mailbox);
      if (object == nullptr) continue;
      const std::wstring name = object->Name();
      if (EndsWith(name, toServer)) toServer_.insert(mailbox);
      if (EndsWith(name, fromServer) && fromServer_.insert(mailbox).second) {
        object->hooks.Apply(Q_MAILBOX_MESSAGE, &OnServerMessage,
                            reinterpret_cast<void*>(clientId_));
        newServers.push_back(mailbox);
      }
    }
  }
  // Messages written before the hook was in place.
  for (QID mailbox : newServers) Deliver(mailbox);
}

void BrowserClientBridge::Send(QINT64 tag, const std::string& body) {
  Scan();
  std::vector<QID> targets;
  {
    std::lock_guard lock(mutex_);
    targets.assign(toServer_.begin(), toServer_.end());
  }
  for (QID mailbox : targets) {
    HostObjMessageWrite(mailbox, body.data(), static_cast<QINT64>(body.size()), tag, Q_DEFAULT);
  }
}

void BrowserClientBridge::Deliver(QID mailbox) {
  auto box = std::dynamic_pointer_cast<Mailbox>(ObjectRegistry::Instance().Find(mailbox));
  if (box == nullptr) return;
  while (auto message = box->Take()) {
    sink_(message->tag,
          std::string(reinterpret_cast<const char*>(message->body.data()), message->body.size()));
  }
}

QINT64 BrowserClientBridge::OnServerMessage(QINT64 /*hookType*/, QID event, void* user) {
  std::shared_ptr<BrowserClientBridge> bridge;
  {
    std::lock_guard lock(bridgesMutex);
    auto found = bridges.find(reinterpret_cast<QINT64>(user));
    if (found != bridges.end()) bridge = found->second.lock();
  }
  if (bridge == nullptr) return 0;
  if (auto object = ObjectRegistry::Instance().Find(event)) {
    if (auto mailbox = object->settings.Get(Q_OBJECT_ID)) bridge->Deliver(*mailbox);
  }
  return 0;
}

}  // namespace zorhost
