// Qapp and Qsys: the application and its systems.
#include "platform/host/answer.h"
#include "platform/host/application.h"
#include "platform/host/featureops.h"
#include "platform/host/systemops.h"
#include "platform/host/threadcontext.h"
#include "platform/host/zor.h"

using namespace zorhost;

ZOR_API QID QappAlloc(const wchar_t* name, QINT64 /*initFlag*/, QID* out) {
  ApiScope scope(L"QappAlloc");
  return AddNamedObject(Q_APPLICATION, name, out);
}

ZOR_API void QappFree(QID app) {
  ApiScope scope(L"QappFree");
  if (auto object = LookupObject(app, Q_APPLICATION)) FreeObject(object);
}

ZOR_API QINT64 QappInquire(QID app, QINT64 type, void* out) {
  ApiScope scope(L"QappInquire");
  return InquireApplication(app, type, out);
}

ZOR_API void QappControl(QID app, QINT64 type, QINT64 value) {
  ApiScope scope(L"QappControl");
  ControlApplication(app, type, value);
}

ZOR_API QINT64 QappGetError(QID app, QINT64 type, void* out) {
  ApiScope scope(L"QappGetError", false);
  static_cast<void>(app);  // errors belong to the calling thread
  QINT64 answer = 0;
  if (!InquireError(type, out, &answer)) return 0;
  return answer;
}

ZOR_API QINT64 QappHookFunction(QID app, QINT64 type, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"QappHookFunction");
  if (!IsApplication(app)) return 0;
  if ((type & ~Q_UNHOOK) != Q_ERROR_CURRENT ||
      !Application::Instance().Hooks().Apply(type, function, user)) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Invalid hook type or function.");
    return 0;
  }
  return 1;
}

ZOR_API QID QsysAlloc(QID app, const wchar_t* descriptor, QINT64 number, QINT64 initFlag,
                      QID* out) {
  ApiScope scope(L"QsysAlloc");
  return AllocateSystem(app, descriptor, number, initFlag, out);
}

ZOR_API void QsysFree(QID system) {
  ApiScope scope(L"QsysFree");
  FreeSystem(system);
}

ZOR_API QINT64 QsysInquire(QID system, QINT64 type, void* out) {
  ApiScope scope(L"QsysInquire");
  return InquireSystem(system, type, out);
}

ZOR_API void QsysControl(QID system, QINT64 type, QINT64 value) {
  ApiScope scope(L"QsysControl");
  ControlSystem(system, type, value);
}

ZOR_API void QsysControlDouble(QID system, QINT64 type, double value) {
  ApiScope scope(L"QsysControlDouble");
  ControlSystemDouble(system, type, value);
}

ZOR_API void QsysControlFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                const void* value) {
  ApiScope scope(L"QsysControlFeature");
  ControlSystemFeature(system, flag, feature, dataType, value);
}

ZOR_API void QsysInquireFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                void* value, QINT64 size) {
  ApiScope scope(L"QsysInquireFeature");
  InquireSystemFeature(system, flag, feature, dataType, value, size);
}

ZOR_API void QsysIoCommand(QID system, QINT64 operation, QINT64 direction, QINT64 address,
                           QINT64 count, void* data) {
  ApiScope scope(L"QsysIoCommand");
  IoCommandSystem(system, operation, direction, address, count, data);
}

ZOR_API QINT64 QsysHookFunction(QID system, QINT64 type, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"QsysHookFunction");
  return HookSystem(system, type, function, user);
}

ZOR_API QINT64 QsysGetHookInfo(QID event, QINT64 type, void* out) {
  ApiScope scope(L"QsysGetHookInfo");
  return SystemHookInfo(event, type, out);
}
