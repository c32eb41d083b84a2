// ClientConnection: makes and releases the two host mailboxes of one browser client.
#include "driver/frameworkuser/genicam/featurebrowser/clientconnection.h"

#include "driver/frameworkuser/genicam/featurebrowser/hosterrorcheck.h"
#include "driver/frameworkuser/genicam/featurebrowser/publisherlog.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr QINT64 kMailboxInitFlag = 2048;
constexpr QINT64 kQueueControl = 247;
constexpr QINT64 kQueueSetting = 16;

QID MakeMailbox(QID system, const std::wstring& name) {
  const QID mailbox = HostObjAlloc(system, Q_MAILBOX, kMailboxInitFlag, nullptr);
  ThrowOnHostError(true);
  HostObjControl(mailbox, Q_OBJECT_NAME, reinterpret_cast<QINT64>(name.c_str()));
  if (ThrowOnHostError(false)) {
    HostObjFree(mailbox);
    ThrowOnHostError(true);
  }
  HostObjControl(mailbox, kQueueControl, kQueueSetting);
  return mailbox;
}

}  // namespace

std::wstring ClientConnection::MailboxName(const std::wstring& systemName, const wchar_t* stem,
                                           QINT64 clientId) {
  return systemName + L":" + stem + L":" + std::to_wstring(clientId);
}

ClientConnection::ClientConnection(QID system, const std::wstring& systemName, QINT64 clientId,
                                   QHOOK_FUNCTION callback, void* user,
                                   const foundation::CLogProvider& log)
    : log_(log), clientId_(clientId), callback_(callback), user_(user) {
  try {
    toClient_ = MakeMailbox(system, MailboxName(systemName, kServerToClientStem, clientId));
    ThrowOnHostError(true);
    toServer_ = MakeMailbox(system, MailboxName(systemName, kClientToServerStem, clientId));
    ThrowOnHostError(true);
    HostObjHookFunction(toServer_, Q_MAILBOX_MESSAGE, callback_, user_);
    ThrowOnHostError(true);
    hooked_ = true;
  } catch (...) {
    Release();
    throw;
  }
  LogPublisherEvent(log_, PublisherEvent::kConnectionMade);
}

ClientConnection::~ClientConnection() {
  Release();
  LogPublisherEvent(log_, PublisherEvent::kConnectionDestroyed);
}

void ClientConnection::Release() {
  if (hooked_) HostObjHookFunction(toServer_, Q_MAILBOX_MESSAGE + Q_UNHOOK, callback_, user_);
  hooked_ = false;
  if (toServer_ != 0) HostObjFree(toServer_);
  if (toClient_ != 0) HostObjFree(toClient_);
  toServer_ = toClient_ = 0;
}

void ClientConnection::Write(QINT64 tag, const std::string& body) const {
  HostObjMessageWrite(toClient_, body.data(), static_cast<QINT64>(body.size()), tag, Q_DEFAULT);
}

}  // namespace zor::genicam
