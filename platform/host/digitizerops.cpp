#include "platform/host/digitizerops.h"

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/answer.h"
#include "platform/host/boardobjects.h"
#include "platform/host/command.h"
#include "platform/host/driverlibrary.h"
#include "platform/host/featureops.h"
#include "platform/host/processring.h"
#include "platform/host/systemops.h"

namespace zorhost {
namespace {

constexpr QINT64 kMaxProcessBuffers = 100000;
constexpr QINT64 kProcessStop = 4;

// The system is the thread's for the call: threads on digitizers of one system then share no
// reference count.
struct Target {
  std::shared_ptr<DigitizerObject> digitizer;
  SystemObject* system = nullptr;
  explicit operator bool() const { return digitizer != nullptr && system != nullptr; }
};

Target Find(QID id) {
  Target target;
  target.digitizer = Lookup<DigitizerObject>(id, Q_DIGITIZER);
  if (target.digitizer != nullptr) target.system = BoardSystemForCall(*target.digitizer);
  if (target.digitizer != nullptr && target.system == nullptr) {
    RecordError(Q_ERR_INVALID_ID, L"The digitizer's system is gone.");
  }
  return target;
}

Command DigitizerCommand(uint16_t opcode, const Target& target) {
  Command command(opcode, target.system->driverIndex);
  command.Object(target.digitizer->id, target.digitizer->driverIndex);
  return command;
}

template <class Value>
void ControlDigitizerValue(QID id, QINT64 type, Value value) {
  Target target = Find(id);
  if (!target) return;
  Command command = DigitizerCommand(zor::hostcommand::kDigControl, target);
  command.Integer(type).Value(value);
  Execute(*target.system, command);
}

}  // namespace

QID AllocateDigitizer(QID systemId, QINT64 number, const wchar_t* format, QINT64 initFlag,
                      QID* out) {
  if (out != nullptr) *out = 0;
  auto system = Lookup<SystemObject>(systemId, Q_SYSTEM);
  if (system == nullptr) return 0;
  if (system->driver == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The host system has no digitizers.");
    return 0;
  }
  if (format == nullptr) {
    RecordError(Q_ERR_NULL_POINTER, L"No digitizer format.");
    return 0;
  }
  // Applications mean the first device by the default number; drivers know device numbers only.
  if (number == Q_DEFAULT) number = Q_DEV0;
  QINT64 index = 0;
  Command command(zor::hostcommand::kDigAlloc, system->driverIndex);
  command.Text(format, QD_TYPE_WFILE_NAME).Integer(number).Integer(initFlag).Address(&index);
  if (!Execute(*system, command)) return 0;
  if (index <= 0) {
    RecordError(Q_ERR_DRIVER, L"The driver gave no digitizer.");
    return 0;
  }
  auto digitizer = std::make_shared<DigitizerObject>(system->id, index);
  ObjectRegistry::Instance().Add(digitizer);
  const Target target{digitizer, system.get()};
  Command announce = DigitizerCommand(zor::hostcommand::kDigControl, target);
  announce.Integer(Q_HOST_OBJECT_ID).Integer(digitizer->id);
  if (!Execute(*system, announce)) {
    Command release = DigitizerCommand(zor::hostcommand::kDigFree, target);
    system->driver->Decode(release.Record());
    ObjectRegistry::Instance().Remove(digitizer->id);
    return 0;
  }
  if (out != nullptr) *out = digitizer->id;
  return digitizer->id;
}

void FreeDigitizer(QID id) {
  Target target = Find(id);
  if (!target) return;
  Command command = DigitizerCommand(zor::hostcommand::kDigFree, target);
  Execute(*target.system, command);
  ProcessRing::Remove(*target.digitizer);
  FreeObject(target.digitizer);
}

QINT64 InquireDigitizer(QID id, QINT64 type, void* out) {
  Target target = Find(id);
  if (!target) return 0;
  AnswerRoom room;
  Command command = DigitizerCommand(zor::hostcommand::kDigInquire, target);
  command.Integer(type).Address(room.For(out));
  return Execute(*target.system, command) ? room.Result(out) : 0;
}

void ControlDigitizer(QID id, QINT64 type, QINT64 value) { ControlDigitizerValue(id, type, value); }

void ControlDigitizerDouble(QID id, QINT64 type, double value) {
  ControlDigitizerValue(id, type, value);
}

void GrabDigitizer(QID id, QID bufferId, bool continuous) {
  Target target = Find(id);
  if (!target) return;
  auto buffer = Lookup<BufferObject>(bufferId, Q_IMAGE);
  if (buffer == nullptr) return;
  if (buffer->owner != target.system->id) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The buffer does not belong to the digitizer's system.");
    return;
  }
  Command command = DigitizerCommand(
      continuous ? zor::hostcommand::kDigGrabContinuous : zor::hostcommand::kDigGrab, target);
  command.Object(buffer->id, buffer->driverIndex).Integer(continuous ? -1 : 1);
  Execute(*target.system, command);
}

void WaitDigitizer(QID id, QINT64 flag) {
  Target target = Find(id);
  if (!target) return;
  Command command = DigitizerCommand(zor::hostcommand::kDigGrabWait, target);
  command.Integer(flag);
  Execute(*target.system, command);
}

void AbortDigitizerGrab(QID id) {
  Target target = Find(id);
  if (!target) return;
  // Without a value the driver takes the default.
  Command command = DigitizerCommand(zor::hostcommand::kDigGrabAbort, target);
  Execute(*target.system, command);
}

void HaltDigitizer(QID id) {
  Target target = Find(id);
  if (!target) return;
  Command command = DigitizerCommand(zor::hostcommand::kDigHalt, target);
  Execute(*target.system, command);
}

void ProcessDigitizer(QID id, const QID* buffers, QINT64 count, QINT64 operation,
                      QINT64 operationFlag, QHOOK_FUNCTION function, void* user) {
  Target target = Find(id);
  if (!target) return;
  if (count < 0 || count > kMaxProcessBuffers || (count > 0 && buffers == nullptr)) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"Invalid buffer list.");
    return;
  }
  for (QINT64 i = 0; i < count; ++i) {
    auto buffer = Lookup<BufferObject>(buffers[i], Q_IMAGE);
    if (buffer == nullptr) return;
    buffer->processDigitizer = id;
    buffer->processIndex = i;
  }
  // A start's ring goes in before the driver starts the run, and out again if it refuses.
  std::shared_ptr<const ProcessRing> ring;
  if ((operation & kProcessStop) == 0) ring = ProcessRing::Make(buffers, count, function, user);
  if (ring != nullptr) ProcessRing::Install(*target.digitizer, ring);
  Command command = DigitizerCommand(zor::hostcommand::kDigProcess, target);
  command.Array(QD_TYPE_ID, buffers, count)
      .Integer(count)
      .Integer(operation)
      .Integer(operationFlag);
  const bool taken = Execute(*target.system, command);
  if (ring != nullptr) ProcessRing::Settle(*target.digitizer, ring, taken);
}

QINT64 HookDigitizer(QID id, QINT64 type, QHOOK_FUNCTION function, void* user) {
  Target target = Find(id);
  if (!target) return 0;
  Command command = DigitizerCommand(zor::hostcommand::kDigHookFunction, target);
  command.Integer(type).Function(reinterpret_cast<void*>(function)).Address(user);
  return Execute(*target.system, command) ? 1 : 0;
}

QINT64 DigitizerHookInfo(QID eventId, QINT64 type, void* out) {
  auto event = LookupObject(eventId, 0);
  if (event == nullptr) return 0;
  if (const std::optional<QINT64> stored = event->settings.Get(type)) {
    return AnswerValue(out, *stored);
  }
  auto system = BoardSystemOf(*event);
  if (system == nullptr) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The event has no such information.");
    return 0;
  }
  AnswerRoom room;
  QINT64 flag = 0;
  Command command(zor::hostcommand::kDigGetHookInfo, system->driverIndex);
  command.Integer(eventId).Integer(type).Address(room.For(out)).Address(&flag);
  return Execute(*system, command) ? room.Result(out) : 0;
}

void ControlFeature(QID id, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                    const void* value) {
  Target target = Find(id);
  if (!target) return;
  Command command = DigitizerCommand(zor::hostcommand::kDigControlFeature, target);
  SendFeatureControl(*target.system, command, flag, feature, dataType, value);
}

void InquireFeature(QID id, QINT64 flag, const wchar_t* feature, QINT64 dataType, void* value,
                    QINT64 size) {
  Target target = Find(id);
  if (!target) return;
  Command command = DigitizerCommand(zor::hostcommand::kDigInquireFeature, target);
  SendFeatureInquire(*target.system, command, flag, feature, dataType, value, size);
}

}  // namespace zorhost
