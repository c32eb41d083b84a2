// Information types that QdigGetHookInfo asks of a board event: each answers one word of the
// event's record (interfaces/kernel/deviceevent.h), or the record's first bytes. Feature events
// answer types of their own (qtypes.h: Q_TIME_STAMP, Q_FEATURE_NAME, ...), some with the same
// numbers.
#pragma once

#include <cstdint>

namespace zor::protocol {

inline constexpr int64_t kEventTimeStamp = 0x1C0000;
inline constexpr int64_t kEventHostBuffer = 0x40160000;
inline constexpr int64_t kEventBufferIndex = 0x401B0000;
inline constexpr int64_t kEventFrameCount = 0x40410000;
inline constexpr int64_t kEventField = 0x40420000;
inline constexpr int64_t kEventChannel = 0x40430000;
inline constexpr int64_t kEventGrabCount = 0x40480000;
inline constexpr int64_t kEventType = 64;
inline constexpr int64_t kEventHostDigitizer = 66;
inline constexpr int64_t kEventSequence = 6923;
// The I/O state, asked by either type.
inline constexpr int64_t kEventIoState = 0x8A000;
inline constexpr int64_t kEventIoStateAlias = 0xA0000000;
inline constexpr int64_t kEventIoSource = 0x81000;
// The record's first N bytes, N being what the caller's variable holds.
inline constexpr int64_t kEventRecordBytes = 0x1D0000;
// What the flag of any type answers when the event carries no board record.
inline constexpr int64_t kNoInformation = 0x40000000;

}  // namespace zor::protocol
