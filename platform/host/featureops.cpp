#include "platform/host/featureops.h"

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/boardobjects.h"
#include "platform/host/hosterror.h"
#include "platform/host/systemops.h"

namespace zorhost {
namespace {

constexpr QINT64 kArraySizeMask = 0xFFFFFFF;
constexpr QINT64 kLengthFieldMask = 0xF0000000000;

// The slot type that lets the driver size a scalar variable.
uint32_t FeatureSlotType(QINT64 dataType) {
  switch (dataType) {
    case Q_TYPE_INT32:
    case Q_TYPE_BOOLEAN:
      return QD_TYPE_INT32;
    case Q_TYPE_INT16:
      return QD_TYPE_INT16;
    case Q_TYPE_UINT8:
      return QD_TYPE_UINT8;
    case Q_TYPE_DOUBLE:
      return QD_TYPE_DOUBLE;
    case Q_TYPE_FLOAT:
      return QD_TYPE_FLOAT;
    default:
      return QD_TYPE_INT64;
  }
}

// A string type, or any type with the value-as-text operation: the variable is wide text. The
// length of a text (Q_STRING_SIZE in the flag) is an integer.
bool IsText(QINT64 flag, QINT64 dataType) {
  if ((flag & kLengthFieldMask) == Q_STRING_SIZE) return false;
  return (dataType & Q_TYPE_STRING) == Q_TYPE_STRING ||
         (flag & 0xFF0000) == Q_FEATURE_VALUE_AS_STRING;
}

// Byte arrays: Q_TYPE_REGISTER, or Q_TYPE_UINT8 with an array size.
bool IsByteArray(QINT64 dataType) {
  return dataType == Q_TYPE_REGISTER ||
         ((dataType & Q_TYPE_UINT8) == Q_TYPE_UINT8 && (dataType & kArraySizeMask) != 0);
}

bool NameGiven(const wchar_t* feature) {
  if (feature != nullptr) return true;
  RecordError(Q_ERR_NULL_POINTER, L"No feature name.");
  return false;
}

}  // namespace

void SendFeatureControl(SystemObject& system, Command& command, QINT64 flag, const wchar_t* feature,
                        QINT64 dataType, const void* value) {
  if (!NameGiven(feature)) return;
  command.Integer(flag).Text(feature).Integer(dataType);
  if (IsText(flag, dataType)) {
    command.Text(static_cast<const wchar_t*>(value));
  } else if (IsByteArray(dataType)) {
    command.Array(QD_TYPE_UINT8, value, dataType & kArraySizeMask);
  } else {
    command.Slot(FeatureSlotType(dataType), reinterpret_cast<int64_t>(value), 0);
  }
  Execute(system, command);
}

void SendFeatureInquire(SystemObject& system, Command& command, QINT64 flag, const wchar_t* feature,
                        QINT64 dataType, void* value, QINT64 size) {
  if (!NameGiven(feature)) return;
  if (value == nullptr) {
    RecordError(Q_ERR_NULL_POINTER, L"No variable for the answer.");
    return;
  }
  command.Integer(flag).Text(feature).Integer(dataType);
  const bool text = IsText(flag, dataType);
  if (text || IsByteArray(dataType)) {
    const QINT64 count = dataType == Q_TYPE_REGISTER || text ? size : dataType & kArraySizeMask;
    if (count < 1) {
      RecordError(Q_ERR_INVALID_PARAMETER, L"No room for the answer.");
      return;
    }
    const uint32_t element = text ? QD_TYPE_WIDE | QD_TYPE_TEXT : QD_TYPE_UINT8;
    command.Array(element | QD_TYPE_OUTPUT, value, count);
  } else {
    command.Slot(FeatureSlotType(dataType), reinterpret_cast<int64_t>(value), 0);
  }
  Execute(system, command);
}

void ControlSystemFeature(QID id, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                          const void* value) {
  std::shared_ptr<SystemObject> system = Lookup<SystemObject>(id, Q_SYSTEM);
  if (system == nullptr) return;
  if (system->driver == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The host system has no features.");
    return;
  }
  Command command(zor::hostcommand::kDigControlFeature, system->driverIndex);
  command.Object(system->id, 0);
  SendFeatureControl(*system, command, flag, feature, dataType, value);
}

void InquireSystemFeature(QID id, QINT64 flag, const wchar_t* feature, QINT64 dataType, void* value,
                          QINT64 size) {
  std::shared_ptr<SystemObject> system = Lookup<SystemObject>(id, Q_SYSTEM);
  if (system == nullptr) return;
  if (system->driver == nullptr) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The host system has no features.");
    return;
  }
  Command command(zor::hostcommand::kDigInquireFeature, system->driverIndex);
  command.Object(system->id, 0);
  SendFeatureInquire(*system, command, flag, feature, dataType, value, size);
}

}  // namespace zorhost
