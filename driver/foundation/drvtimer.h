// CDrvTimer: time measured with the processor's time-stamp counter.
#pragma once

#include <cstdint>

#include "driver/foundation/timestamp.h"

namespace zor::foundation {

// Nanoseconds for a tick difference, without losing precision when a microsecond has fewer
// ticks than a nanosecond scale of 1000; 0 when the ticks per microsecond are unknown.
uint64_t TicksToNanoseconds(uint64_t ticks, uint64_t ticksPerMicrosecond);

// Measures time with the time-stamp counter. The ticks per microsecond are found once per
// process: from the processor's nominal frequency in the registry, else by calibration.
class CDrvTimer {
 public:
  CDrvTimer();
  CDrvTimer(const CDrvTimer&) = delete;
  CDrvTimer& operator=(const CDrvTimer&) = delete;
  // Restores the process affinity when this timer pinned it.
  virtual ~CDrvTimer();

  void Init();
  // Counter ticks per second.
  uint64_t GetCpuFrequency();
  static uint64_t TicksPerSecond();
  // Pinning keeps start and stop on one processor's counter (the whole process moves).
  void Start(bool pin);
  // 0 when not started.
  uint64_t ElapsedNs();
  void PinToCpu0();
  void RestoreAffinity();
  void Unpin();
  // Counter ticks per second measured over 100 ms of the performance counter, pinned to
  // processor 0; 0 when the performance counter is not available.
  uint64_t MeasureCpuFrequency();

 private:
  uint32_t available_ = 0;
  bool pinned_ = false;
  uint64_t start_ = 0;
  uint64_t stop_ = 0;
  uint64_t savedAffinity_ = 0;
  uint64_t systemAffinity_ = 0;
};

}  // namespace zor::foundation
