// Device events: the overlapped WaitDeviceEvent record and the payloads the
// kernel delivers in it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interfaces/kernel/requestheader.h"

namespace zor::kernel {

inline constexpr uint64_t kDeviceEventMagic = 0x19980312;
inline constexpr uint64_t kEventReturnFromSleep = 0x8000000;
inline constexpr size_t kEventPayloadSize = 272;

// Hook types of the waits: system-wide buffer-modified events, and the
// per-digitizer ones (digitizer index in the low bits).
inline constexpr uint64_t kHookBufferModified = 0x80000000;
inline constexpr uint64_t kHookDigitizerBufferModified = 0x90000000;

struct DeviceEventRecord {
  uint64_t handlePair[2];
  uint64_t objectWords[2];
  uint64_t errorHeader[3];
  ErrorTriple status;
  uint64_t magic;       // kDeviceEventMagic
  uint64_t kernelWord;  // the kernel's, handed on from the reply as it stands
  uint64_t typeOrCode;  // in: the hook type; back: the event code
  uint8_t payload[kEventPayloadSize];
  uint64_t lastWord;
};
static_assert(sizeof(DeviceEventRecord) == 392);
static_assert(offsetof(DeviceEventRecord, status) == 0x38);
static_assert(offsetof(DeviceEventRecord, magic) == 0x58);
static_assert(offsetof(DeviceEventRecord, kernelWord) == 0x60);
static_assert(offsetof(DeviceEventRecord, typeOrCode) == 0x68);
static_assert(offsetof(DeviceEventRecord, payload) == 0x70);
static_assert(offsetof(DeviceEventRecord, lastWord) == 0x180);

inline constexpr uint64_t kBoardEventSize = 104;

// Payload of a board event (digitizer and system hooks); w0 is its size.
struct BoardEventPayload {
  uint64_t size;           // kBoardEventSize
  uint64_t timeStamp;      // w1: microseconds since the board started
  uint64_t hostBuffer;     // w2: host id of the buffer concerned, 0 none
  int64_t bufferIndex;     // w3: the buffer's index in the system's list, -1 none
  uint64_t frameCount;     // w4: frames produced on the channel
  uint64_t field;          // w5: 0 frame, 1 odd field, 2 even field
  uint64_t channel;        // w6
  uint64_t grabCount;      // w7: grabs completed on the channel
  uint64_t eventType;      // w8: the device-event type that fired
  uint64_t hostDigitizer;  // w9
  uint64_t sequence;       // w10: board-wide event sequence number
  uint64_t ioState;        // w11: I/O and auxiliary state
  uint64_t ioSource;       // w12: I/O event source
  uint8_t rest[kEventPayloadSize - kBoardEventSize];
};
static_assert(sizeof(BoardEventPayload) == kEventPayloadSize);
static_assert(offsetof(BoardEventPayload, ioSource) == 96);

inline constexpr uint64_t kGrabStartWord = 0x10000000;
inline constexpr uint64_t kGrabEndWord = 0x20000000;

// Words of a grab's status (the payload's grabStatus): the board's number of
// the frame grabbed, the frames the processing run has grabbed so far, the
// board's counter ticks over those frames, and the counter's frequency.
inline constexpr size_t kStatusFrameNumber = 0;
inline constexpr size_t kStatusFramesCounted = 1;
inline constexpr size_t kStatusElapsedTicks = 2;
inline constexpr size_t kStatusCounterFrequency = 3;

// Payload of a buffer-modified event; the reserved words, named by their offset, carry nothing
// the driver reads.
struct BufferModifiedPayload {
  uint64_t reserved0[4];
  uint64_t hostObject;  // 32: host buffer (or digitizer) to notify
  uint64_t reserved40;
  uint64_t hookFunction;  // 48
  uint64_t hookData;      // 56
  uint64_t count;         // 64: columns written
  uint64_t further;       // 72: lines written
  uint64_t reserved80[2];
  uint64_t grabError;  // 96
  uint64_t reserved104[2];
  uint64_t digitizerIndex;  // 120: 0 = not from a digitizer
  uint64_t bufferIndex;     // 128
  uint64_t reserved136;
  uint64_t eventWord;        // 144: kGrabStartWord / kGrabEndWord
  uint64_t errorCode;        // 152
  uint64_t errorSubCode;     // 160
  uint64_t grabStatus[8];    // 168
  uint64_t rateNumerator;    // 232
  uint64_t rateDenominator;  // 240
  uint64_t pairNumerator;    // 248
  uint64_t pairDenominator;  // 256
  uint64_t reserved264;
};
static_assert(sizeof(BufferModifiedPayload) == kEventPayloadSize);
static_assert(offsetof(BufferModifiedPayload, hostObject) == 32);
static_assert(offsetof(BufferModifiedPayload, hookFunction) == 48);
static_assert(offsetof(BufferModifiedPayload, count) == 64);
static_assert(offsetof(BufferModifiedPayload, grabError) == 96);
static_assert(offsetof(BufferModifiedPayload, digitizerIndex) == 120);
static_assert(offsetof(BufferModifiedPayload, bufferIndex) == 128);
static_assert(offsetof(BufferModifiedPayload, eventWord) == 144);
static_assert(offsetof(BufferModifiedPayload, errorCode) == 152);
static_assert(offsetof(BufferModifiedPayload, grabStatus) == 168);
static_assert(offsetof(BufferModifiedPayload, rateNumerator) == 232);
static_assert(offsetof(BufferModifiedPayload, rateDenominator) == 240);
static_assert(0x70 + offsetof(BufferModifiedPayload, rateNumerator) == 0x158);
static_assert(0x70 + offsetof(BufferModifiedPayload, pairNumerator) == 0x168);

}  // namespace zor::kernel
