// TapQueue: pin transitions queued and played in bursts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zor::isc {

// One queued pin transition; 32 bytes as the play loop expects.
struct TapTransition {
  uint32_t address;
  uint32_t kind;
  uint8_t reserved[16];
  uint8_t state;
  uint8_t reserved2[7];
};
static_assert(sizeof(TapTransition) == 32);

constexpr uint32_t kTapTransitionWrite = 13;
constexpr uint32_t kTapTransitionRead = 10;
constexpr uint8_t kTapStateTdi = 1u << 0;
constexpr uint8_t kTapStateTck = 1u << 1;
constexpr uint8_t kTapStateTms = 1u << 2;
constexpr uint8_t kTapStateTdo = 1u << 4;

// The queue plays itself once it holds this many; it grows to what the longest shift needs.
constexpr size_t kTapFlushThreshold = 0x1FFFFB;
constexpr size_t kTapFirstTransitions = 4096;

// Transitions queued for one play, and the pin state the next one starts from.
struct TapQueue {
  std::vector<TapTransition> transitions;
  size_t count = 0;
  bool readsQueued = false;
  uint8_t state = 0;
};

// Queues one TCK cycle, or with flush plays the queue and collects the TDO bits it read, least
// significant bit first into bytes. Returns 1 after a flush.
int TapQueueShift(bool flush, bool checkBurst, bool readTdo, int tms, int tdi,
                  std::vector<uint8_t>* tdoBytes, int64_t* tdoBits);
void TapPlayBuffer(TapTransition* entries, size_t count);

}  // namespace zor::isc
