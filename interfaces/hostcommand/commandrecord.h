// The command record that the host library hands to a board driver's command decoder, and
// the host data-type codes of its parameter slots. The layout is shared with every driver,
// so every offset is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

// Header word of a record: version 1000 with flag bits 16, 17, 20 and 21.
inline constexpr uint32_t QD_RECORD_VERSION = 1000;
inline constexpr uint32_t QD_RECORD_HEADER = QD_RECORD_VERSION | 0x00330000u;
inline constexpr int QD_MAX_PARAMS = 14;

// Status words written back by the driver.
inline constexpr uint16_t QD_STATUS_PENDING = 0x0BAD;
inline constexpr uint16_t QD_STATUS_OK = 1;
inline constexpr uint16_t QD_STATUS_ERROR = 2;
inline constexpr uint16_t QD_STATUS_UNSUPPORTED = 0xFFFF;

// Command flags (operation word's companion).
inline constexpr uint32_t QD_FLAG_CHECK_ARGS = 0x1;
inline constexpr uint32_t QD_FLAG_NO_OP = 0x2;
inline constexpr uint32_t QD_FLAG_EXTENDED = 0x10000;

// Host data-type codes of a parameter slot. The driver masks a code with QD_TYPE_MASK; the low
// five bits are the base type, the high bits are flags.
inline constexpr uint32_t QD_TYPE_MASK = 0x1F00001F;
inline constexpr uint32_t QD_TYPE_ID = 1;       // object id, 64-bit integer
inline constexpr uint32_t QD_TYPE_ADDRESS = 2;  // the caller's variable or data, 8 bytes
inline constexpr uint32_t QD_TYPE_DOUBLE = 3;
inline constexpr uint32_t QD_TYPE_INT64 = 4;
inline constexpr uint32_t QD_TYPE_INT32 = 5;
inline constexpr uint32_t QD_TYPE_UINT32 = 6;
inline constexpr uint32_t QD_TYPE_UINT64 = 7;
inline constexpr uint32_t QD_TYPE_FUNCTION = 8;  // a function pointer, 8 bytes
inline constexpr uint32_t QD_TYPE_TEXT = 0x0A;   // base of the text codes
inline constexpr uint32_t QD_TYPE_FLOAT = 11;
inline constexpr uint32_t QD_TYPE_UINT8 = 12;
inline constexpr uint32_t QD_TYPE_BOOL = 13;
inline constexpr uint32_t QD_TYPE_INT16 = 14;
inline constexpr uint32_t QD_TYPE_UINT16 = 15;
inline constexpr uint32_t QD_TYPE_FILE_NAME = 0x10;  // base of file-name texts
inline constexpr uint32_t QD_TYPE_NARROW = 0x1000000;
inline constexpr uint32_t QD_TYPE_WIDE = 0x2000000;
inline constexpr uint32_t QD_TYPE_OUTPUT = 0x4000000;  // the driver writes into the data
inline constexpr uint32_t QD_TYPE_ARRAY = 0x8000000;
inline constexpr uint32_t QD_TYPE_DEFAULTED = 0x10000000;     // ignored where a text is tested
inline constexpr uint32_t QD_TYPE_HOST_BUFFER = 0x80000000u;  // value word is a host buffer id

inline constexpr uint32_t QD_TYPE_STRING = QD_TYPE_ARRAY | QD_TYPE_NARROW | QD_TYPE_TEXT;
inline constexpr uint32_t QD_TYPE_WSTRING = QD_TYPE_ARRAY | QD_TYPE_WIDE | QD_TYPE_TEXT;
inline constexpr uint32_t QD_TYPE_FILE_NAME_STRING =
    QD_TYPE_ARRAY | QD_TYPE_NARROW | QD_TYPE_FILE_NAME;
inline constexpr uint32_t QD_TYPE_WFILE_NAME = QD_TYPE_ARRAY | QD_TYPE_WIDE | QD_TYPE_FILE_NAME;
inline constexpr uint32_t QD_TYPE_STRING_OUT = QD_TYPE_STRING | QD_TYPE_OUTPUT;
inline constexpr uint32_t QD_TYPE_WSTRING_OUT = QD_TYPE_WSTRING | QD_TYPE_OUTPUT;

// Slot flags.
inline constexpr uint32_t QD_PARAM_COUNT_PENDING = 0x200;  // a text's count is still to be computed

// The value word of a slot: a scalar, or the address of the data.
union QDParamValue {
  int64_t integer;
  double real;
  void* pointer;
};
static_assert(sizeof(QDParamValue) == 8);

struct QDCommandParam {
  uint32_t type;        // 0x00 host data-type code
  uint32_t flags;       // 0x04 slot flags
  int64_t count;        // 0x08 element count of arrays and texts (terminator included)
  QDParamValue value;   // 0x10 scalar or address
  int64_t driverIndex;  // 0x18 the driver's own index of an object parameter
};
static_assert(sizeof(QDCommandParam) == 32);
static_assert(offsetof(QDCommandParam, type) == 0x00);
static_assert(offsetof(QDCommandParam, flags) == 0x04);
static_assert(offsetof(QDCommandParam, count) == 0x08);
static_assert(offsetof(QDCommandParam, value) == 0x10);
static_assert(offsetof(QDCommandParam, driverIndex) == 0x18);

struct QDCommandRecord {
  uint32_t header;                       // 0x00 version and flag bits
  uint8_t paramCount;                    // 0x04 slots filled by the host
  uint8_t zero05;                        // 0x05
  uint8_t hostByte;                      // 0x06 filled by the host, not read by drivers
  uint8_t zero07;                        // 0x07
  int64_t systemIndex;                   // 0x08 the driver's index of the addressed system
  uint32_t operation;                    // 0x10 low 16 bits: opcode
  uint32_t commandFlags;                 // 0x14
  uint64_t reserved18;                   // 0x18
  uint16_t reserved20;                   // 0x20
  uint16_t status;                       // 0x22 written by the driver
  uint32_t reserved24;                   // 0x24
  uint64_t reserved28;                   // 0x28
  uint64_t reserved30;                   // 0x30
  uint64_t reserved38;                   // 0x38
  QDCommandParam params[QD_MAX_PARAMS];  // 0x40 + 32 x i
};
static_assert(sizeof(QDCommandRecord) == 0x200);
static_assert(offsetof(QDCommandRecord, header) == 0x00);
static_assert(offsetof(QDCommandRecord, paramCount) == 0x04);
static_assert(offsetof(QDCommandRecord, hostByte) == 0x06);
static_assert(offsetof(QDCommandRecord, systemIndex) == 0x08);
static_assert(offsetof(QDCommandRecord, operation) == 0x10);
static_assert(offsetof(QDCommandRecord, commandFlags) == 0x14);
static_assert(offsetof(QDCommandRecord, reserved18) == 0x18);
static_assert(offsetof(QDCommandRecord, status) == 0x22);
static_assert(offsetof(QDCommandRecord, reserved24) == 0x24);
static_assert(offsetof(QDCommandRecord, reserved28) == 0x28);
static_assert(offsetof(QDCommandRecord, params) == 0x40);

// The driver's single command entry.
extern "C" typedef void (*QDCommandDecoderFunction)(QDCommandRecord* record);
