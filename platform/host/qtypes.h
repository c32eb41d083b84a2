// Scalar types, callback types, the export marker and Q_ constants shared by applications, the
// host library and board drivers. An application header: it includes nothing of the project.
#pragma once

#include <cstdint>
#include <string>

// Export marker of libZOR.so's C functions.
#define ZOR_API extern "C" __attribute__((visibility("default")))

typedef int64_t QINT64;
typedef uint32_t QUINT32;
typedef int64_t QID;  // 0 is never a valid object

// Variable types and text literals of the feature browser's example code.
typedef QINT64 ZOR_INT;
typedef int64_t ZOR_INT64;
typedef double ZOR_DOUBLE;
typedef QID ZOR_ID;
typedef int32_t ZOR_BOOL;  // the size the driver writes for Q_TYPE_BOOLEAN
typedef uint8_t ZOR_UINT8;
typedef int8_t ZOR_INT8;
typedef std::wstring ZOR_STRING;
#define ZOR_TEXT(quote) L##quote

// Hook functions: (hook type, event id, user data); the event id is read with the
// matching GetHookInfo call.
typedef QINT64 (*QHOOK_FUNCTION)(QINT64 hookType, QID eventId, void* userData);
// Thread functions started by the host's thread service.
typedef QUINT32 (*QTHREAD_FUNCTION)(void* userData);

// General values.
inline constexpr QINT64 Q_DEFAULT = 0x10000000;
inline constexpr QINT64 Q_NULL = 0;
inline constexpr QINT64 Q_FALSE = 0;
inline constexpr QINT64 Q_TRUE = 1;
inline constexpr QINT64 Q_ENABLE = -9997;
inline constexpr QINT64 Q_DISABLE = -9999;
inline constexpr QINT64 Q_INFINITE = -1;
inline constexpr QINT64 Q_DEFAULT_HOST =
    0x7F000001;  // ids 0x7F000000 to 0x7F0000FF name the host system
inline constexpr QINT64 Q_STRING_SIZE = 0x50000000000;  // added to an inquire type: text length
inline constexpr QINT64 Q_UNHOOK = 0x4000000;           // added to a hook type: remove the hook

// Object types (inquire Q_OBJECT_TYPE).
inline constexpr QINT64 Q_APPLICATION = 0x1;
inline constexpr QINT64 Q_IMAGE = 0x4;  // buffers
inline constexpr QINT64 Q_EVENT = 128;
inline constexpr QINT64 Q_THREAD = 256;
inline constexpr QINT64 Q_THREAD_OBJECT = 4096;  // a driver's thread object
inline constexpr QINT64 Q_DIGITIZER = 0x100000;
inline constexpr QINT64 Q_SYSTEM = 0x800000;
inline constexpr QINT64 Q_FUNCTION_CONTEXT = 0x20000000000;
inline constexpr QINT64 Q_SEQUENCE = 0x40000000000;
inline constexpr QINT64 Q_DISPLAY = 0x80000000000;
inline constexpr QINT64 Q_MAILBOX = 0x800000000000;
inline constexpr QINT64 Q_HTTP_SERVER = 0x2000000000000;
inline constexpr QINT64 Q_HOOK_EVENT = 0x60000002;  // host events that carry hook data

// Inquire types common to all objects.
inline constexpr QINT64 Q_DRIVER_DATA = 10;  // internal inquire: the driver's pointer
inline constexpr QINT64 Q_INTERNAL_OBJECT_TYPE = 29;
inline constexpr QINT64 Q_OBJECT_NAME = 47;           // wide text
inline constexpr QINT64 Q_OPCODE_FUNCTION_NAME = 48;  // internal inquire on an opcode
inline constexpr QINT64 Q_OBJECT_TYPE = 136;
inline constexpr QINT64 Q_NUMBER = 1009;
inline constexpr QINT64 Q_OWNER_SYSTEM = 1101;
inline constexpr QINT64 Q_HOST_FEATURE_LEVEL = 15044;
inline constexpr QINT64 Q_SYSTEM_DESCRIPTOR = 7702;  // wide text
inline constexpr QINT64 Q_SYSTEM_TYPE = 2000;
inline constexpr QINT64 Q_DIGITIZER_NUM = 2004;

// Device numbers of QsysAlloc and QdigAlloc; Q_DEFAULT allocates device 0.
inline constexpr QINT64 Q_DEV0 = 0;
inline constexpr QINT64 Q_DEV1 = 1;
inline constexpr QINT64 Q_DEV2 = 2;
inline constexpr QINT64 Q_DEV3 = 3;
inline constexpr QINT64 Q_DEV4 = 4;
inline constexpr QINT64 Q_DEV5 = 5;
inline constexpr QINT64 Q_DEV6 = 6;
inline constexpr QINT64 Q_DEV7 = 7;
inline constexpr QINT64 Q_DEV8 = 8;
inline constexpr QINT64 Q_DEV9 = 9;
inline constexpr QINT64 Q_DEV10 = 10;
inline constexpr QINT64 Q_DEV11 = 11;
inline constexpr QINT64 Q_DEV12 = 12;
inline constexpr QINT64 Q_DEV13 = 13;
inline constexpr QINT64 Q_DEV14 = 14;
inline constexpr QINT64 Q_DEV15 = 15;
inline constexpr QINT64 Q_HOST_OBJECT_ID =
    1049;  // control telling a driver the host id of its object

// Digitizer control and inquire types.
inline constexpr QINT64 Q_GRAB_TIMEOUT = 4127;

// Digitizer hook types of QdigHookFunction.
inline constexpr QINT64 Q_GRAB_END = 3;        // a single grab ended
inline constexpr QINT64 Q_GRAB_START = 4;      // a single grab started
inline constexpr QINT64 Q_GRAB_FRAME_END = 5;  // a frame was grabbed

// QdigGrabWait flags: the same numbers as the hook types of those events.
inline constexpr QINT64 Q_GRAB_NEXT_FRAME = Q_GRAB_FRAME_END;  // the next frame has ended
// Q_GRAB_END: every grab queued so far has ended.

// QdigProcess operations (a sequence's frame count goes in bits 5 and up:
// Q_START_SEQUENCE + (n << 5); 0 takes one frame per buffer) and operation flags.
inline constexpr QINT64 Q_WAIT = 1;  // with Q_STOP: wait until the run has ended
inline constexpr QINT64 Q_START = 2;
inline constexpr QINT64 Q_STOP = 4;
inline constexpr QINT64 Q_START_SEQUENCE = 8;
inline constexpr QINT64 Q_SYNCHRONOUS = 1;  // returns when the run has ended
inline constexpr QINT64 Q_ASYNCHRONOUS = 2;
inline constexpr QINT64 Q_TRIGGER_FOR_FIRST_GRAB = 16;

// Internal inquire and control types of the host binding.
inline constexpr QINT64 Q_ENTER_THREAD_CONTEXT = 219;
inline constexpr QINT64 Q_LEAVE_THREAD_CONTEXT = 220;
inline constexpr QINT64 Q_SAVE_ERROR_STATE = 221;
inline constexpr QINT64 Q_RESTORE_ERROR_STATE = 222;
inline constexpr QINT64 Q_DRIVER_DATA_BLOCK = 46;

// Application settings.
inline constexpr QINT64 Q_ERROR_PRINT = 0x41000000;  // Q_PRINT_ENABLE or Q_PRINT_DISABLE
inline constexpr QINT64 Q_PRINT_ENABLE = 1;
inline constexpr QINT64 Q_PRINT_DISABLE = 0;
inline constexpr QINT64 Q_ERROR_SETTING = 15022;
inline constexpr QINT64 Q_NO_DIALOG = 0x40000000;

// Errors (application and host GetError types). Text types are the integer types plus
// Q_ERROR_TEXT; add Q_STRING_SIZE for the length of a text.
inline constexpr QINT64 Q_ERROR_TEXT = 0x20000000;
inline constexpr QINT64 Q_CURRENT = 0x10E0000;
inline constexpr QINT64 Q_CURRENT_SUB_NB = 0x1100000;
inline constexpr QINT64 Q_CURRENT_SUB_1 = 0x1110000;
inline constexpr QINT64 Q_CURRENT_SUB_2 = 0x1120000;
inline constexpr QINT64 Q_CURRENT_SUB_3 = 0x1130000;
inline constexpr QINT64 Q_MESSAGE = Q_ERROR_TEXT | Q_CURRENT;  // 0x210E0000
inline constexpr QINT64 Q_CURRENT_FCT = 0x210F0000;
inline constexpr QINT64 Q_CURRENT_SUB_1_TEXT = Q_ERROR_TEXT | Q_CURRENT_SUB_1;
inline constexpr QINT64 Q_CURRENT_SUB_2_TEXT = Q_ERROR_TEXT | Q_CURRENT_SUB_2;
inline constexpr QINT64 Q_CURRENT_SUB_3_TEXT = Q_ERROR_TEXT | Q_CURRENT_SUB_3;
inline constexpr QINT64 Q_ERROR_CURRENT = 1;   // application hook type: an error was recorded
inline constexpr int Q_ERROR_TEXT_SIZE = 320;  // characters of an error text, terminator included

// Host error codes.
inline constexpr QINT64 Q_ERR_INVALID_ID = 1001;
inline constexpr QINT64 Q_ERR_NULL_POINTER = 1002;
inline constexpr QINT64 Q_ERR_INVALID_PARAMETER = 1003;
inline constexpr QINT64 Q_ERR_WRONG_OBJECT_TYPE = 1004;
inline constexpr QINT64 Q_ERR_SYSTEM_NOT_FOUND = 1005;
inline constexpr QINT64 Q_ERR_NOT_SUPPORTED = 1006;
inline constexpr QINT64 Q_ERR_OUT_OF_MEMORY = 1007;
inline constexpr QINT64 Q_ERR_FILE = 1008;
inline constexpr QINT64 Q_ERR_DRIVER = 1009;  // the driver failed without an error of its own

// Feature data types of QdigControlFeature and QdigInquireFeature.
inline constexpr QINT64 Q_TYPE_INT64 = 0x8000000000;
inline constexpr QINT64 Q_TYPE_INT32 = 0x3000000000;
inline constexpr QINT64 Q_TYPE_INT16 = 0x2000000000;
inline constexpr QINT64 Q_TYPE_UINT8 = 0xA000000000;
inline constexpr QINT64 Q_TYPE_DOUBLE = 0x5000000000;
inline constexpr QINT64 Q_TYPE_FLOAT = 0x4000000000;
inline constexpr QINT64 Q_TYPE_BOOLEAN = 0x1000000;
inline constexpr QINT64 Q_TYPE_STRING = 0x7000000000;
inline constexpr QINT64 Q_TYPE_ENUMERATION = 0x40000000;
inline constexpr QINT64 Q_TYPE_COMMAND = 0x8000;
inline constexpr QINT64 Q_TYPE_CATEGORY = 0x2000;
inline constexpr QINT64 Q_TYPE_REGISTER = 0x80000000;
inline constexpr QINT64 Q_TYPE_ZOR_INT = Q_TYPE_INT64;  // a ZOR_INT variable
// A byte array of n bytes (below 2^28): Q_TYPE_UINT8 + Q_FEATURE_USER_ARRAY_SIZE(n).
constexpr QINT64 Q_FEATURE_USER_ARRAY_SIZE(QINT64 n) { return n & 0xFFFFFFF; }

// Feature control and inquire flags (operation in bits 16 to 23).
inline constexpr QINT64 Q_FEATURE_VALUE = 0xFA0000;
inline constexpr QINT64 Q_FEATURE_VALUE_AS_STRING = 0xFB0000;
inline constexpr QINT64 Q_FEATURE_EXECUTE = 0xFC0000;
inline constexpr QINT64 Q_FEATURE_MIN = 0xFD0000;
inline constexpr QINT64 Q_FEATURE_MAX = 0xFE0000;
inline constexpr QINT64 Q_FEATURE_INCREMENT = 0xFF0000;
inline constexpr QINT64 Q_FEATURE_CHANGE_HOOK = 0x0E0000;
inline constexpr QINT64 Q_FEATURE_PRESENT = 0x0D0000;
inline constexpr QINT64 Q_FEATURE_SIZE = Q_FEATURE_VALUE + 0x100000000;  // the value's byte size

// Feature hook types of QdigHookFunction and their QdigGetHookInfo types.
inline constexpr QINT64 Q_FEATURE_CHANGE = 0x1A;            // a watched feature changed
inline constexpr QINT64 Q_FEATURE_ANY_CHANGE = 0x4000001A;  // any feature changed
inline constexpr QINT64 Q_FEATURE_BROWSER_CHANGE = 0x0100001A;
inline constexpr QINT64 Q_TIME_STAMP = 64;          // double, seconds
inline constexpr QINT64 Q_GC_NODEMAP_PTR = 6906;    // the node map
inline constexpr QINT64 Q_FEATURE_NAME = 0x870000;  // wide text
inline constexpr QINT64 Q_GC_EVENT_TYPE = 0x880000;

// Buffer data types (bit depth in the low byte), attributes and layouts. A grab buffer
// (Q_IMAGE + Q_GRAB) has 8-bit pixels and, in colour, is packed (Q_PACKED: four bytes a pixel,
// blue, green, red, 0); an image without Q_GRAB of any depth has a plane per band (Q_PLANAR)
// and takes grabs too.
inline constexpr QINT64 Q_UNSIGNED = 0;
inline constexpr QINT64 Q_SIGNED = 0x8000000;
inline constexpr QINT64 Q_FLOAT = 0x40000000 | Q_SIGNED;
inline constexpr QINT64 Q_GRAB = 0x8;
inline constexpr QINT64 Q_PROC = 0x10;
inline constexpr QINT64 Q_PACKED = 0x20000;
inline constexpr QINT64 Q_PLANAR = 0x40000;

// Buffer inquire types answered by the host.
inline constexpr QINT64 Q_SIZE_X = 1536;
inline constexpr QINT64 Q_SIZE_Y = 1537;
inline constexpr QINT64 Q_SIZE_BAND = 1005;
inline constexpr QINT64 Q_SIZE_BIT = 1007;
inline constexpr QINT64 Q_TYPE = 1008;
inline constexpr QINT64 Q_ATTRIBUTE = 1001;
inline constexpr QINT64 Q_PITCH = 1540;
inline constexpr QINT64 Q_PITCH_BYTE = 1541;
inline constexpr QINT64 Q_SIZE_BYTE = 5061;
inline constexpr QINT64 Q_PARENT_ID = 1040;
inline constexpr QINT64 Q_DRIVER_INDEX = 1107;  // a board buffer's index in its driver, else 0
inline constexpr QINT64 Q_ANCESTOR_ID = 1041;
inline constexpr QINT64 Q_OFFSET_X = 1538;
inline constexpr QINT64 Q_OFFSET_Y = 1539;
inline constexpr QINT64 Q_HOST_ADDRESS = 0x10000;  // + 0x8, 0x10, 0x20 for bands 0, 1, 2
inline constexpr QINT64 Q_PHYSICAL_ADDRESS = 0x40000000;
inline constexpr QINT64 Q_BUFFER_DESCRIPTION = 5280;  // address of the HostBufferDescription
inline constexpr QINT64 Q_FORMAT_WORD = 7701;
inline constexpr QINT64 Q_GRAB_STATE = 1060;

// Buffer export formats.
inline constexpr QINT64 Q_RAW = 1;  // header and raw data, see platform/host/README.md

// Thread services.
inline constexpr QINT64 Q_THREAD_WAIT = 0x40000000;  // + time-out in ms (0: no limit)
inline constexpr QINT64 Q_WAIT_ENDED = 16;
inline constexpr QINT64 Q_WAIT_TIMEOUT = 2077;

// Object hook types.
inline constexpr QINT64 Q_OBJECT_FREE = 0x10000;
inline constexpr QINT64 Q_MAILBOX_MESSAGE = 2053;
inline constexpr QINT64 Q_OBJECT_ID = 0x1B0000;  // GetHookInfo: the object that raised the event

// Browser clients of feature-browser servers: application hook types and their hook info.
inline constexpr QINT64 Q_BROWSER_CLIENT_CONNECTED = 46;
inline constexpr QINT64 Q_BROWSER_CLIENT_DISCONNECTED = 52;
inline constexpr QINT64 Q_BROWSER_CLIENT_ID = 219;  // GetHookInfo: the client's 64-bit id
// Application settings: the number of running feature-browser servers (a control with a nonzero
// value adds one, Q_DISABLE removes one), and the browser session.
inline constexpr QINT64 Q_BROWSER_SERVERS = 15526;
inline constexpr QINT64 Q_BROWSER_SESSION = 15531;

// HTTP server objects (Q_HTTP_SERVER): controls and inquiries.
inline constexpr QINT64 Q_HTTP_ROOT_FOLDER = 108;  // wide text
inline constexpr QINT64 Q_HTTP_URL = 109;          // wide text, "http://host:port"
inline constexpr QINT64 Q_HTTP_START = 110;        // also the running state
inline constexpr QINT64 Q_HTTP_STOP = 112;         // also the stopped state
inline constexpr QINT64 Q_HTTP_STATE = 114;
