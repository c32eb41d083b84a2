// Requests that address the kernel-side system as a whole. Fields named zero or pad by their
// byte offset carry nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interfaces/kernel/requestheader.h"

namespace zor::kernel {

struct DriverVersionRequest {
  RequestHeader header;
  uint64_t version;  // back: kernel driver version
};
static_assert(sizeof(DriverVersionRequest) == 96);
static_assert(offsetof(DriverVersionRequest, version) == 0x58);

inline constexpr size_t kSysSettingsSize = 200;
inline constexpr size_t kSysInfoSize = 40;
inline constexpr size_t kSysInfoTextOffset = 25;  // zero-terminated narrow text in the info block

// Words of the settings block (byte offsets) that the user-mode driver reads.
inline constexpr size_t kSettingBufferListLimit = 0x0C;
inline constexpr size_t kSettingAllLogCategories = 24;
inline constexpr size_t kSettingThreadTimeout = 152;
inline constexpr size_t kSettingTimingStatistics = 180;

struct SysAllocRequest {
  RequestHeader header;  // objectId: the caller's per-system kernel id
  uint32_t processId;
  uint32_t pad5C;
  uint64_t systemId;  // back: kernel system id
  uint32_t zero68;
  uint8_t settings[kSysSettingsSize];  // in: defaults; back: the kernel's settings
  uint32_t pad134;
  uint8_t info[kSysInfoSize];  // back: board information (serial number text)
  uint64_t callerWord;
};
static_assert(sizeof(SysAllocRequest) == 360);
static_assert(offsetof(SysAllocRequest, processId) == 0x58);
static_assert(offsetof(SysAllocRequest, systemId) == 0x60);
static_assert(offsetof(SysAllocRequest, zero68) == 0x68);
static_assert(offsetof(SysAllocRequest, settings) == 0x6C);
static_assert(offsetof(SysAllocRequest, info) == 0x138);
static_assert(offsetof(SysAllocRequest, callerWord) == 0x160);

// Request words of the system request.
inline constexpr uint64_t kSysRequestCapabilities = 2014;
inline constexpr uint64_t kSysRequestLogMemorySize = 2291;
inline constexpr uint64_t kSysRequestLogMemoryAddress = 2292;
inline constexpr uint64_t kSysRequestPerformance = 4601;

// Capability word bits.
inline constexpr uint64_t kCapFourChannels = 0x20000;
inline constexpr uint64_t kCapSixteenChannels = 0x40000;
// An encoder on the board: the processor, encoder and compression inquiries answer it.
inline constexpr uint64_t kCapEncoder = 0x80000;
// Buffers of a single line of 65536 pixels or more.
inline constexpr uint64_t kCapLineBuffers = 0x100000;

// Interrupt-timing statistics of request 4601, in counter ticks.
struct KernelPerformanceRecord {
  uint64_t frequency;  // ticks per second
  uint64_t sampleStart;
  uint64_t sampleEnd;
  uint64_t isrTotalWith, isrMaxWith, isrMinWith;  // with the interrupt-handler object
  uint64_t dpcTotalWith, dpcMaxWith, dpcMinWith;
  uint64_t isrTotalWithout, isrMinWithout, isrMaxWithout;  // without it
  uint64_t dpcTotalWithout, dpcMinWithout, dpcMaxWithout;
  uint64_t passiveTotal, passiveMin, passiveMax;
  uint64_t sleepTicks;  // for the driver's host-call report
  uint64_t isrCount, dpcCount, passiveCount;
};
static_assert(sizeof(KernelPerformanceRecord) == 22 * 8);
static_assert(offsetof(KernelPerformanceRecord, sleepTicks) == 18 * 8);

struct SysRequest {
  RequestHeader header;  // objectId: the caller's per-system kernel id
  uint64_t requestWord;
  uint64_t value;                       // back
  KernelPerformanceRecord performance;  // back for request 4601
  uint64_t reserved[5];
};
static_assert(sizeof(SysRequest) == 320);
static_assert(offsetof(SysRequest, requestWord) == 0x58);
static_assert(offsetof(SysRequest, value) == 0x60);
static_assert(offsetof(SysRequest, performance) == 0x68);

struct SysControlRequest {
  RequestHeader header;
  uint64_t type;
  uint64_t value;
};
static_assert(sizeof(SysControlRequest) == 104);
static_assert(offsetof(SysControlRequest, type) == 0x58);
static_assert(offsetof(SysControlRequest, value) == 0x60);

inline constexpr uint32_t kIoRead = 1;
inline constexpr uint32_t kIoWrite = 2;
inline constexpr uint32_t kIoMaxBytes = 256;
inline constexpr uint32_t kIoSerialNumberAddress = 120;

struct SysIoRequest {
  RequestHeader header;
  uint32_t direction;  // kIoRead or kIoWrite
  uint32_t address;
  uint32_t count;
  uint8_t data[kIoMaxBytes];
  uint32_t pad;
};
static_assert(sizeof(SysIoRequest) == 360);
static_assert(offsetof(SysIoRequest, direction) == 88);
static_assert(offsetof(SysIoRequest, address) == 92);
static_assert(offsetof(SysIoRequest, count) == 96);
static_assert(offsetof(SysIoRequest, data) == 100);

}  // namespace zor::kernel
