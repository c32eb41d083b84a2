// CBusyWaitTimer: spins on the time-stamp counter for waits and deadlines.
#include "driver/firmware/busywaittimer.h"

#include <cmath>

#include "driver/foundation/drvtimer.h"
#include "driver/foundation/integerchecks.h"
#include "driver/foundation/timestamp.h"

using zor::foundation::CDrvTimer;
using zor::foundation::GetTimeStamp;

namespace zor::firmware {

std::atomic<double> CBusyWaitTimer::ticksPerSecond_{0};

namespace {

// Waits are minimum times: a part of a tick counts as a whole one. Nothing to wait for gives 0.
uint64_t WholeTicks(double ticks) {
  return ticks > 0 ? foundation::TruncateSaturated<uint64_t>(std::ceil(ticks), 0) : 0;
}

}  // namespace

CBusyWaitTimer::CBusyWaitTimer() {
  CDrvTimer timer;
  ticksPerSecond_ = static_cast<double>(CDrvTimer::TicksPerSecond());
  ticksPerMillisecond_ = ticksPerSecond_ / 1e3;
  ticksPerMicrosecond_ = ticksPerSecond_ / 1e6;
  ticksPerNanosecond_ = ticksPerSecond_ / 1e9;
}

void CBusyWaitTimer::WaitTicks(uint64_t ticks) {
  const uint64_t start = GetTimeStamp();
  while (GetTimeStamp() - start < ticks) {
  }
}

void CBusyWaitTimer::WaitSeconds(double amount) { WaitTicks(WholeTicks(amount * ticksPerSecond_)); }

void CBusyWaitTimer::WaitMilliseconds(double amount) {
  WaitTicks(WholeTicks(amount * ticksPerMillisecond_));
}

void CBusyWaitTimer::WaitMicroseconds(double amount) {
  WaitTicks(WholeTicks(amount * ticksPerMicrosecond_));
}

void CBusyWaitTimer::WaitNanoseconds(double amount) {
  WaitTicks(WholeTicks(amount * ticksPerNanosecond_));
}

void CBusyWaitTimer::SetDeadline(double ticks) {
  currentTick_ = GetTimeStamp();
  deadlineTick_ = currentTick_ + WholeTicks(ticks);
}

void CBusyWaitTimer::SetDeadlineSeconds(double amount) { SetDeadline(amount * ticksPerSecond_); }

void CBusyWaitTimer::SetDeadlineMilliseconds(double amount) {
  SetDeadline(amount * ticksPerMillisecond_);
}

void CBusyWaitTimer::SetDeadlineMicroseconds(double amount) {
  SetDeadline(amount * ticksPerMicrosecond_);
}

bool CBusyWaitTimer::DeadlinePassed() {
  currentTick_ = GetTimeStamp();
  return currentTick_ > deadlineTick_;
}

void CBusyWaitTimer::Start() { startTick_ = GetTimeStamp(); }

double CBusyWaitTimer::ElapsedTicks() {
  lastTick_ = GetTimeStamp();
  return static_cast<double>(lastTick_ - startTick_);
}

double CBusyWaitTimer::Elapsed() { return ElapsedTicks() / ticksPerSecond_; }

double CBusyWaitTimer::ElapsedMilliseconds() { return ElapsedTicks() / ticksPerMillisecond_; }

double CBusyWaitTimer::ElapsedMicroseconds() { return ElapsedTicks() / ticksPerMicrosecond_; }

double CBusyWaitTimer::ElapsedNanoseconds() { return ElapsedTicks() / ticksPerNanosecond_; }

CBusyWaitTimer& ProcessBusyWaitTimer() {
  static CBusyWaitTimer timer;
  return timer;
}

}  // namespace zor::firmware
