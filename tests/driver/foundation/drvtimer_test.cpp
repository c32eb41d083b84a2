#include "driver/foundation/drvtimer.h"

#include <gtest/gtest.h>

#include "platform/os/core/error.h"
#include "platform/os/cpu/processor.h"
#include "platform/os/registry/registry.h"
#include "platform/os/sync/thread.h"

using namespace zor::foundation;

namespace {

// The "~MHz" value of processor 0, 0 when this machine does not report one.
uint32_t NominalMegahertz() {
  os::Handle key = os::kNullHandle;
  uint32_t megahertz = 0;
  uint32_t size = sizeof(megahertz);
  if (os::RegOpenKey(os::HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                     os::KEY_QUERY_VALUE, &key) == os::ERROR_SUCCESS) {
    os::RegQueryValue(key, L"~MHz", nullptr, &megahertz, &size);
    os::RegCloseKey(key);
  }
  return megahertz;
}

uint64_t ProcessMask() {
  uint64_t process = 0;
  uint64_t system = 0;
  os::GetProcessAffinityMask(os::GetCurrentProcess(), &process, &system);
  return process;
}

}  // namespace

TEST(DrvTimer, TickConversionKeepsPrecision) {
  EXPECT_EQ(TicksToNanoseconds(2400000, 2400), 1000000u);
  // Fewer ticks per microsecond than the nanosecond scale must not round the ratio away.
  EXPECT_EQ(TicksToNanoseconds(600, 600), 1000u);
  EXPECT_EQ(TicksToNanoseconds(900, 600), 1500u);
  EXPECT_EQ(TicksToNanoseconds(uint64_t{1} << 62, 3000),
            ((uint64_t{1} << 62) / 3000) * 1000 + ((uint64_t{1} << 62) % 3000) * 1000 / 3000);
  EXPECT_EQ(TicksToNanoseconds(5, 0), 0u);
}

TEST(DrvTimer, FrequencyComesFromTheRegistryOrAMeasurement) {
  CDrvTimer timer;
  const uint64_t frequency = timer.GetCpuFrequency();
  EXPECT_GT(frequency, 0u);
  if (NominalMegahertz() != 0) {  // two calibrations never agree to the tick
    EXPECT_EQ(frequency, uint64_t{NominalMegahertz()} * 1000000);
    EXPECT_EQ(CDrvTimer::TicksPerSecond(), frequency);
  }
  const uint64_t before = ProcessMask();
  const uint64_t measured = timer.MeasureCpuFrequency();
  EXPECT_EQ(ProcessMask(), before);
  EXPECT_GT(measured, 1000000u);
}

TEST(DrvTimer, ElapsedNeedsAStartAndPinningIsUndone) {
  const uint64_t before = ProcessMask();
  {
    CDrvTimer timer;
    EXPECT_EQ(timer.ElapsedNs(), 0u);
    timer.Start(false);
    EXPECT_EQ(ProcessMask(), before);  // only a pinned start moves the process
    timer.Start(true);
    if (before != 1) {
      EXPECT_EQ(ProcessMask(), 1u);
    }
    EXPECT_LT(timer.ElapsedNs(), 60000000000u);
  }
  EXPECT_EQ(ProcessMask(), before);
  ASSERT_TRUE(os::SetProcessAffinityMask(os::GetCurrentProcess(), 1));
  {
    CDrvTimer pinned;
    pinned.PinToCpu0();
    pinned.RestoreAffinity();
    EXPECT_EQ(ProcessMask(), 1u);
  }
  os::SetProcessAffinityMask(os::GetCurrentProcess(), before);
}
