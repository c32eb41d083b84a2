// One browser client whose messages travel through the mailbox pairs that the feature-browser
// servers of the process make for it, one pair per server.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/host/qtypes.h"

namespace zorhost {

class BrowserClientBridge {
 public:
  // Called on the thread of the server that wrote; must not block.
  using Sink = std::function<void(QINT64 tag, std::string body)>;

  // Announces a new client (on the calling thread) and picks up the mailboxes made for it.
  static std::shared_ptr<BrowserClientBridge> Connect(Sink sink);
  // Stops the delivery, then announces the client's end.
  ~BrowserClientBridge();
  BrowserClientBridge(const BrowserClientBridge&) = delete;
  BrowserClientBridge& operator=(const BrowserClientBridge&) = delete;

  QINT64 ClientId() const { return clientId_; }
  // Writes the message into every client-to-server mailbox of this client. A server that made
  // its pair after the connection is found here.
  void Send(QINT64 tag, const std::string& body);

 private:
  BrowserClientBridge(QINT64 clientId, Sink sink);
  void Scan();
  void Deliver(QID mailbox);
  static QINT64 OnServerMessage(QINT64 hookType, QID event, void* user);

  const QINT64 clientId_;
  const Sink sink_;
  std::mutex mutex_;
  std::set<QID> toServer_;
  std::set<QID> fromServer_;
};

}  // namespace zorhost
