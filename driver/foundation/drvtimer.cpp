// CDrvTimer: the time-stamp counter's rate, from the registry or by calibration, and its readings.
#include "driver/foundation/drvtimer.h"

#include <atomic>

#include "platform/os/core/error.h"
#include "platform/os/cpu/processor.h"
#include "platform/os/cpu/timing.h"
#include "platform/os/registry/registry.h"
#include "platform/os/sync/thread.h"

namespace zor::foundation {

namespace {

constexpr uint64_t kNanosecondScale = 1000;
constexpr uint64_t kCpu0Mask = 1;

// Found by the first timer; every timer's construction refreshes the copy in use.
std::atomic<uint64_t> g_ticksPerMicrosecond{0};
std::atomic<uint64_t> g_ticksInUse{0};

uint64_t NominalFrequency() {
  os::Handle key = os::kNullHandle;
  if (os::RegOpenKey(os::HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                     os::KEY_QUERY_VALUE, &key) != os::ERROR_SUCCESS) {
    return 0;
  }
  uint32_t type = 0;
  uint32_t megahertz = 0;
  uint32_t size = 0;
  bool read = os::RegQueryValue(key, L"~MHz", &type, nullptr, &size) == os::ERROR_SUCCESS &&
              size == sizeof(megahertz);
  read = read && os::RegQueryValue(key, L"~MHz", &type, &megahertz, &size) == os::ERROR_SUCCESS &&
         type == os::REG_DWORD;
  os::RegCloseKey(key);
  return read ? uint64_t{megahertz} * 1000000 : 0;
}

}  // namespace

uint64_t TicksToNanoseconds(uint64_t ticks, uint64_t ticksPerMicrosecond) {
  if (ticksPerMicrosecond == 0) return 0;
  const unsigned __int128 scaled = static_cast<unsigned __int128>(ticks) * kNanosecondScale;
  return static_cast<uint64_t>(scaled / ticksPerMicrosecond);
}

CDrvTimer::CDrvTimer() {
  os::GetProcessAffinityMask(os::GetCurrentProcess(), &savedAffinity_, &systemAffinity_);
  Init();
}

CDrvTimer::~CDrvTimer() { Unpin(); }

void CDrvTimer::Init() {
  start_ = 0;
  stop_ = 0;
  pinned_ = false;
  available_ = 1;
  if (g_ticksPerMicrosecond.load() == 0) g_ticksPerMicrosecond.store(GetCpuFrequency() / 1000000);
  g_ticksInUse.store(g_ticksPerMicrosecond.load());
}

uint64_t CDrvTimer::GetCpuFrequency() {
  const uint64_t nominal = NominalFrequency();
  return nominal != 0 ? nominal : MeasureCpuFrequency();
}

uint64_t CDrvTimer::MeasureCpuFrequency() {
  const bool pin = savedAffinity_ != kCpu0Mask;
  if (pin) os::SetProcessAffinityMask(os::GetCurrentProcess(), kCpu0Mask);
  int64_t frequency = 0;
  int64_t first = 0;
  int64_t now = 0;
  uint64_t result = 0;
  if (os::QueryPerformanceFrequency(&frequency) && frequency > 0 &&
      os::QueryPerformanceCounter(&first)) {
    const uint64_t stampBefore = GetTimeStamp();
    do {
      os::QueryPerformanceCounter(&now);
    } while (now - first < frequency / 10);
    const uint64_t stampAfter = GetTimeStamp();
    os::QueryPerformanceCounter(&now);
    const unsigned __int128 ticks = stampAfter - stampBefore;
    if (now > first) {  // a counter slower than 10 Hz need not have moved at all
      result = static_cast<uint64_t>(ticks * static_cast<uint64_t>(frequency) /
                                     static_cast<uint64_t>(now - first));
    }
  }
  if (pin) os::SetProcessAffinityMask(os::GetCurrentProcess(), savedAffinity_);
  return result;
}

uint64_t CDrvTimer::TicksPerSecond() { return g_ticksPerMicrosecond.load() * 1000000; }

void CDrvTimer::Start(bool pin) {
  start_ = 0;
  if (available_ == 0) return;
  if (pin && !pinned_) PinToCpu0();
  start_ = GetTimeStamp();
}

uint64_t CDrvTimer::ElapsedNs() {
  if (available_ == 0 || start_ == 0) return 0;
  stop_ = GetTimeStamp();
  return TicksToNanoseconds(stop_ - start_, g_ticksInUse.load());
}

void CDrvTimer::PinToCpu0() {
  pinned_ = true;
  if (savedAffinity_ != kCpu0Mask) os::SetProcessAffinityMask(os::GetCurrentProcess(), kCpu0Mask);
}

void CDrvTimer::RestoreAffinity() {
  pinned_ = false;
  if (savedAffinity_ != kCpu0Mask) {
    os::SetProcessAffinityMask(os::GetCurrentProcess(), savedAffinity_);
  }
}

void CDrvTimer::Unpin() {
  if (pinned_) RestoreAffinity();
}

}  // namespace zor::foundation
