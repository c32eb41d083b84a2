// CBusyWaitTimer: the exact short delays JTAG programming needs.
#pragma once

#include <atomic>
#include <cstdint>

namespace zor::firmware {

// Spinning delay timer on the processor's time-stamp counter. Waits never sleep or yield.
class CBusyWaitTimer {
 public:
  CBusyWaitTimer();

  void WaitSeconds(double amount);
  void WaitMilliseconds(double amount);
  void WaitMicroseconds(double amount);
  void WaitNanoseconds(double amount);
  void WaitTicks(uint64_t ticks);

  void SetDeadlineSeconds(double amount);
  void SetDeadlineMilliseconds(double amount);
  void SetDeadlineMicroseconds(double amount);
  bool DeadlinePassed();

  void Start();
  double Elapsed();
  double ElapsedMilliseconds();
  double ElapsedNanoseconds();
  double ElapsedMicroseconds();

  static double TicksPerSecond() { return ticksPerSecond_; }

 private:
  void SetDeadline(double ticks);
  double ElapsedTicks();

  uint64_t currentTick_ = 0;
  uint64_t deadlineTick_ = 0;
  uint64_t startTick_ = 0;
  uint64_t lastTick_ = 0;
  double ticksPerMillisecond_ = 0;
  double ticksPerMicrosecond_ = 0;
  double ticksPerNanosecond_ = 0;

  // Shared by all timers and rewritten by each constructor, possibly on another thread.
  static std::atomic<double> ticksPerSecond_;
};

// The process-wide timer the STAPL binding and the IEEE 1532 pin layer wait on.
CBusyWaitTimer& ProcessBusyWaitTimer();

}  // namespace zor::firmware
