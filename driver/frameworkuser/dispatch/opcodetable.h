// Every handled opcode as data: its handler, the system operation it reaches,
// and how its arguments are taken from the command's slots.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "driver/frameworkuser/command/commandwrapper.h"
#include "driver/frameworkuser/system/systemoperation.h"

namespace zor::frame {

enum class Route : uint8_t {
  Plain,                // look the system up, call its operation
  Guarded,              // the same, only while both guards are set
  DriverForward,        // the driver's own guarded forwarder (0x1A01, 0x1A05, 0x1A09)
  DigitizerAllocation,  // under the process-wide digitizer-allocation lock
  GrabChooser,          // continuous or counted grab by the frame count
  BufferAllocation,     // with the per-band address list
  ThreadFree,           // no thread context may keep the freed object
  NoOperation,          // answers -1 without a call
  SystemAlloc,
  SystemFree,
  ErrorNotice,
  DriverInquire,
  DriverControl,
  ProcessAttach,
};

// Which entry of an opcode applies.
enum class Select : uint8_t {
  Any,
  Extended,  // the command's extended-variant flag is set
  Plain,     // it is clear
  // Which of parameters 0 and 1 are 64-bit integers (QD_TYPE_INT64).
  NeitherInt64,
  FirstInt64,
  SecondInt64,
  BothInt64,
};

enum class ArgKind : uint8_t {
  Value,            // the slot's value word
  Id,               // the slot's second word (the driver's index of an object)
  ByteSize,         // the byte size of the slot's data
  Variant,          // a value record (integer or double)
  Integer,          // the value as an integer; a double is truncated
  OptionalValue,    // the value when the record fills the slot, else 0
  DoubleOrDefault,  // the value as a double when the record fills the slot, else 0x10000000
  GrabBuffer,       // the driver index of a buffer given by driver index or host id
  MinusOne,         // the constant -1
  AllValues,        // the value words of every slot the record fills
  ArrayWord,        // one 8-byte word of an array slot; 0 beyond its count
};

struct ArgSource {
  ArgKind kind = ArgKind::Value;
  uint8_t slot = 0;
  uint8_t element = 0;  // ArrayWord only
};

inline constexpr SystemOp kNoSystemOp = SystemOp::NamedCount;
inline constexpr int8_t kRecordIndex = -1;

struct OpcodeEntry {
  uint16_t opcode = 0;
  Select select = Select::Any;
  Route route = Route::Plain;
  SystemOp op = kNoSystemOp;
  int8_t indexSlot = kRecordIndex;  // slot whose second word names the system
  uint8_t argCount = 0;
  std::array<ArgSource, 16> args{};
};

// All entries, sorted by opcode.
std::span<const OpcodeEntry> OpcodeTable();

// The entry that serves the command, or null when the opcode has no handler.
const OpcodeEntry* FindOpcodeEntry(const QDCommandWrapper& command, bool extended);

}  // namespace zor::frame
