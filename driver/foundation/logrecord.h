// The layout of the driver-log ring shared with the kernel driver: its header and its records.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::foundation {

// The driver-log ring lies in memory shared with the kernel driver: a header, then
// fixed-size records. Little-endian; both layouts are fixed.
struct LogRingHeader {
  uint32_t writeOffset;  // where the next record starts
  uint32_t totalSize;    // size of the ring memory, cleared up to here on reset
  uint8_t kernel1[12];   // the kernel driver's; never touched here
  uint32_t ringSize;     // a record is started only below this offset
  uint8_t kernel2[64];
};
static_assert(sizeof(LogRingHeader) == 88);
static_assert(offsetof(LogRingHeader, totalSize) == 4);
static_assert(offsetof(LogRingHeader, ringSize) == 20);

struct LogTagPair {
  uint32_t tag;
  uint32_t unused;
  uint64_t value;
};
static_assert(sizeof(LogTagPair) == 16);

struct LogRecord {
  uint32_t sourceId;
  // bits 0-19 sequence, bit 20 set by this writer, bits 21-23 low bits of the provider's word 4
  uint32_t sequenceWord;
  // bits 0-23 thread id, 24-31 zero, 32-39 processor, 40-59 provider's word 3, 60-63 kept
  uint64_t threadWord;
  uint32_t kind;
  uint32_t unused;
  uint64_t timeStamp;  // 0 while the record is being written
  LogTagPair pairs[3];
};
static_assert(sizeof(LogRecord) == 80);
static_assert(offsetof(LogRecord, threadWord) == 8);
static_assert(offsetof(LogRecord, kind) == 16);
static_assert(offsetof(LogRecord, timeStamp) == 24);
static_assert(offsetof(LogRecord, pairs) == 32);

inline constexpr uint32_t kLogHeaderSize = sizeof(LogRingHeader);
inline constexpr uint32_t kLogRecordSize = sizeof(LogRecord);

// Record kinds with a fixed meaning.
inline constexpr uint32_t kLogKindError = 2;
inline constexpr uint32_t kLogKindCommand = 4;
inline constexpr uint32_t kLogKindWrap = 6;
inline constexpr uint32_t kLogKindSave = 7;

}  // namespace zor::foundation
