// Qdig: digitizers of board systems.
#include "platform/host/digitizerops.h"
#include "platform/host/threadcontext.h"
#include "platform/host/zor.h"

using namespace zorhost;

ZOR_API QID QdigAlloc(QID system, QINT64 number, const wchar_t* format, QINT64 initFlag, QID* out) {
  ApiScope scope(L"QdigAlloc");
  return AllocateDigitizer(system, number, format, initFlag, out);
}

ZOR_API void QdigFree(QID digitizer) {
  ApiScope scope(L"QdigFree");
  FreeDigitizer(digitizer);
}

ZOR_API QINT64 QdigInquire(QID digitizer, QINT64 type, void* out) {
  ApiScope scope(L"QdigInquire");
  return InquireDigitizer(digitizer, type, out);
}

ZOR_API void QdigControl(QID digitizer, QINT64 type, QINT64 value) {
  ApiScope scope(L"QdigControl");
  ControlDigitizer(digitizer, type, value);
}

ZOR_API void QdigControlDouble(QID digitizer, QINT64 type, double value) {
  ApiScope scope(L"QdigControlDouble");
  ControlDigitizerDouble(digitizer, type, value);
}

ZOR_API void QdigGrab(QID digitizer, QID buffer) {
  ApiScope scope(L"QdigGrab");
  GrabDigitizer(digitizer, buffer, false);
}

ZOR_API void QdigGrabContinuous(QID digitizer, QID buffer) {
  ApiScope scope(L"QdigGrabContinuous");
  GrabDigitizer(digitizer, buffer, true);
}

ZOR_API void QdigGrabWait(QID digitizer, QINT64 flag) {
  ApiScope scope(L"QdigGrabWait");
  WaitDigitizer(digitizer, flag);
}

ZOR_API void QdigGrabAbort(QID digitizer) {
  ApiScope scope(L"QdigGrabAbort");
  AbortDigitizerGrab(digitizer);
}

ZOR_API void QdigHalt(QID digitizer) {
  ApiScope scope(L"QdigHalt");
  HaltDigitizer(digitizer);
}

ZOR_API void QdigProcess(QID digitizer, const QID* buffers, QINT64 count, QINT64 operation,
                         QINT64 operationFlag, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"QdigProcess");
  ProcessDigitizer(digitizer, buffers, count, operation, operationFlag, function, user);
}

ZOR_API QINT64 QdigHookFunction(QID digitizer, QINT64 type, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"QdigHookFunction");
  return HookDigitizer(digitizer, type, function, user);
}

ZOR_API QINT64 QdigGetHookInfo(QID event, QINT64 type, void* out) {
  ApiScope scope(L"QdigGetHookInfo");
  return DigitizerHookInfo(event, type, out);
}

ZOR_API void QdigControlFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                const void* value) {
  ApiScope scope(L"QdigControlFeature");
  ControlFeature(digitizer, flag, feature, dataType, value);
}

ZOR_API void QdigInquireFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                void* value, QINT64 size) {
  ApiScope scope(L"QdigInquireFeature");
  InquireFeature(digitizer, flag, feature, dataType, value, size);
}
