// Host services for drivers: the application, errors, the internal binding, function reports.
#include <chrono>
#include <thread>

#include "platform/host/answer.h"
#include "platform/host/application.h"
#include "platform/host/driverlibrary.h"
#include "platform/host/hostservices.h"
#include "platform/host/opcodenames.h"
#include "platform/host/processring.h"
#include "platform/host/systemops.h"
#include "platform/host/threadcontext.h"
#include "platform/host/tracefile.h"

using namespace zorhost;

namespace {

constexpr QINT64 kCountObjects = 20;
constexpr QINT64 kListObjects = 15;
constexpr QINT64 kHostFeatureLevel = 1;

QINT64 ReadError(QINT64 type, void* out) {
  QINT64 answer = 0;
  if (!InquireError(type, out, &answer)) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Unknown error type.");
  }
  return answer;
}

// The driver message of a code, from the driver whose ranges hold it.
std::wstring DriverMessage(QINT64 code) {
  for (DriverLibrary* driver : DriverLibrary::Loaded()) {
    if (driver->OwnsCode(code)) return driver->ErrorMessage(code, 0);
  }
  return {};
}

}  // namespace

ZOR_API QINT64 HostAppInquire(QID app, QINT64 type, void* out) {
  ApiScope scope(L"HostAppInquire");
  return InquireApplicationForDriver(app, type, out);
}

ZOR_API void HostAppControl(QID app, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostAppControl");
  if (type == zor::hostcommand::kTraceNoteControl) {
    if (value != 0) TraceNote(*reinterpret_cast<const zor::hostcommand::TraceNote*>(value));
    return;
  }
  ControlApplicationForDriver(app, type, value);
}

ZOR_API QINT64 HostAppGetError(QID /*app*/, QINT64 type, void* out) {
  ApiScope scope(L"HostAppGetError", false);
  return ReadError(type, out);
}

ZOR_API QINT64 HostGetError(QID /*reserved*/, QINT64 type, void* out) {
  ApiScope scope(L"HostGetError", false);
  return ReadError(type, out);
}

ZOR_API void HostErrorReset(QINT64 /*reserved1*/, QINT64 /*reserved2*/) { ClearError(); }

ZOR_API QINT64 HostAppHookFunction(QID app, QINT64 type, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"HostAppHookFunction");
  if (!IsApplication(app)) return 0;
  return ApplyHook(Application::Instance().Hooks(), type, function, user);
}

ZOR_API QINT64 HostAppGetHookInfo(QID /*app*/, QID event, QINT64 type, void* out) {
  ApiScope scope(L"HostAppGetHookInfo");
  auto object = LookupObject(event, 0);
  if (object == nullptr) return 0;
  QINT64 answer = 0;
  if (!AnswerCommon(*object, type, out, &answer)) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The event has no such information.");
  }
  return answer;
}

ZOR_API QINT64 HostAppListObjects(QID app, QINT64 operation, QINT64 objectType, QINT64 count,
                                  QID* list) {
  ApiScope scope(L"HostAppListObjects");
  if (!IsApplication(app)) return 0;
  const std::vector<QID> ids = ObjectRegistry::Instance().List(objectType);
  if (operation == kListObjects) {
    if (list == nullptr && count > 0) {
      RecordError(Q_ERR_NULL_POINTER, L"No list to fill.");
      return 0;
    }
    for (size_t i = 0; i < ids.size() && static_cast<QINT64>(i) < count; ++i) list[i] = ids[i];
  } else if (operation != kCountObjects) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Unknown list operation.");
    return 0;
  }
  return static_cast<QINT64>(ids.size());
}

ZOR_API QINT64 HostInternalInquire(QID object, QINT64 type, void* out) {
  ApiScope scope(L"HostInternalInquire", false);
  switch (type) {
    case Q_ENTER_THREAD_CONTEXT:
      CurrentThread();  // the host's context of a thread is made on first use
      return AnswerValue(out, 1);
    case Q_SAVE_ERROR_STATE:
      return AnswerValue(out, SaveErrorState());
    case Q_HOST_FEATURE_LEVEL:
      return AnswerValue(out, kHostFeatureLevel);
    case Q_OPCODE_FUNCTION_NAME:
      return AnswerText(OpcodeFunctionName(object), type, out);
    case Q_DRIVER_DATA_BLOCK:
      return AnswerValue(out, Application::Instance().driverDataBlock);
    default:
      break;
  }
  auto target = LookupObject(object, 0);
  if (target == nullptr) return 0;
  switch (type) {
    case Q_DRIVER_DATA:
      return AnswerValue(out, reinterpret_cast<QINT64>(target->driverData));
    case Q_INTERNAL_OBJECT_TYPE:
      return AnswerValue(out, target->type);
    default:
      break;
  }
  QINT64 answer = 0;
  if (!AnswerCommon(*target, type, out, &answer)) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"Internal inquire type " + std::to_wstring(type) + L".");
  }
  return answer;
}

ZOR_API void HostInternalControl(QID object, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostInternalControl", false);
  switch (type) {
    case Q_LEAVE_THREAD_CONTEXT:
      return;  // the context lives as long as its thread
    case Q_RESTORE_ERROR_STATE:
      if (value != 0) RestoreErrorState(*reinterpret_cast<const QINT64*>(value));
      return;
    case Q_DRIVER_DATA_BLOCK:
      Application::Instance().driverDataBlock = value;
      return;
    case zor::hostcommand::kLibraryLoading:
    case zor::hostcommand::kLibraryLoaded:
      TraceLibraryNote(type, object, reinterpret_cast<const wchar_t*>(value));
      return;
    default:
      break;
  }
  // The driver's note on the memory of a frame it delivers: the thread keeps its ring.
  if (const ProcessRing::Entry* entry = ProcessRing::Cached(object)) {
    if (entry->memoryObject != nullptr) {
      entry->memoryObject->settings.Set(type, value);
      return;
    }
  }
  // Notices about objects the host does not know (libraries, brackets) need no answer.
  if (auto target = ObjectRegistry::Instance().Find(object)) target->settings.Set(type, value);
}

ZOR_API void HostSleep(QINT64 milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0));
}

ZOR_API QID HostFuncAlloc(const wchar_t* name, QINT64 /*initFlag*/, QID* out) {
  ApiScope scope(L"HostFuncAlloc");
  return AddNamedObject(Q_FUNCTION_CONTEXT, name, out);
}

ZOR_API void HostFuncErrorReport(QID function, QINT64 code, const wchar_t* /*format*/,
                                 const wchar_t* text1, const wchar_t* text2, const wchar_t* text3) {
  ApiScope scope(L"HostFuncErrorReport", false);
  auto context = LookupObject(function, Q_FUNCTION_CONTEXT);
  if (context == nullptr) return;
  if (code == 0) {
    ClearError();
    return;
  }
  HostError error;
  error.code = code;
  error.function = context->Name();
  error.message = DriverMessage(code);
  const wchar_t* texts[3] = {text1, text2, text3};
  for (int i = 0; i < 3 && texts[i] != nullptr; ++i) {
    error.sub[i] = 5 + i;
    error.subText[i] = std::wstring(texts[i]);
  }
  RecordError(std::move(error));
}

ZOR_API void HostFuncFree(QID function) {
  ApiScope scope(L"HostFuncFree", false);
  if (auto context = LookupObject(function, Q_FUNCTION_CONTEXT)) FreeObject(context);
}
