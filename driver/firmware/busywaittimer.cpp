#include "driver/firmware/busywaittimer.h"

#include <cmath>

#include "driver/foundation/drvtimer.h"
#include "driver/foundation/timestamp.h"

using zor::foundation::CDrvTimer;
using zor::foundation::GetTimeStamp;

namespace zor::firmware {

std::atomic<double> CBusyWaitTimer::s_ticksPerSecond{0};

namespace {

// Waits are minimum times: a part of a tick counts as a whole one. Nothing to wait for gives 0.
uint64_t WholeTicks(double ticks) {
  return ticks > 0 ? static_cast<uint64_t>(std::ceil(ticks)) : 0;
}

}  // namespace

CBusyWaitTimer::CBusyWaitTimer() {
  CDrvTimer timer;
  s_ticksPerSecond = static_cast<double>(CDrvTimer::TicksPerSecond());
  m_ticksPerMillisecond = s_ticksPerSecond / 1e3;
  m_ticksPerMicrosecond = s_ticksPerSecond / 1e6;
  m_ticksPerNanosecond = s_ticksPerSecond / 1e9;
}

void CBusyWaitTimer::WaitTicks(uint64_t ticks) {
  const uint64_t start = GetTimeStamp();
  while (GetTimeStamp() - start < ticks) {
  }
}

void CBusyWaitTimer::WaitSeconds(double amount) {
  WaitTicks(WholeTicks(amount * s_ticksPerSecond));
}

void CBusyWaitTimer::WaitMilliseconds(double amount) {
  WaitTicks(WholeTicks(amount * m_ticksPerMillisecond));
}

void CBusyWaitTimer::WaitMicroseconds(double amount) {
  WaitTicks(WholeTicks(amount * m_ticksPerMicrosecond));
}

void CBusyWaitTimer::WaitNanoseconds(double amount) {
  WaitTicks(WholeTicks(amount * m_ticksPerNanosecond));
}

void CBusyWaitTimer::SetDeadline(double ticks) {
  m_currentTick = GetTimeStamp();
  m_deadlineTick = m_currentTick + WholeTicks(ticks);
}

void CBusyWaitTimer::SetDeadlineSeconds(double amount) { SetDeadline(amount * s_ticksPerSecond); }

void CBusyWaitTimer::SetDeadlineMilliseconds(double amount) {
  SetDeadline(amount * m_ticksPerMillisecond);
}

void CBusyWaitTimer::SetDeadlineMicroseconds(double amount) {
  SetDeadline(amount * m_ticksPerMicrosecond);
}

bool CBusyWaitTimer::DeadlinePassed() {
  m_currentTick = GetTimeStamp();
  return m_currentTick > m_deadlineTick;
}

void CBusyWaitTimer::Start() { m_startTick = GetTimeStamp(); }

double CBusyWaitTimer::ElapsedTicks() {
  m_lastTick = GetTimeStamp();
  return static_cast<double>(m_lastTick - m_startTick);
}

double CBusyWaitTimer::Elapsed() { return ElapsedTicks() / s_ticksPerSecond; }

double CBusyWaitTimer::ElapsedMilliseconds() { return ElapsedTicks() / m_ticksPerMillisecond; }

double CBusyWaitTimer::ElapsedMicroseconds() { return ElapsedTicks() / m_ticksPerMicrosecond; }

double CBusyWaitTimer::ElapsedNanoseconds() { return ElapsedTicks() / m_ticksPerNanosecond; }

CBusyWaitTimer& ProcessBusyWaitTimer() {
  static CBusyWaitTimer timer;
  return timer;
}

}  // namespace zor::firmware
