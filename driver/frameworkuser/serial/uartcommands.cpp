// The serial types of system inquire and control, and the serial hook.
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/serial/uarterror.h"
#include "driver/frameworkuser/serial/uartmanager.h"
#include "driver/frameworkuser/serial/uartporthook.h"
#include "platform/host/qtypes.h"

namespace zor::frame {
namespace {

constexpr int64_t kPortBits = 0xFF0000;
constexpr int kPortShift = 16;
constexpr int64_t kFirstSerialType = 4701;
constexpr int64_t kLastSerialType = 4725;
// Refused serial types, as the device system reports them.
using errorcode::kInvalidControl;
using errorcode::kInvalidInquire;

enum SerialType : int64_t {
  kParity = 4701,
  kStopBits = 4702,
  kDataSize = 4703,
  kSpeed = 4704,
  kWriteByte = 4705,
  kReadByte = 4706,
  kBytesPending = 4707,
  kWrite = 4708,
  kWriteLength = 4709,
  kRead = 4710,
  kReadLength = 4711,
  kReadMaxLength = 4712,
  kDelimiter = 4713,
  kTimeout = 4714,
  kPortKind = 4721,
  kWriteComplete = 4722,
  kReadComplete = 4723,
  kPortNumber = 4724,
  kClose = 4725,
};

size_t PortIndex(int64_t type) { return static_cast<size_t>((type & kPortBits) >> kPortShift); }

template <typename T>
T* Address(int64_t value) {
  // The caller's data; a null address is a bad value, not a place to write.
  if (value == 0) RaiseUartError(kUartStateError, 3);
  return reinterpret_cast<T*>(static_cast<intptr_t>(value));
}

// Whether an operation leaves the port open, or closes it again when it had to open it.
enum class AfterUse { kKeepOpen, kCloseWhatItOpened };

// Runs the operation on the port under its lock; errors come back as the record.
template <typename Operation>
CError OnPort(CUartManager& manager, size_t index, AfterUse after, Operation operation) {
  CError result;
  const std::unique_lock hold = manager.LockPort(index);
  const bool closeAfter = after == AfterUse::kCloseWhatItOpened && !manager.IsOpenedPort(index);
  try {
    UartPortRecord& record = manager.GetPort(index);
    try {
      operation(record);
    } catch (const UartFailure& failure) {
      result = failure.error;
    }
    if (closeAfter) manager.ClosePort(record);
  } catch (const UartFailure& failure) {
    if (result.errorSet == 0) result = failure.error;
  }
  return result;
}

}  // namespace

bool IsSerialType(int64_t type) {
  const int64_t plain = type & ~kPortBits;
  return plain >= kFirstSerialType && plain <= kLastSerialType;
}

bool IsSerialHookType(int64_t hookType) {
  return (hookType & ~(kPortBits | Q_UNHOOK)) == kSerialHookType;
}

CError CUartManager::Inquire(int64_t type, int64_t* answer) {
  int64_t value = answer != nullptr ? *answer : 0;
  CError result =
      OnPort(*this, PortIndex(type), AfterUse::kCloseWhatItOpened,
             [&](UartPortRecord& record) { DispatchInquire(record, type & ~kPortBits, value); });
  if (result.errorSet == 0 && answer != nullptr) *answer = value;
  return result;
}

CError CUartManager::Control(int64_t type, int64_t value) {
  return OnPort(*this, PortIndex(type), AfterUse::kKeepOpen,
                [&](UartPortRecord& record) { DispatchControl(record, type & ~kPortBits, value); });
}

CError CUartManager::Hook(int64_t hookType, UartHookFunction function, void* userData) {
  std::shared_ptr<UartPortHook> hook;
  CError result =
      OnPort(*this, PortIndex(hookType), AfterUse::kKeepOpen, [&](UartPortRecord& record) {
        Use use(*this, record);
        hook = record.hook_;
      });
  if (result.errorSet != 0) return result;
  // Outside the port lock: the change waits for a running hook call, which may need that lock.
  if ((hookType & Q_UNHOOK) != 0) {
    hook->Set(nullptr, nullptr);
  } else {
    hook->Set(function, userData);
  }
  return result;
}

void CUartManager::DispatchInquire(UartPortRecord& record, int64_t type, int64_t& answer) {
  switch (type) {
    case kParity:
      return GetParity(record, answer);
    case kStopBits:
      return GetStopBits(record, answer);
    case kDataSize:
      return GetDataSize(record, answer);
    case kSpeed:
      return GetSpeed(record, answer);
    case kBytesPending:
      return GetBytesPending(record, answer);
    case kWriteLength:
      return GetWriteLength(record, answer);
    case kReadLength:
      return GetReadLength(record, answer);
    case kReadMaxLength:
      return GetReadMaxLength(record, answer);
    case kDelimiter:
      return GetDelimiter(record, answer);
    case kTimeout:
      return GetTimeout(record, answer);
    case kPortKind:
      return GetPortKind(record, answer);
    case kWriteComplete:
      return WaitWriteComplete(record, answer);
    case kReadComplete:
      return WaitReadComplete(record, answer);
    case kPortNumber:
      return GetPortNumber(record, answer);
    default:
      RaiseUartError(kInvalidInquire, 1);
  }
}

void CUartManager::DispatchControl(UartPortRecord& record, int64_t type, int64_t value) {
  switch (type) {
    case kParity:
      return SetParity(record, value);
    case kStopBits:
      return SetStopBits(record, value);
    case kDataSize:
      return SetDataSize(record, value);
    case kSpeed:
      return SetSpeed(record, value);
    case kWriteByte:
      return WriteByte(record, value);
    case kReadByte:
      return ReadByte(record, Address<uint8_t>(value));
    case kWrite:
      return Write(record, Address<const uint8_t>(value));
    case kWriteLength:
      return SetWriteLength(record, value);
    case kRead:
      return Read(record, Address<uint8_t>(value));
    case kReadLength:
      return SetReadLength(record, value);
    case kReadMaxLength:
      return SetReadMaxLength(record, value);
    case kDelimiter:
      return SetDelimiter(record, value);
    case kTimeout:
      return SetTimeout(record, value);
    case kClose:
      return ClosePort(record);
    default:
      RaiseUartError(kInvalidControl, 2);
  }
}

}  // namespace zor::frame
