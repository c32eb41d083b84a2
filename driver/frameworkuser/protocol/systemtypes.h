// System control and inquire types. Those that platform/host/qtypes.h names (Q_NUMBER,
// Q_SYSTEM_TYPE, Q_DIGITIZER_NUM, ...) are used from there. The Q_ names here are the public ones
// that the application reaches through the system's own node map (QsysControl_dravion-lyn.xml,
// whose registers sit at these types); the k names are the driver's, for types no map carries.
#pragma once

#include <cstdint>

#include "driver/foundation/integerchecks.h"

namespace zor::protocol {

// Types every object answers.
inline constexpr int64_t kInitFlag = 1012;
inline constexpr int64_t Q_EXTENDED_INIT_FLAG = 6705;
inline constexpr int64_t Q_GENICAM_AVAILABLE = 1079;

// The board and what it offers.
inline constexpr int64_t Q_BOARD_TYPE = 2014;
inline constexpr int64_t Q_BOARD_SERIAL_WORD = 2093;  // 4 bytes at an I/O address
inline constexpr int64_t Q_BOARD_REVISION = 2345;
inline constexpr int64_t kBoardRevisionWord = 2346;
inline constexpr int64_t Q_FIRMWARE_CODE = 2155;
inline constexpr int64_t kFirmwareCodeWord = 2342;
inline constexpr int64_t Q_SERIAL_NUMBER = 7703;  // wide text
inline constexpr int64_t Q_ON_BOARD_MEMORY_SIZE = 2134;
inline constexpr int64_t Q_PROCESSOR_NUM = 2006;
inline constexpr int64_t Q_MPEG4_ENCODER_PRESENT = 2104;
inline constexpr int64_t Q_VIDEO_ENCODER_SUPPORT = 2114;
inline constexpr int64_t Q_COMPRESSION_SUPPORT = 2130;
inline constexpr int64_t Q_DIGITIZER_SUPPORTED = 2008;
inline constexpr int64_t Q_DCF_SUPPORTED = 2050;
inline constexpr int64_t Q_GRAB_PROCESS_SUPPORTED = 2329;
inline constexpr int64_t Q_PROCESS_BUFFER_NUM_MAX = 2009;
inline constexpr int64_t Q_GRAB_BUFFER_NUM_MAX = 2159;
inline constexpr int64_t Q_MEMORY_PAGING = 2044;
inline constexpr int64_t Q_WRITE_COMBINING = 2045;
inline constexpr int64_t Q_DMA_ON_CPU = 4518;
inline constexpr int64_t Q_GPU_PRESENT = 4517;
inline constexpr int64_t Q_DISPLAY_SUPPORT = 4548;
inline constexpr int64_t Q_UART_PRESENT = 2132;
inline constexpr int64_t Q_IO_COUNT = 4369;
inline constexpr int64_t Q_IO_INTERRUPT_ACTIVATION = 4364;
inline constexpr int64_t Q_AUX_IO_COUNT = 4450;
inline constexpr int64_t Q_AUX_IO_COUNT_IN = 4451;
inline constexpr int64_t Q_AUX_IO_COUNT_OUT = 4452;
inline constexpr int64_t Q_EVENT_SUPPORT = 4375;
inline constexpr int64_t Q_ASYNCHRONOUS_CALL_SUPPORT = 4376;
inline constexpr int64_t Q_DIGITIZER_HOOK_SUPPORT = 4379;
inline constexpr int64_t Q_SYSTEM_HOOK_SUPPORT = 4380;
inline constexpr int64_t Q_GRAB_TRIGGER_SUPPORT = 4394;
inline constexpr int64_t Q_GRAB_TIMESTAMP_SUPPORT = 4395;
inline constexpr int64_t Q_SERIAL_PORT_SUPPORT = 4398;
inline constexpr int64_t Q_ERROR_TRACE = 2034;
inline constexpr int64_t Q_DRIVER_BUILD = 4362;
// The kernel device's handle, asked by either type.
inline constexpr int64_t kDeviceHandle = 1016;
inline constexpr int64_t kSystemDeviceHandle = 2024;
// A bridge update (value 0x20000) or, with any other value, the grab module's firmware check.
inline constexpr int64_t kGrabModuleFirmware = 2340;

// The system's objects and the host.
inline constexpr int64_t Q_DIGITIZER_ALLOCATED_NUM = 2331;
inline constexpr int64_t Q_PROCESSING_SYSTEM_NUM = 2378;
inline constexpr int64_t Q_HOST_SYSTEM_ID = 2301;
inline constexpr int64_t Q_HOST_SYSTEM_NUMBER = 2316;
inline constexpr int64_t Q_MODIFIED_BUFFER_HOOK_THREAD_NUM = 2447;
// Its values: one thread, or several (their count in the low bits, 0 for as many as processors,
// with kBeyondProcessors more than that).
inline constexpr int64_t kSingleHookThread = 8192;
inline constexpr int64_t kSeveralHookThreads = 0x1000;
inline constexpr int64_t kBeyondProcessors = 0x4000;

// Threads: the system's default time-out (seconds), the end-of-command mode (1 or 2), and the
// thread-object types that the system passes on to its thread 0.
inline constexpr int64_t Q_TIMEOUT = 2077;
inline constexpr int64_t Q_THREAD_MODE = 1804;
inline constexpr int64_t Q_CURRENT_THREAD_ID = 1103;
inline constexpr int64_t kThreadLastEvent = 1019;
inline constexpr int64_t kThreadWordFirst = 2435;
inline constexpr int64_t kThreadWordSecond = 2436;

// The driver log: empty it, save it ("DebugDump<value>.zim"), write a value into it, its folder.
inline constexpr int64_t Q_DRIVER_LOG_RESET = 2100;
inline constexpr int64_t kDriverLogSave = 2101;
inline constexpr int64_t kDriverLogValue = 1051;
inline constexpr int64_t Q_DRIVER_LOG_FOLDER = 7708;  // wide text

// The system's event hooks that have no public name. Each hook type is also the board's system
// control that switches the hook's events on (Q_ENABLE) and off (Q_DISABLE).
inline constexpr int64_t kSystemEventHookFirst = 2244;
inline constexpr int64_t kSystemEventHookSecond = 2372;
inline constexpr int64_t kSystemEventHookThird = 0x8B000;

// The system types whose value the host takes as a double.
inline constexpr foundation::IntRange kDoubleSystemTypes[] = {
    {7300, 7399}, {133072, 134072}, {5136, 5136}};

// Whether the host takes a system type's value as a double, whatever flags ride on it.
constexpr bool IsDoubleSystemType(int64_t type) {
  constexpr int64_t kTypeFlagBits = 0xF0000000000;  // bits 40 to 43
  return foundation::InAnyRange(type & ~kTypeFlagBits, kDoubleSystemTypes);
}

}  // namespace zor::protocol
