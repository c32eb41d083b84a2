// The device layer's shutdown after a firmware update and its kernel
// performance report.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "driver/foundation/registrykey.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "platform/host/qtypes.h"
#include "platform/os/diag/debug_output.h"
#include "platform/os/power/security.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {
namespace {

constexpr wchar_t kUpdateMutex[] = L"VelantFirmwareUpdateMutex";

class DeviceSystemTest : public ::testing::Test {
 protected:
  void TearDown() override { os::SetShutdownPrivilegeHeld(true); }

  static int32_t Mark() {
    foundation::CRegistryKey key(9, nullptr, false);
    int32_t value = -1;
    key.ReadDword(L"FWNeedReboot", value);
    return value;
  }

  QDDeviceSystem system_{L"", 0, Q_DEFAULT, nullptr, nullptr};
};

TEST_F(DeviceSystemTest, PendingShutdownMarkIsCreatedAtFirstRead) {
  EXPECT_FALSE(system_.GetFirmwareNeedReboot());
  EXPECT_EQ(Mark(), 0);
  system_.SetFirmwareNeedReboot(1);
  EXPECT_TRUE(system_.GetFirmwareNeedReboot());
}

TEST_F(DeviceSystemTest, ShutdownIsRequestedAndMarked) {
  const size_t before = os::RecordedShutdownRequests().size();
  EXPECT_EQ(system_.RebootAfterFirmwareUpdate(L"Firmware updated.", 12), 1);
  const std::vector<os::ShutdownRequest> requests = os::RecordedShutdownRequests();
  ASSERT_EQ(requests.size(), before + 1);
  EXPECT_EQ(requests.back().message, L"Firmware updated.");
  EXPECT_EQ(requests.back().timeoutSeconds, 12u);
  EXPECT_TRUE(requests.back().forceAppsClosed);
  EXPECT_FALSE(requests.back().rebootAfterShutdown);
  EXPECT_EQ(requests.back().reason, 0x80010002u);
  EXPECT_EQ(Mark(), 1);
}

TEST_F(DeviceSystemTest, NoPrivilegeStartsNoShutdownAndLeavesTheMutex) {
  os::SetShutdownPrivilegeHeld(false);
  const size_t before = os::RecordedShutdownRequests().size();
  EXPECT_EQ(system_.RebootAfterFirmwareUpdate(L"Firmware updated.", 0), 0);
  EXPECT_EQ(os::RecordedShutdownRequests().size(), before);
  // Another thread can take the mutex: it was released.
  std::thread other([] {
    const os::Handle mutex = os::CreateMutex(false, kUpdateMutex);
    EXPECT_EQ(os::WaitForSingleObject(mutex, 1000), os::WAIT_OBJECT_0);
    os::ReleaseMutex(mutex);
    os::CloseHandle(mutex);
  });
  other.join();
}

TEST_F(DeviceSystemTest, ShutdownAlreadyUnderWayElsewhereEndsTheWait) {
  // Another owner keeps the mutex for good once its shutdown started.
  std::atomic<bool> release{false};
  std::atomic<bool> owned{false};
  std::thread holder([&] {
    const os::Handle mutex = os::CreateMutex(true, kUpdateMutex);
    owned = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    os::ReleaseMutex(mutex);
    os::CloseHandle(mutex);
  });
  while (!owned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  system_.SetFirmwareNeedReboot(1);
  const size_t before = os::RecordedShutdownRequests().size();
  EXPECT_EQ(system_.RebootAfterFirmwareUpdate(L"Firmware updated.", 0), 0);
  EXPECT_EQ(os::RecordedShutdownRequests().size(), before);
  EXPECT_EQ(Mark(), 1);
  release = true;
  holder.join();
}

class PerformanceReportTest : public ::testing::Test {
 protected:
  static std::vector<std::wstring> Report(const kernel::KernelPerformanceRecord& record) {
    os::TakeDebugOutput();
    QDDeviceSystem::PrintDriverPerformanceReport(record);
    return os::TakeDebugOutput();
  }
  // Column i (0 the label) of a row, without its padding.
  static std::wstring Field(const std::wstring& line, std::size_t i) {
    std::wstring field = line.substr(i * 25, 25);
    field.erase(0, field.find_first_not_of(L' '));
    field.erase(field.find_last_not_of(L" \n") + 1);
    return field;
  }
  static std::wstring Line(const std::vector<std::wstring>& lines, const std::wstring& label) {
    for (const std::wstring& line : lines) {
      if (line.rfind(label, 0) == 0) return line;
    }
    return L"";
  }
};

TEST_F(PerformanceReportTest, AveragesAndUtilisation) {
  kernel::KernelPerformanceRecord record{};
  record.frequency = 1000000;
  record.isrCount = 1000;
  record.isrTotalWith = 2000000;
  record.isrTotalWithout = 1000000;
  record.sampleEnd = 4000000;
  const std::vector<std::wstring> lines = Report(record);
  EXPECT_EQ(lines.front(), L"\nPerformance Report:\n\n");
  EXPECT_EQ(Field(Line(lines, L"Average ISR Time:"), 1), L"0.002000000");
  EXPECT_EQ(Field(Line(lines, L"Average ISR Time:"), 2), L"0.001000000");
  EXPECT_EQ(Field(Line(lines, L"CPU utilization:"), 1), L"50.00%");
  EXPECT_EQ(Field(Line(lines, L"CPU utilization:"), 2), L"25.00%");
  EXPECT_EQ(Field(Line(lines, L"Number of ISR:"), 1), L"1000");
  EXPECT_EQ(lines.back(), L"\n\n");
}

TEST_F(PerformanceReportTest, LabelAndValuePadding) {
  kernel::KernelPerformanceRecord record{};
  record.frequency = 1000000000;
  record.isrMinWith = 12345;
  const std::wstring line = Line(Report(record), L"Min ISR Time:");
  // 13 characters of label and 12 blanks; 11 characters of value after 14.
  EXPECT_EQ(line.substr(0, 25), L"Min ISR Time:            ");
  EXPECT_EQ(line.substr(25, 25), L"              0.000012345");
}

}  // namespace
}  // namespace zor::frame
