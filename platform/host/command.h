// Builds one command record, slot after slot, and runs it in the driver of a board system.
#pragma once

#include <cstdint>

#include "platform/host/commandrecord.h"
#include "platform/host/qtypes.h"

namespace zorhost {

struct SystemObject;

class Command {
 public:
  Command(uint16_t opcode, int64_t systemIndex);

  // An object parameter: the host id in the value word, the driver's index in the second.
  Command& Object(QID hostId, int64_t driverIndex);
  Command& Integer(QINT64 value);
  Command& Real(double value);
  // A setting's value: an integer or a real slot by its type.
  Command& Value(QINT64 value) { return Integer(value); }
  Command& Value(double value) { return Real(value); }
  Command& Address(const void* address);
  Command& Function(void* function);
  // A wide text whose element count the driver computes; null gives an empty slot.
  Command& Text(const wchar_t* text, uint32_t type = QD_TYPE_WSTRING);
  Command& Array(uint32_t elementType, const void* data, int64_t count);
  Command& Slot(uint32_t type, int64_t value, int64_t driverIndex);

  QDCommandRecord& Record() { return record_; }

 private:
  QDCommandParam& Next();
  QDCommandRecord record_{};
};

// Runs the command in the system's driver on the calling thread. A driver error (status 2) is
// read back from the driver and becomes the thread's host error, as does an unsupported
// command or a host error raised by a host call that the driver made meanwhile. True when the
// command succeeded.
bool Execute(SystemObject& system, Command& command);

}  // namespace zorhost
