#include "platform/host/systemops.h"

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/answer.h"
#include "platform/host/command.h"
#include "platform/host/driverlibrary.h"

namespace zorhost {
namespace {

// A board system's type is the driver's answer.
constexpr QINT64 kHostSystemType = 1;

// What a host system answers of its own; nobody sets it.
bool IsAnsweredType(QINT64 type) {
  switch (PlainType(type)) {
    case Q_SYSTEM_DESCRIPTOR:
    case Q_NUMBER:
    case Q_SYSTEM_TYPE:
    case Q_DIGITIZER_NUM:
      return true;
    default:
      return false;
  }
}

// Tells the driver the host id of its new system.
bool AnnounceHostId(SystemObject& system) {
  Command command(zor::hostcommand::kSysControl, system.driverIndex);
  command.Object(system.id, system.driverIndex).Integer(Q_HOST_OBJECT_ID).Integer(system.id);
  return Execute(system, command);
}

bool AllocateBoardSystem(const std::shared_ptr<SystemObject>& system, QID app, QINT64 initFlag) {
  QINT64 index = 0;
  Command command(zor::hostcommand::kSysAlloc, 0);
  command.Object(app, 0)
      .Text(system->descriptor.c_str())
      .Integer(system->number)
      .Integer(initFlag)
      .Address(&index);
  if (!Execute(*system, command)) return false;
  if (index <= 0) {
    RecordError(Q_ERR_DRIVER, L"The driver gave no system.");
    return false;
  }
  system->driverIndex = index;
  if (AnnounceHostId(*system)) return true;
  Command release(zor::hostcommand::kSysFree, index);
  release.Object(system->id, index);
  system->driver->Decode(release.Record());
  return false;
}

template <class Value>
void ControlSystemValue(QID id, QINT64 type, Value value) {
  SystemObject* system = LookupSystemForCall(id);
  if (system == nullptr) return;
  if (system->driver == nullptr) {
    if (IsAnsweredType(type)) {
      RecordError(Q_ERR_NOT_SUPPORTED,
                  L"Control type " + std::to_wstring(type) + L" is not supported.");
      return;
    }
    system->settings.Set(type, SettingValue(value));
    return;
  }
  Command command(zor::hostcommand::kSysControl, system->driverIndex);
  command.Object(system->id, system->driverIndex).Integer(type).Value(value);
  Execute(*system, command);
}

}  // namespace

bool IsApplication(QID app) {
  if (app == Q_DEFAULT) return true;
  return LookupObject(app, Q_APPLICATION) != nullptr;
}

QID AllocateSystem(QID app, const wchar_t* descriptor, QINT64 number, QINT64 initFlag, QID* out) {
  if (out != nullptr) *out = 0;
  if (!IsApplication(app)) return 0;
  if (descriptor == nullptr) {
    RecordError(Q_ERR_NULL_POINTER, L"No system descriptor.");
    return 0;
  }
  const std::wstring name = descriptor;
  DriverLibrary* driver = nullptr;
  if (DriverLibrary::IsBoardDescriptor(name)) {
    HostError error;
    driver = DriverLibrary::ForDescriptor(name, &error);
    if (driver == nullptr) {
      RecordError(std::move(error));
      return 0;
    }
  } else if (name != L"Q_SYSTEM_HOST" && name != L"Q_DEFAULT") {
    RecordError(Q_ERR_SYSTEM_NOT_FOUND, L"Unknown system descriptor: " + name);
    return 0;
  }
  auto system = std::make_shared<SystemObject>(name, number, driver);
  ObjectRegistry::Instance().Add(system);
  if (driver != nullptr && !AllocateBoardSystem(system, app, initFlag)) {
    ObjectRegistry::Instance().Remove(system->id);
    return 0;
  }
  if (out != nullptr) *out = system->id;
  return system->id;
}

void FreeSystem(QID id) {
  std::shared_ptr<SystemObject> system = Lookup<SystemObject>(id, Q_SYSTEM);
  if (system == nullptr) return;
  if (IsDefaultHostId(id)) {
    RecordError(Q_ERR_INVALID_ID, L"The default host system cannot be freed.");
    return;
  }
  if (system->driver != nullptr) {
    Command command(zor::hostcommand::kSysFree, system->driverIndex);
    command.Object(system->id, system->driverIndex);
    Execute(*system, command);
  }
  FreeObject(system);
}

void IoCommandSystem(QID id, QINT64 operation, QINT64 direction, QINT64 address, QINT64 count,
                     void* data) {
  SystemObject* system = LookupSystemForCall(id);
  if (system == nullptr) return;
  if (system->driver == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The host system has no I/O space.");
    return;
  }
  Command command(zor::hostcommand::kSysIoCommand, system->driverIndex);
  command.Object(system->id, system->driverIndex)
      .Integer(0)
      .Integer(0)
      .Integer(operation)
      .Integer(direction)
      .Integer(address)
      .Integer(count)
      .Address(data);
  Execute(*system, command);
}

QINT64 HookSystem(QID id, QINT64 type, QHOOK_FUNCTION function, void* user) {
  SystemObject* system = LookupSystemForCall(id);
  if (system == nullptr) return 0;
  if (system->driver == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The host system has no system hooks.");
    return 0;
  }
  Command command(zor::hostcommand::kSysHookFunction, system->driverIndex);
  command.Integer(type).Function(reinterpret_cast<void*>(function)).Address(user);
  return Execute(*system, command) ? 1 : 0;
}

QINT64 SystemHookInfo(QID eventId, QINT64 type, void* out) {
  auto event = LookupObject(eventId, 0);
  if (event == nullptr) return 0;
  auto system = BoardSystemOf(*event);
  if (system == nullptr) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The event has no such information.");
    return 0;
  }
  AnswerRoom room;
  QINT64 flag = 0;
  Command command(zor::hostcommand::kSysGetHookInfo, system->driverIndex);
  command.Object(system->id, system->driverIndex)
      .Integer(eventId)
      .Integer(type)
      .Address(room.For(out))
      .Address(&flag);
  return Execute(*system, command) ? room.Result(out) : 0;
}

QINT64 InquireSystem(QID id, QINT64 type, void* out) {
  SystemObject* system = LookupSystemForCall(id);
  if (system == nullptr) return 0;
  if (system->driver != nullptr) {
    AnswerRoom room;
    Command command(zor::hostcommand::kSysInquire, system->driverIndex);
    command.Object(system->id, system->driverIndex).Integer(type).Address(room.For(out));
    return Execute(*system, command) ? room.Result(out) : 0;
  }
  switch (PlainType(type)) {
    case Q_SYSTEM_DESCRIPTOR:
      return AnswerText(system->descriptor, type, out);
    case Q_NUMBER:
      return AnswerValue(out, system->number);
    case Q_SYSTEM_TYPE:
      return AnswerValue(out, kHostSystemType);
    case Q_DIGITIZER_NUM:
      return AnswerValue(out, 0);
    default:
      break;
  }
  QINT64 answer = 0;
  if (AnswerCommon(*system, type, out, &answer)) return answer;
  RecordError(Q_ERR_NOT_SUPPORTED,
              L"Inquire type " + std::to_wstring(type) + L" is not supported.");
  return 0;
}

void ControlSystem(QID id, QINT64 type, QINT64 value) { ControlSystemValue(id, type, value); }

void ControlSystemDouble(QID id, QINT64 type, double value) { ControlSystemValue(id, type, value); }

std::shared_ptr<SystemObject> BoardSystemOf(const HostObject& object) {
  if (object.owner == 0 || IsDefaultHostId(object.owner)) return nullptr;
  auto owner = FindForThread(object.owner);
  if (owner == nullptr || owner->type != Q_SYSTEM) return nullptr;
  auto system = std::static_pointer_cast<SystemObject>(owner);
  return system->driver != nullptr ? system : nullptr;
}

}  // namespace zorhost
