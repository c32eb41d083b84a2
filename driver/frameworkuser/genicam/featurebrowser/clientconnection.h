// The two mailboxes of one browser client of one publishing system.
#pragma once

#include <string>

#include "driver/foundation/logprovider.h"
#include "platform/host/qtypes.h"

namespace zor::genicam {

class ClientConnection {
 public:
  // Makes the server-to-client and the client-to-server mailbox and hooks message arrival on
  // the latter. Throws the host's error (kFeatureBrowserError, sub-code 2); whatever was made is
  // freed again. The log source is the publisher's, so its records name the same system.
  ClientConnection(QID system, const std::wstring& systemName, QINT64 clientId,
                   QHOOK_FUNCTION callback, void* user, const foundation::CLogProvider& log);
  // Unhooks, then frees both mailboxes.
  ~ClientConnection();
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

  static std::wstring MailboxName(const std::wstring& systemName, const wchar_t* stem,
                                  QINT64 clientId);

  QINT64 ClientId() const { return clientId_; }
  QID ToServer() const { return toServer_; }
  QID ToClient() const { return toClient_; }
  void Write(QINT64 tag, const std::string& body) const;

 private:
  void Release();

  foundation::CLogProvider log_;
  QINT64 clientId_;
  QID toClient_ = 0;
  QID toServer_ = 0;
  QHOOK_FUNCTION callback_;
  void* user_;
  bool hooked_ = false;
};

inline constexpr const wchar_t* kClientToServerStem = L"FBClientToServer";
inline constexpr const wchar_t* kServerToClientStem = L"FBServerToClient";

}  // namespace zor::genicam
