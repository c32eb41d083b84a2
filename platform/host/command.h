// Builds one command record, slot after slot, and runs it in the driver of a board system.
#pragma once

#include <algorithm>
#include <cstdint>

#include "interfaces/hostcommand/commandrecord.h"
#include "platform/host/qtypes.h"

namespace zorhost {

struct SystemObject;

// Every command passes here, so the common slots are built inline.
class Command {
 public:
  Command(uint16_t opcode, int64_t systemIndex) {
    record_.header = QD_RECORD_HEADER;
    record_.systemIndex = systemIndex;
    record_.operation = opcode;
    record_.status = QD_STATUS_PENDING;
  }

  // An object parameter: the host id in the value word, the driver's index in the second.
  Command& Object(QID hostId, int64_t driverIndex) { return Slot(QD_TYPE_ID, hostId, driverIndex); }
  Command& Integer(QINT64 value) { return Slot(QD_TYPE_INT64, value, 0); }
  Command& Real(double value);
  // A setting's value: an integer or a real slot by its type.
  Command& Value(QINT64 value) { return Integer(value); }
  Command& Value(double value) { return Real(value); }
  Command& Address(const void* address) {
    QDCommandParam& param = Next();
    param.type = QD_TYPE_ADDRESS;
    param.value.pointer = const_cast<void*>(address);
    return *this;
  }
  Command& Function(void* function);
  // A wide text whose element count the driver computes; null gives an empty slot.
  Command& Text(const wchar_t* text, uint32_t type = QD_TYPE_WSTRING);
  Command& Array(uint32_t elementType, const void* data, int64_t count);
  Command& Slot(uint32_t type, int64_t value, int64_t driverIndex) {
    QDCommandParam& param = Next();
    param.type = type;
    param.value.integer = value;
    param.driverIndex = driverIndex;
    return *this;
  }

  QDCommandRecord& Record() { return record_; }

 private:
  QDCommandParam& Next() {
    // Callers never build more slots than a record has; the last one is reused if they did.
    const int index = std::min<int>(record_.paramCount, QD_MAX_PARAMS - 1);
    record_.paramCount = static_cast<uint8_t>(index + 1);
    return record_.params[index];
  }
  QDCommandRecord record_{};
};

// Runs the command in the system's driver on the calling thread. A driver error (status 2) is
// read back from the driver and becomes the thread's host error, as does an unsupported
// command or a host error raised by a host call that the driver made meanwhile. True when the
// command succeeded.
bool Execute(SystemObject& system, Command& command);

}  // namespace zorhost
