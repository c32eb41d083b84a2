// Device I/O control codes of the board's kernel driver.
#pragma once

#include <cstdint>

// Windows rule: device type in the upper 16 bits, function in bits 2-13,
// buffered transfer and any access (both 0).
#define ZOR_KERNEL_CTL_CODE(function) ((0xD8A4u << 16) | (((function)&0xFFFu) << 2))

namespace zor::kernel {

inline constexpr uint32_t kDeviceType = 0xD8A4;
inline constexpr uint64_t kDriverVersion = 0x9DF201;

enum Function : uint32_t {
  kGetDriverVersion = 0x9FB,
  kSysClose = 0x9FC,
  kEventWaitEnd = 0x9FD,
  kSysAlloc = 0x9FE,
  kWaitDeviceEvent = 0x9FF,
  kKernelObjectAlloc = 0xA02,
  kKernelObjectControl = 0xA03,
  kKernelObjectInquire = 0xA04,
  kKernelObjectFree = 0xA05,
  kSysRequest = 0xA06,
  kSysControl = 0xA07,
  kThreadAlloc = 0xA08,
  kThreadFree = 0xA09,
  kThreadControl = 0xA0A,
  kThreadWait = 0xA0B,
  kThreadWaitMultiple = 0xA0C,
  kThreadInquire = 0xA0D,
  kDigAlloc = 0xA0E,
  kDigFree = 0xA0F,
  kDigInquire = 0xA10,
  kDigControl = 0xA11,
  kDigGrab = 0xA12,
  kDigReference = 0xA16,
  kDigStopGrab = 0xA17,
  kDigGrabWait = 0xA18,
  kThreadContextEvent = 0xA19,
  kDigChannelInit = 0xA1A,
  kDigProcessStart = 0xA1B,
  kDigProcessRequest = 0xA1C,
  kDigContinueGrabPrepared = 0xA1E,
  kDigContinueGrab = 0xA1F,
  kDigProcessStop = 0xA20,
  kDigInquireValue = 0xA21,
  kBufAlloc = 0xA22,
  kBufChildAlloc = 0xA23,
  kBufPassWords = 0xA24,
  kBufFree = 0xA25,
  kBufInquire = 0xA26,
  kBufControl = 0xA27,
  kBufQueueGrab = 0xA28,
  kBufTransfer = 0xA29,
  kAllocOnBoardBuffer = 0xA2A,
  kFreeOnBoardBuffer = 0xA2B,
  kBufTripleTransfer = 0xA31,
  kSysIoCommand = 0xA32,
};

constexpr uint32_t ControlCode(uint32_t function) { return ZOR_KERNEL_CTL_CODE(function); }
constexpr uint32_t FunctionOf(uint32_t code) { return (code >> 2) & 0xFFF; }
constexpr uint32_t DeviceTypeOf(uint32_t code) { return code >> 16; }

static_assert(ControlCode(kGetDriverVersion) == 0xD8A427ECu);
static_assert(ControlCode(kSysIoCommand) == 0xD8A428C8u);
static_assert(ControlCode(kThreadContextEvent) == 0xD8A42864u);
static_assert(FunctionOf(0xD8A427ECu) == 2555);

}  // namespace zor::kernel
