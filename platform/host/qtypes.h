// Scalar types, callback types, the export marker and Q_ constants shared by applications, the
// host library and board drivers. An application header: it includes nothing of the project, and
// C (C11) and C++ (C++11 and later) read it alike. The constants are macros of the 64-bit type
// (INT64_C), so that C can use them and the preprocessor can compare them.
//
// The comment of an inquire type begins with the type of its answer at `out`:
//   "answer: integer"  a QINT64 (ids and addresses too);
//   "answer: double"   a double;
//   "answer: text"     wide text, terminator included; the type + Q_STRING_SIZE answers the room
//                      that `out` needs, in characters (an integer).
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#include <string>
#endif

// Export marker of libZOR.so's C functions: C linkage whatever the language of the caller.
#ifdef __cplusplus
#define ZOR_API extern "C" __attribute__((visibility("default")))
#else
#define ZOR_API extern __attribute__((visibility("default")))
#endif

typedef int64_t QINT64;
typedef uint32_t QUINT32;
typedef int64_t QID;  // 0 is never a valid object

// Variable types and text literals of the feature browser's example code (ZOR_STRING: C++ only).
typedef QINT64 ZOR_INT;
typedef int64_t ZOR_INT64;
typedef double ZOR_DOUBLE;
typedef QID ZOR_ID;
typedef int32_t ZOR_BOOL;  // the size the driver writes for Q_TYPE_BOOLEAN
typedef uint8_t ZOR_UINT8;
typedef int8_t ZOR_INT8;
#ifdef __cplusplus
typedef std::wstring ZOR_STRING;
#endif
#define ZOR_TEXT(quote) L##quote

// Hook functions: (hook type, event id, user data); the event id is read with the
// matching GetHookInfo call.
typedef QINT64 (*QHOOK_FUNCTION)(QINT64 hookType, QID eventId, void* userData);
// Thread functions started by the host's thread service.
typedef QUINT32 (*QTHREAD_FUNCTION)(void* userData);

// General values.
#define Q_DEFAULT INT64_C(0x10000000)
// A literal, so that it also stands for a null pointer (an `out` left unasked, no user data).
#define Q_NULL 0L
#define Q_FALSE INT64_C(0)
#define Q_TRUE INT64_C(1)
#define Q_ENABLE INT64_C(-9997)
#define Q_DISABLE INT64_C(-9999)
#define Q_INFINITE INT64_C(-1)
#define Q_DEFAULT_HOST INT64_C(0x7F000001)    // ids 0x7F000000 to 0x7F0000FF name the host system
#define Q_STRING_SIZE INT64_C(0x50000000000)  // added to a text type: the room it needs
#define Q_UNHOOK INT64_C(0x4000000)           // added to a hook type: remove the hook

// Object types (inquire Q_OBJECT_TYPE).
#define Q_APPLICATION INT64_C(0x1)
#define Q_IMAGE INT64_C(0x4)  // buffers
#define Q_EVENT INT64_C(128)
#define Q_THREAD INT64_C(256)
#define Q_THREAD_OBJECT INT64_C(4096)  // a driver's thread object
#define Q_DIGITIZER INT64_C(0x100000)
#define Q_SYSTEM INT64_C(0x800000)
#define Q_FUNCTION_CONTEXT INT64_C(0x20000000000)
#define Q_SEQUENCE INT64_C(0x40000000000)
#define Q_DISPLAY INT64_C(0x80000000000)
#define Q_MAILBOX INT64_C(0x800000000000)
#define Q_HTTP_SERVER INT64_C(0x2000000000000)
#define Q_HOOK_EVENT INT64_C(0x60000002)  // host events that carry hook data

// Inquire types common to all objects.
#define Q_DRIVER_DATA INT64_C(10)            // answer: integer, the driver's pointer (internal)
#define Q_INTERNAL_OBJECT_TYPE INT64_C(29)   // answer: integer (internal)
#define Q_OBJECT_NAME INT64_C(47)            // answer: text
#define Q_OPCODE_FUNCTION_NAME INT64_C(48)   // answer: text (internal, of an opcode)
#define Q_OBJECT_TYPE INT64_C(136)           // answer: integer
#define Q_NUMBER INT64_C(1009)               // answer: integer
#define Q_OWNER_SYSTEM INT64_C(1101)         // answer: integer
#define Q_HOST_FEATURE_LEVEL INT64_C(15044)  // answer: integer
#define Q_SYSTEM_DESCRIPTOR INT64_C(7702)    // answer: text
#define Q_SYSTEM_TYPE INT64_C(2000)          // answer: integer
#define Q_DIGITIZER_NUM INT64_C(2004)        // answer: integer

// Device numbers of QsysAlloc and QdigAlloc; Q_DEFAULT allocates device 0.
#define Q_DEV0 INT64_C(0)
#define Q_DEV1 INT64_C(1)
#define Q_DEV2 INT64_C(2)
#define Q_DEV3 INT64_C(3)
#define Q_DEV4 INT64_C(4)
#define Q_DEV5 INT64_C(5)
#define Q_DEV6 INT64_C(6)
#define Q_DEV7 INT64_C(7)
#define Q_DEV8 INT64_C(8)
#define Q_DEV9 INT64_C(9)
#define Q_DEV10 INT64_C(10)
#define Q_DEV11 INT64_C(11)
#define Q_DEV12 INT64_C(12)
#define Q_DEV13 INT64_C(13)
#define Q_DEV14 INT64_C(14)
#define Q_DEV15 INT64_C(15)
#define Q_HOST_OBJECT_ID INT64_C(1049)  // control telling a driver the host id of its object

// Digitizer control and inquire types.
#define Q_GRAB_TIMEOUT INT64_C(4127)  // answer: integer, milliseconds

// Digitizer hook types of QdigHookFunction.
#define Q_GRAB_END INT64_C(3)        // a single grab ended
#define Q_GRAB_START INT64_C(4)      // a single grab started
#define Q_GRAB_FRAME_END INT64_C(5)  // a frame was grabbed

// QdigGrabWait flags: the same numbers as the hook types of those events.
#define Q_GRAB_NEXT_FRAME Q_GRAB_FRAME_END  // the next frame has ended
// Q_GRAB_END: every grab queued so far has ended.

// QdigProcess operations (a sequence's frame count goes in bits 5 and up:
// Q_START_SEQUENCE + (n << 5); 0 takes one frame per buffer) and operation flags.
#define Q_WAIT INT64_C(1)  // with Q_STOP: wait until the run has ended
#define Q_START INT64_C(2)
#define Q_STOP INT64_C(4)
#define Q_START_SEQUENCE INT64_C(8)
#define Q_SYNCHRONOUS INT64_C(1)  // returns when the run has ended
#define Q_ASYNCHRONOUS INT64_C(2)
#define Q_TRIGGER_FOR_FIRST_GRAB INT64_C(16)

// Internal inquire and control types of the host binding.
#define Q_ENTER_THREAD_CONTEXT INT64_C(219)  // answer: integer
#define Q_LEAVE_THREAD_CONTEXT INT64_C(220)
#define Q_SAVE_ERROR_STATE INT64_C(221)  // answer: integer, the saved state
#define Q_RESTORE_ERROR_STATE INT64_C(222)
#define Q_DRIVER_DATA_BLOCK INT64_C(46)  // answer: integer, an address

// Application settings.
#define Q_ERROR_PRINT INT64_C(0x41000000)  // answer: integer, Q_PRINT_ENABLE or Q_PRINT_DISABLE
#define Q_PRINT_ENABLE INT64_C(1)
#define Q_PRINT_DISABLE INT64_C(0)
#define Q_ERROR_SETTING INT64_C(15022)  // answer: integer
#define Q_NO_DIALOG INT64_C(0x40000000)

// Errors (application and host GetError types). Text types are the integer types plus
// Q_ERROR_TEXT; add Q_STRING_SIZE for the length of a text.
#define Q_ERROR_TEXT INT64_C(0x20000000)
#define Q_CURRENT INT64_C(0x10E0000)          // answer: integer, the error code
#define Q_CURRENT_SUB_NB INT64_C(0x1100000)   // answer: integer
#define Q_CURRENT_SUB_1 INT64_C(0x1110000)    // answer: integer
#define Q_CURRENT_SUB_2 INT64_C(0x1120000)    // answer: integer
#define Q_CURRENT_SUB_3 INT64_C(0x1130000)    // answer: integer
#define Q_MESSAGE (Q_ERROR_TEXT | Q_CURRENT)  // answer: text; 0x210E0000
#define Q_CURRENT_FCT INT64_C(0x210F0000)     // answer: text, the failing function's name
#define Q_CURRENT_SUB_1_TEXT (Q_ERROR_TEXT | Q_CURRENT_SUB_1)  // answer: text
#define Q_CURRENT_SUB_2_TEXT (Q_ERROR_TEXT | Q_CURRENT_SUB_2)  // answer: text
#define Q_CURRENT_SUB_3_TEXT (Q_ERROR_TEXT | Q_CURRENT_SUB_3)  // answer: text
#define Q_ERROR_CURRENT INT64_C(1)  // application hook type: an error was recorded
#define Q_ERROR_TEXT_SIZE 320       // characters of an error text, terminator included

// Host error codes.
#define Q_ERR_INVALID_ID INT64_C(1001)
#define Q_ERR_NULL_POINTER INT64_C(1002)
#define Q_ERR_INVALID_PARAMETER INT64_C(1003)
#define Q_ERR_WRONG_OBJECT_TYPE INT64_C(1004)
#define Q_ERR_SYSTEM_NOT_FOUND INT64_C(1005)
#define Q_ERR_NOT_SUPPORTED INT64_C(1006)
#define Q_ERR_OUT_OF_MEMORY INT64_C(1007)
#define Q_ERR_FILE INT64_C(1008)
#define Q_ERR_DRIVER INT64_C(1009)  // the driver failed without an error of its own
#define Q_ERR_HOOK INT64_C(1010)    // a hook or thread function handed over threw

// Feature data types of QdigControlFeature and QdigInquireFeature.
#define Q_TYPE_INT64 INT64_C(0x8000000000)
#define Q_TYPE_INT32 INT64_C(0x3000000000)
#define Q_TYPE_INT16 INT64_C(0x2000000000)
#define Q_TYPE_UINT8 INT64_C(0xA000000000)
#define Q_TYPE_DOUBLE INT64_C(0x5000000000)
#define Q_TYPE_FLOAT INT64_C(0x4000000000)
#define Q_TYPE_BOOLEAN INT64_C(0x1000000)
#define Q_TYPE_STRING INT64_C(0x7000000000)
#define Q_TYPE_ENUMERATION INT64_C(0x40000000)
#define Q_TYPE_COMMAND INT64_C(0x8000)
#define Q_TYPE_CATEGORY INT64_C(0x2000)
#define Q_TYPE_REGISTER INT64_C(0x80000000)
#define Q_TYPE_ZOR_INT Q_TYPE_INT64  // a ZOR_INT variable
// A byte array of n bytes (below 2^28): Q_TYPE_UINT8 + Q_FEATURE_USER_ARRAY_SIZE(n).
#define Q_FEATURE_USER_ARRAY_SIZE(n) (INT64_C(0xFFFFFFF) & (n))

// Feature control and inquire flags (operation in bits 16 to 23).
#define Q_FEATURE_VALUE INT64_C(0xFA0000)
#define Q_FEATURE_VALUE_AS_STRING INT64_C(0xFB0000)
#define Q_FEATURE_EXECUTE INT64_C(0xFC0000)
#define Q_FEATURE_MIN INT64_C(0xFD0000)
#define Q_FEATURE_MAX INT64_C(0xFE0000)
#define Q_FEATURE_INCREMENT INT64_C(0xFF0000)
#define Q_FEATURE_CHANGE_HOOK INT64_C(0x0E0000)
#define Q_FEATURE_PRESENT INT64_C(0x0D0000)
#define Q_FEATURE_SIZE (Q_FEATURE_VALUE + INT64_C(0x100000000))  // the value's byte size

// Feature hook types of QdigHookFunction and their QdigGetHookInfo types.
#define Q_FEATURE_CHANGE INT64_C(0x1A)            // a watched feature changed
#define Q_FEATURE_ANY_CHANGE INT64_C(0x4000001A)  // any feature changed
#define Q_FEATURE_BROWSER_CHANGE INT64_C(0x0100001A)
#define Q_TIME_STAMP INT64_C(64)           // answer: double, seconds
#define Q_GC_NODEMAP_PTR INT64_C(6906)     // answer: integer, the node map's address
#define Q_FEATURE_NAME INT64_C(0x870000)   // answer: text
#define Q_GC_EVENT_TYPE INT64_C(0x880000)  // answer: integer

// Buffer data types (bit depth in the low byte), attributes and layouts. A grab buffer
// (Q_IMAGE + Q_GRAB) has 8-bit pixels and, in colour, is packed (Q_PACKED: four bytes a pixel,
// blue, green, red, 0); an image without Q_GRAB of any depth has a plane per band (Q_PLANAR)
// and takes grabs too.
#define Q_UNSIGNED INT64_C(0)
#define Q_SIGNED INT64_C(0x8000000)
#define Q_FLOAT (INT64_C(0x40000000) | Q_SIGNED)
#define Q_GRAB INT64_C(0x8)
#define Q_PROC INT64_C(0x10)
#define Q_PACKED INT64_C(0x20000)
#define Q_PLANAR INT64_C(0x40000)

// Buffer inquire types answered by the host.
#define Q_SIZE_X INT64_C(1536)                  // answer: integer
#define Q_SIZE_Y INT64_C(1537)                  // answer: integer
#define Q_SIZE_BAND INT64_C(1005)               // answer: integer
#define Q_SIZE_BIT INT64_C(1007)                // answer: integer
#define Q_TYPE INT64_C(1008)                    // answer: integer
#define Q_ATTRIBUTE INT64_C(1001)               // answer: integer
#define Q_PITCH INT64_C(1540)                   // answer: integer
#define Q_PITCH_BYTE INT64_C(1541)              // answer: integer
#define Q_SIZE_BYTE INT64_C(5061)               // answer: integer
#define Q_PARENT_ID INT64_C(1040)               // answer: integer
#define Q_DRIVER_INDEX INT64_C(1107)            // answer: integer; 0 for a host buffer
#define Q_ANCESTOR_ID INT64_C(1041)             // answer: integer
#define Q_OFFSET_X INT64_C(1538)                // answer: integer
#define Q_OFFSET_Y INT64_C(1539)                // answer: integer
#define Q_HOST_ADDRESS INT64_C(0x10000)         // answer: integer; + 0x8, 0x10, 0x20: bands 0, 1, 2
#define Q_PHYSICAL_ADDRESS INT64_C(0x40000000)  // answer: integer
#define Q_BUFFER_DESCRIPTION INT64_C(5280)      // answer: integer, a HostBufferDescription*
#define Q_FORMAT_WORD INT64_C(7701)             // answer: integer
#define Q_GRAB_STATE INT64_C(1060)              // answer: integer

// Buffer export formats.
#define Q_RAW INT64_C(1)  // header and raw data, see platform/host/README.md

// Thread services.
#define Q_THREAD_WAIT INT64_C(0x40000000)  // + time-out in ms (0: no limit)
#define Q_WAIT_ENDED INT64_C(16)
#define Q_WAIT_TIMEOUT INT64_C(2077)

// Object hook types.
#define Q_OBJECT_FREE INT64_C(0x10000)
#define Q_MAILBOX_MESSAGE INT64_C(2053)
#define Q_OBJECT_ID INT64_C(0x1B0000)  // answer: integer, the object that raised the event

// Browser clients of feature-browser servers: application hook types and their hook info.
#define Q_BROWSER_CLIENT_CONNECTED INT64_C(46)
#define Q_BROWSER_CLIENT_DISCONNECTED INT64_C(52)
#define Q_BROWSER_CLIENT_ID INT64_C(219)  // answer: integer, the client's 64-bit id
// Application settings: the number of running feature-browser servers (a control with a nonzero
// value adds one, Q_DISABLE removes one), and the browser session.
#define Q_BROWSER_SERVERS INT64_C(15526)  // answer: integer
#define Q_BROWSER_SESSION INT64_C(15531)  // answer: integer

// HTTP server objects (Q_HTTP_SERVER): controls and inquiries.
#define Q_HTTP_ROOT_FOLDER INT64_C(108)  // answer: text
#define Q_HTTP_URL INT64_C(109)          // answer: text, "http://host:port"
#define Q_HTTP_START INT64_C(110)        // also the running state
#define Q_HTTP_STOP INT64_C(112)         // also the stopped state
#define Q_HTTP_STATE INT64_C(114)        // answer: integer, Q_HTTP_START or Q_HTTP_STOP
