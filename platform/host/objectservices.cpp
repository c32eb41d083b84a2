// Host services for drivers: generic objects, mailboxes, sequences and displays.
#include "platform/host/answer.h"
#include "platform/host/browserclients.h"
#include "platform/host/hostservices.h"
#include "platform/host/httpserverobject.h"
#include "platform/host/mailbox.h"
#include "platform/host/threadcontext.h"

using namespace zorhost;

namespace {

constexpr QINT64 kMailboxLimit = 247;

QINT64 InquireSettings(QID id, QINT64 objectType, QINT64 type, void* out) {
  auto object = LookupObject(id, objectType);
  if (object == nullptr) return 0;
  QINT64 answer = 0;
  if (!AnswerCommon(*object, type, out, &answer)) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"Inquire type " + std::to_wstring(type) + L" is not set.");
  }
  return answer;
}

void ControlSettings(QID id, QINT64 objectType, QINT64 type, QINT64 value) {
  if (auto object = LookupObject(id, objectType)) object->settings.Set(type, value);
}

void ControlHttpServer(HttpServerObject& server, QINT64 type, QINT64 value) {
  const auto* text = reinterpret_cast<const wchar_t*>(value);
  switch (type) {
    case Q_HTTP_ROOT_FOLDER:
      server.SetRootFolder(text != nullptr ? text : L"");
      return;
    case Q_HTTP_URL:
      server.SetUrl(text != nullptr ? text : L"");
      return;
    case Q_HTTP_START:
      server.Start();
      return;
    case Q_HTTP_STOP:
      server.Stop();
      return;
    default:
      server.settings.Set(type, value);
  }
}

}  // namespace

ZOR_API QID HostObjAlloc(QID system, QINT64 objectType, QINT64 /*initFlag*/, QID* out) {
  ApiScope scope(L"HostObjAlloc");
  if (out != nullptr) *out = 0;
  if (!IsDefaultHostId(system) && LookupObject(system, Q_SYSTEM) == nullptr) return 0;
  std::shared_ptr<HostObject> object;
  if (objectType == Q_MAILBOX) {
    object = std::make_shared<Mailbox>(system);
  } else if (objectType == Q_HTTP_SERVER) {
    object = std::make_shared<HttpServerObject>(system);
  } else if (objectType == Q_SEQUENCE || objectType == Q_DISPLAY) {
    object = std::make_shared<HostObject>(objectType, system);
  } else {
    RecordError(Q_ERR_NOT_SUPPORTED, L"Objects of type " + std::to_wstring(objectType) + L".");
    return 0;
  }
  const QID id = ObjectRegistry::Instance().Add(object);
  if (out != nullptr) *out = id;
  return id;
}

ZOR_API void HostObjFree(QID object) {
  ApiScope scope(L"HostObjFree");
  if (auto target = LookupObject(object, 0)) FreeObject(target);
}

ZOR_API QINT64 HostObjInquire(QID object, QINT64 type, void* out) {
  ApiScope scope(L"HostObjInquire");
  if (auto server =
          std::dynamic_pointer_cast<HttpServerObject>(ObjectRegistry::Instance().Find(object))) {
    switch (PlainType(type)) {
      case Q_HTTP_STATE:
        return AnswerValue(out, server->State());
      case Q_HTTP_URL:
        return AnswerText(server->Url(), type, out);
      case Q_HTTP_ROOT_FOLDER:
        return AnswerText(server->RootFolder(), type, out);
      case kHttpClientBytes:
      case kHttpMostClientBytes:
        return AnswerValue(
            out, static_cast<QINT64>(server->ClientBytes(PlainType(type) == kHttpMostClientBytes)));
      default:
        break;
    }
  }
  return InquireSettings(object, 0, type, out);
}

ZOR_API void HostObjControl(QID object, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostObjControl");
  auto target = LookupObject(object, 0);
  if (target == nullptr) return;
  if (type == Q_OBJECT_NAME) {
    target->SetName(value != 0 ? reinterpret_cast<const wchar_t*>(value) : L"");
  } else if (type == kMailboxLimit && target->type == Q_MAILBOX) {
    static_cast<Mailbox&>(*target).SetLimit(value);
  } else if (target->type == Q_HTTP_SERVER) {
    ControlHttpServer(static_cast<HttpServerObject&>(*target), type, value);
  } else {
    target->settings.Set(type, value);
  }
}

ZOR_API QINT64 HostObjHookFunction(QID object, QINT64 type, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"HostObjHookFunction");
  auto target = LookupObject(object, 0);
  if (target == nullptr) return 0;
  return ApplyHook(target->hooks, type, function, user);
}

ZOR_API QINT64 HostObjGetHookInfo(QID event, QINT64 type, void* out) {
  ApiScope scope(L"HostObjGetHookInfo");
  return EventInfo(event, type, out);
}

ZOR_API QINT64 HostObjMessageWrite(QID mailbox, const void* data, QINT64 length, QINT64 tag,
                                   QINT64 /*flag*/) {
  ApiScope scope(L"HostObjMessageWrite");
  auto target = Lookup<Mailbox>(mailbox, Q_MAILBOX);
  if (target == nullptr) return 0;
  if (length < 0 || (length > 0 && data == nullptr)) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Invalid message.");
    return 0;
  }
  HostError error;
  if (!target->Write(data, length, tag, &error)) {
    RecordError(std::move(error));
    return 0;
  }
  if (target->hooks.Has(Q_MAILBOX_MESSAGE)) {
    auto event = std::make_shared<HostObject>(Q_HOOK_EVENT, target->owner);
    event->settings.Set(Q_OBJECT_ID, mailbox);
    const QID eventId = ObjectRegistry::Instance().Add(event);
    target->hooks.Call(Q_MAILBOX_MESSAGE, Q_MAILBOX_MESSAGE, eventId);
    ObjectRegistry::Instance().Remove(eventId);
  }
  return length;
}

ZOR_API QINT64 HostObjMessageRead(QID mailbox, void* data, QINT64 size, QINT64* outSize,
                                  QINT64* outTag, QINT64* outSpare, QINT64 /*flag*/) {
  ApiScope scope(L"HostObjMessageRead");
  auto target = Lookup<Mailbox>(mailbox, Q_MAILBOX);
  if (target == nullptr) return 0;
  HostError error;
  const QINT64 length = target->Read(data, size, outTag, &error);
  if (error.code != 0) RecordError(std::move(error));
  if (outSize != nullptr) *outSize = length;
  if (outSpare != nullptr) *outSpare = 0;
  return length;
}

ZOR_API QINT64 HostSeqInquire(QID sequence, QINT64 /*index*/, QINT64 type, void* out) {
  ApiScope scope(L"HostSeqInquire");
  return InquireSettings(sequence, Q_SEQUENCE, type, out);
}

ZOR_API void HostSeqControl(QID sequence, QINT64 /*index*/, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostSeqControl");
  ControlSettings(sequence, Q_SEQUENCE, type, value);
}

ZOR_API void HostSeqControlDouble(QID sequence, QINT64 /*index*/, QINT64 type, double value) {
  ApiScope scope(L"HostSeqControlDouble");
  ControlSettings(sequence, Q_SEQUENCE, type, ToInteger(value));
}

ZOR_API QINT64 HostDispInquire(QID display, QINT64 type, void* out) {
  ApiScope scope(L"HostDispInquire");
  return InquireSettings(display, Q_DISPLAY, type, out);
}

ZOR_API void HostDispControl(QID display, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostDispControl");
  ControlSettings(display, Q_DISPLAY, type, value);
}

ZOR_API void HostDispControlDouble(QID display, QINT64 type, double value) {
  ApiScope scope(L"HostDispControlDouble");
  ControlSettings(display, Q_DISPLAY, type, ToInteger(value));
}

ZOR_API QINT64 HostAppClientConnect(QID /*app*/) {
  ApiScope scope(L"HostAppClientConnect");
  return ConnectBrowserClient();
}

ZOR_API void HostAppClientDisconnect(QID /*app*/, QINT64 clientId) {
  ApiScope scope(L"HostAppClientDisconnect");
  DisconnectBrowserClient(clientId);
}
