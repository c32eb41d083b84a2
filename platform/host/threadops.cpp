#include "platform/host/threadops.h"

#include <system_error>

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/answer.h"
#include "platform/host/command.h"
#include "platform/host/systemops.h"
#include "platform/host/threadcontext.h"
#include "platform/host/threadobject.h"

namespace zorhost {
namespace {

constexpr QINT64 kThreadObjectKind = 2048;

bool IsThreadOrEvent(QINT64 type) {
  return type == Q_EVENT || type == Q_THREAD || type == Q_THREAD_OBJECT || type == Q_HOOK_EVENT;
}

struct Target {
  std::shared_ptr<HostObject> object;
  std::shared_ptr<SystemObject> system;
};

Target FindSystemThread(QID id) {
  Target target{LookupObject(id, 0), nullptr};
  if (target.object == nullptr) return target;
  if (!IsThreadOrEvent(target.object->type)) {
    RecordError(Q_ERR_WRONG_OBJECT_TYPE);
    return target;
  }
  target.system = BoardSystemOf(*target.object);
  if (target.system == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The object belongs to no board system.");
  }
  return target;
}

// Frees the object when it has one of the two types; any other records a wrong-type error.
void FreeObjectOfType(QID id, QINT64 type, QINT64 otherType) {
  auto object = LookupObject(id, 0);
  if (object == nullptr) return;
  if (object->type != type && object->type != otherType) {
    RecordError(Q_ERR_WRONG_OBJECT_TYPE);
    return;
  }
  FreeObject(object);
}

}  // namespace

QID AllocateHostThread(QID owner, QINT64 kind, QTHREAD_FUNCTION function, void* user, QID* out) {
  if (out != nullptr) *out = 0;
  std::shared_ptr<HostObject> object;
  if (kind == Q_THREAD) {
    if (function == nullptr) {
      RecordError(Q_ERR_NULL_POINTER, L"No thread function.");
      return 0;
    }
    try {
      object = std::make_shared<ThreadObject>(owner, function, user);
    } catch (const std::system_error&) {
      RecordError(Q_ERR_OUT_OF_MEMORY, L"The thread could not be started.");
      return 0;
    }
  } else if (kind == kThreadObjectKind) {
    object = std::make_shared<HostObject>(Q_THREAD_OBJECT, owner);
    object->driverData = user;
  } else {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Unknown thread kind.");
    return 0;
  }
  const QID id = ObjectRegistry::Instance().Add(object);
  if (out != nullptr) *out = id;
  return id;
}

QINT64 WaitHostThread(QID id, QINT64 waitWord, QINT64* result) {
  auto thread = Lookup<ThreadObject>(id, Q_THREAD);
  if (thread == nullptr) return 0;
  QINT64 milliseconds = 0;
  if ((waitWord & ~QINT64{0xFFFFFF}) == Q_THREAD_WAIT) {
    milliseconds = waitWord & 0xFFFFFF;
  } else if (waitWord != Q_DEFAULT) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Invalid wait word.");
    return 0;
  }
  if (thread->IsCurrentThread()) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"A thread cannot wait for itself.");
    return 0;
  }
  const QINT64 answer = thread->Wait(milliseconds) ? Q_WAIT_ENDED : Q_WAIT_TIMEOUT;
  if (result != nullptr) *result = answer;
  return answer;
}

void FreeHostThread(QID id) {
  // A running thread is waited for when the last holder lets go.
  FreeObjectOfType(id, Q_THREAD, Q_THREAD_OBJECT);
}

QID AllocateHostEvent(QID owner, QINT64 type, void* driverData) {
  const ThreadContext& thread = CurrentThread();
  if ((owner == 0 || owner == Q_DEFAULT) && !thread.commandSystems.empty()) {
    owner = thread.commandSystems.back();  // the system whose command makes the event
  }
  auto event = std::make_shared<HostObject>(type, owner);
  event->driverData = driverData;
  return ObjectRegistry::Instance().Add(event);
}

void FreeHostEvent(QID id) { FreeObjectOfType(id, Q_EVENT, Q_HOOK_EVENT); }

QID AllocateSystemThread(QID systemId, QINT64 type, QINT64 initFlag, QID* out) {
  if (out != nullptr) *out = 0;
  auto system = Lookup<SystemObject>(systemId, Q_SYSTEM);
  if (system == nullptr) return 0;
  if (system->driver == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The host system serves no such objects.");
    return 0;
  }
  QID id = 0;
  Command command(zor::hostcommand::kThrAlloc, system->driverIndex);
  command.Object(system->id, system->driverIndex)
      .Integer(type)
      .Integer(system->driverIndex)
      .Integer(initFlag)
      .Address(&id)
      .Integer(0);
  if (!Execute(*system, command)) return 0;
  if (id == 0 || ObjectRegistry::Instance().Find(id) == nullptr) {
    RecordError(Q_ERR_DRIVER, L"The driver gave no object.");
    return 0;
  }
  if (out != nullptr) *out = id;
  return id;
}

void FreeSystemThread(QID id) {
  Target target = FindSystemThread(id);
  if (target.system == nullptr) return;
  Command command(zor::hostcommand::kThrFree, target.system->driverIndex);
  command.Integer(id);
  Execute(*target.system, command);
  FreeObject(target.object);  // in case the driver kept its host object
}

QINT64 InquireSystemThread(QID id, QINT64 type, void* out) {
  Target target = FindSystemThread(id);
  if (target.system == nullptr) return 0;
  AnswerRoom room;
  Command command(zor::hostcommand::kThrInquire, target.system->driverIndex);
  command.Integer(id).Integer(type).Address(room.For(out));
  return Execute(*target.system, command) ? room.Result(out) : 0;
}

void ControlSystemThread(QID id, QINT64 type, QINT64 value) {
  Target target = FindSystemThread(id);
  if (target.system == nullptr) return;
  Command command(zor::hostcommand::kThrControl, target.system->driverIndex);
  command.Integer(id).Integer(type).Integer(value);
  Execute(*target.system, command);
}

QINT64 WaitSystemThread(QID id, QINT64 waitWord, QINT64* result) {
  Target target = FindSystemThread(id);
  if (target.system == nullptr) return 0;
  QINT64 answer = 0;
  Command command(zor::hostcommand::kThrWait, target.system->driverIndex);
  command.Integer(id).Integer(waitWord).Address(&answer);
  if (!Execute(*target.system, command)) return 0;
  if (result != nullptr) *result = answer;
  return answer;
}

QINT64 WaitSystemThreads(const QID* objects, QINT64 count, QINT64 waitWord, QINT64* result) {
  if (objects == nullptr || count <= 0) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"No object to wait on.");
    return 0;
  }
  // The first object names the system; the driver checks the others.
  Target target = FindSystemThread(objects[0]);
  if (target.system == nullptr) return 0;
  QINT64 answer = 0;
  Command command(zor::hostcommand::kThrWaitMultiple, target.system->driverIndex);
  command.Address(objects).Integer(count).Integer(waitWord).Address(&answer);
  if (!Execute(*target.system, command)) return 0;
  if (result != nullptr) *result = answer;
  return answer;
}

}  // namespace zorhost
