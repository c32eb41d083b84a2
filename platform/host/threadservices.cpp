// Host services for drivers: threads and events.
#include "platform/host/hostobject.h"
#include "platform/host/hostservices.h"
#include "platform/host/threadcontext.h"
#include "platform/host/threadops.h"

using namespace zorhost;

ZOR_API QID HostThrAlloc(QID owner, QINT64 kind, QINT64 /*flags*/, QTHREAD_FUNCTION function,
                         void* user, QID* out) {
  ApiScope scope(L"HostThrAlloc");
  return AllocateHostThread(owner, kind, function, user, out);
}

ZOR_API QINT64 HostThrWait(QID thread, QINT64 waitWord, QINT64* result) {
  ApiScope scope(L"HostThrWait");
  return WaitHostThread(thread, waitWord, result);
}

ZOR_API void HostThrControl(QID thread, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostThrControl");
  if (auto object = LookupObject(thread, 0)) object->settings.Set(type, value);
}

ZOR_API void HostThrFree(QID thread) {
  ApiScope scope(L"HostThrFree");
  FreeHostThread(thread);
}

ZOR_API QID HostEventAlloc(QID owner, QINT64 /*initFlag*/, QINT64 kind, void* data) {
  ApiScope scope(L"HostEventAlloc");
  return AllocateHostEvent(owner, kind == Q_EVENT ? Q_EVENT : Q_HOOK_EVENT, data);
}

ZOR_API QID HostEventAttach(QID owner, QINT64 type, void* driverData) {
  ApiScope scope(L"HostEventAttach");
  return AllocateHostEvent(owner, type == Q_EVENT ? Q_EVENT : Q_HOOK_EVENT, driverData);
}

ZOR_API void HostEventFree(QID /*owner*/, QID event) {
  ApiScope scope(L"HostEventFree");
  FreeHostEvent(event);
}
