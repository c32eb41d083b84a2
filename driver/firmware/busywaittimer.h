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

  static double TicksPerSecond() { return s_ticksPerSecond; }

 private:
  void SetDeadline(double ticks);
  double ElapsedTicks();

  uint64_t m_currentTick = 0;
  uint64_t m_deadlineTick = 0;
  uint64_t m_startTick = 0;
  uint64_t m_lastTick = 0;
  double m_ticksPerMillisecond = 0;
  double m_ticksPerMicrosecond = 0;
  double m_ticksPerNanosecond = 0;

  // Shared by all timers and rewritten by each constructor, possibly on another thread.
  static std::atomic<double> s_ticksPerSecond;
};

// The process-wide timer the STAPL binding and the IEEE 1532 pin layer wait on.
CBusyWaitTimer& ProcessBusyWaitTimer();

}  // namespace zor::firmware
