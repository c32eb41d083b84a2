// Host services for drivers: systems and digitizers.
#include "platform/host/boardobjects.h"
#include "platform/host/bufferops.h"
#include "platform/host/digitizerops.h"
#include "platform/host/hostservices.h"
#include "platform/host/processring.h"
#include "platform/host/systemops.h"
#include "platform/host/threadcontext.h"

using namespace zorhost;

namespace {

constexpr QINT64 kProcessDoneEvent = 0x40000000;  // a buffer's processing function returned
constexpr QINT64 kProcessDoneHook = 21;
constexpr QINT64 kProcessIndex = 0x401B0000;  // the buffer's place in the processing list

// The processing function, then the buffer's processing-done hooks.
void NotifyProcessed(const BufferObject& buffer, QID eventId, QHOOK_FUNCTION function, void* user,
                     QINT64 flags) {
  // The caller of the notice is on the stack and answers for what the function throws: a
  // driver ends the run it belongs to.
  if (function != nullptr) function(flags, eventId, user);
  buffer.hooks.Call(kProcessDoneHook, kProcessDoneEvent, eventId);
}

}  // namespace

ZOR_API QID HostSysAlloc(QID app, const wchar_t* descriptor, QINT64 number, QINT64 initFlag,
                         QID* out) {
  ApiScope scope(L"HostSysAlloc");
  return AllocateSystem(app, descriptor, number, initFlag, out);
}

ZOR_API void HostSysFree(QID system) {
  ApiScope scope(L"HostSysFree");
  FreeSystem(system);
}

ZOR_API QINT64 HostSysInquire(QID system, QINT64 type, void* out) {
  ApiScope scope(L"HostSysInquire");
  return InquireSystem(system, type, out);
}

ZOR_API void HostSysControl(QID system, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostSysControl");
  ControlSystem(system, type, value);
}

ZOR_API void HostSysControlDouble(QID system, QINT64 type, double value) {
  ApiScope scope(L"HostSysControlDouble");
  ControlSystemDouble(system, type, value);
}

ZOR_API QID HostDigAlloc(QID system, QINT64 number, const wchar_t* format, QINT64 initFlag,
                         QID* out) {
  ApiScope scope(L"HostDigAlloc");
  return AllocateDigitizer(system, number, format, initFlag, out);
}

ZOR_API void HostDigFree(QID digitizer) {
  ApiScope scope(L"HostDigFree");
  FreeDigitizer(digitizer);
}

ZOR_API QINT64 HostDigInquire(QID digitizer, QINT64 type, void* out) {
  ApiScope scope(L"HostDigInquire");
  return InquireDigitizer(digitizer, type, out);
}

ZOR_API void HostDigControl(QID digitizer, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostDigControl");
  ControlDigitizer(digitizer, type, value);
}

ZOR_API void HostDigControlDouble(QID digitizer, QINT64 type, double value) {
  ApiScope scope(L"HostDigControlDouble");
  ControlDigitizerDouble(digitizer, type, value);
}

ZOR_API void HostDigProcessNotify(QID bufferId, QHOOK_FUNCTION function, void* user,
                                  QINT64 /*count*/, QINT64 /*further*/, QINT64 /*reserved*/,
                                  QINT64 flags, double /*rate*/) {
  ApiScope scope(L"HostDigProcessNotify");
  // A buffer of a running QdigProcess: its ring was resolved when the run started.
  if (const ProcessRing::Entry* entry = ProcessRing::Find(bufferId)) {
    if (function == nullptr) {
      function = entry->ring->Function();
      user = entry->ring->User();
    }
    NotifyProcessed(*entry->buffer, entry->event, function, user, flags);
    return;
  }
  // The driver names the memory it made for its buffer; the application knows the buffer.
  auto buffer = BoardBufferOf(Lookup<BufferObject>(bufferId, Q_IMAGE));
  if (buffer == nullptr) return;
  if (function == nullptr) {
    // Without a function of its own the buffer goes to the processing function of the
    // digitizer that processes into it.
    auto digitizer = std::dynamic_pointer_cast<DigitizerObject>(
        ObjectRegistry::Instance().Find(buffer->processDigitizer));
    if (digitizer != nullptr) {
      function = digitizer->processFunction;
      user = digitizer->processUser;
    }
  }
  auto event = std::make_shared<HostObject>(Q_HOOK_EVENT, buffer->owner);
  event->settings.Set(Q_OBJECT_ID, buffer->id);
  event->settings.Set(kProcessIndex, buffer->processIndex);
  const QID eventId = ObjectRegistry::Instance().Add(event);
  NotifyProcessed(*buffer, eventId, function, user, flags);
  ObjectRegistry::Instance().Remove(eventId);
}
