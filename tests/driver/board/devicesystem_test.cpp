// The device layer's shutdown after a firmware update, its kernel performance
// report and the buffer operations that it passes on.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/registrykey.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/messagetable.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/boardsim/faults.h"
#include "platform/host/hostservices.h"
#include "platform/host/qtypes.h"
#include "platform/host/zor.h"
#include "platform/os/core/handle.h"
#include "platform/os/diag/debug_output.h"
#include "platform/os/power/security.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"
#include "tests/support/testdata/testdata.h"

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
  const os::ShutdownRequest& r = requests.back();
  EXPECT_EQ(
      std::tie(r.message, r.timeoutSeconds, r.forceAppsClosed, r.rebootAfterShutdown, r.reason),
      std::make_tuple(std::wstring(L"Firmware updated."), 12u, true, false, 0x80010002u));
  EXPECT_EQ(Mark(), 1);
}

// Without the privilege, or with the shutdown refused, nothing is marked, the mutex is free for
// another thread and its handle closed; only the missing privilege is the caller's error.
TEST_F(DeviceSystemTest, NoShutdownLeavesTheMutexFreeAndClosed) {
  // A system of the driver, so that the refusal lands on the calling thread's context.
  QDDeviceDriver* driver = CQDDeviceDriverWrapper::Instance().GetDriver();
  ASSERT_NE(driver, nullptr);
  auto system = std::make_shared<QDDeviceSystem>(L"", 0, Q_DEFAULT, nullptr, nullptr);
  const int64_t index = driver->Systems().Add(system);
  system->SetIndex(index);
  QDDriverThreadContext* ctx = driver->GetThreadContext(index);
  ASSERT_NE(ctx, nullptr);
  EXPECT_STREQ(MessageText(4305, 4), L"Shutdown in progress, can't start a new flash update.");
  for (const bool privileged : {false, true}) {
    SCOPED_TRACE(privileged);
    os::SetShutdownPrivilegeHeld(privileged);
    os::SetShutdownRefusal(privileged ? os::ERROR_SHUTDOWN_IN_PROGRESS : os::ERROR_SUCCESS);
    ctx->SetError(0, 0, 0, 0);
    system->SetFirmwareNeedReboot(0);
    const size_t before = os::RecordedShutdownRequests().size();
    uint32_t handles = 0;
    uint32_t after = 0;
    os::GetProcessHandleCount(os::GetCurrentProcess(), &handles);
    EXPECT_EQ(system->RebootAfterFirmwareUpdate(L"Firmware updated.", 0), 0);
    os::GetProcessHandleCount(os::GetCurrentProcess(), &after);
    os::SetShutdownRefusal(os::ERROR_SUCCESS);
    EXPECT_EQ(std::tuple(os::RecordedShutdownRequests().size(), after, ctx->ErrorCode(),
                         ctx->SubCode(1), ctx->SubCode(2), ctx->SubCode(3), Mark()),
              std::tuple(before, handles, privileged ? 0 : 4305, privileged ? 0 : 4, 0, 0, 0));
    std::thread other([] {
      const os::Handle mutex = os::CreateMutex(false, kUpdateMutex);
      EXPECT_EQ(os::WaitForSingleObject(mutex, 1000), os::WAIT_OBJECT_0);
      os::ReleaseMutex(mutex);
      os::CloseHandle(mutex);
    });
    other.join();
  }
  driver->FreeThreadContext(index);
  driver->Systems().Remove(index);
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
  // The process keeps one handle of the mutex, however often it finds the shutdown under way.
  uint32_t kept = 0;
  uint32_t again = 0;
  os::GetProcessHandleCount(os::GetCurrentProcess(), &kept);
  EXPECT_EQ(system_.RebootAfterFirmwareUpdate(L"Firmware updated.", 0), 0);
  os::GetProcessHandleCount(os::GetCurrentProcess(), &again);
  EXPECT_EQ(again, kept);
  release = true;
  holder.join();
}

// Every field of the record distinct, so that a field printed in another's place shows.
TEST(PerformanceReportTest, EveryRowWholeWithItsPadding) {
  kernel::KernelPerformanceRecord r{};
  r.frequency = 1000000;
  r.sampleStart = 500000;
  r.sampleEnd = 4500000;
  r.isrTotalWith = 2000000;
  r.isrMaxWith = 9000;
  r.isrMinWith = 1234;
  r.dpcTotalWith = 300000;
  r.dpcMaxWith = 7000;
  r.dpcMinWith = 56;
  r.isrTotalWithout = 1000000;
  r.isrMinWithout = 789;
  r.isrMaxWithout = 8000;
  r.dpcTotalWithout = 200000;
  r.dpcMinWithout = 34;
  r.dpcMaxWithout = 6000;
  r.passiveTotal = 100000;
  r.passiveMin = 12;
  r.passiveMax = 5000;
  r.sleepTicks = 999;
  r.isrCount = 1000;
  r.dpcCount = 400;
  r.passiveCount = 50;
  os::TakeDebugOutput();
  QDDeviceSystem::PrintDriverPerformanceReport(r);
  std::wstring report;
  for (const std::wstring& line : os::TakeDebugOutput()) report += line;
  const std::string expected = zortest::ReadTestData("board/performancereport.txt");
  EXPECT_EQ(report, std::wstring(expected.begin(), expected.end()));
}

// Buffer operations 0x020F and 0x0237 of a board system in the test's own
// process; the board's memory goes to the kernel first.
class BufferOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorbufops.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    std::filesystem::create_directories(root_ / "v3_1");
    setenv("ZOR_GENICAM_PATH", root_.c_str(), 1);
    setenv("ZOR_XML_REPOSITORY", root_.c_str(), 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    board_ = boardsim::LocalBoards().Find(0);
    QDDeviceDriver* driver = CQDDeviceDriverWrapper::Instance().GetDriver();
    ctx_ = std::make_unique<QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
    int64_t status = -1;
    system_ = std::make_unique<board::QDHwSpecSystem>(L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, status,
                                                      *ctx_);
    ASSERT_EQ(status, 0);
    caller_ = std::make_unique<QDZorThreadContext>(*ctx_, system_->Index());
    ctx_->SetCurrent(caller_.get());
  }
  void TearDown() override {
    board_->ClearFaults();
    system_.reset();
    ctx_->SetCurrent(nullptr);
    caller_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  int64_t Buffer(QINT64 attributes) {
    int64_t index = 0;
    Run(&QDDeviceSystem::BufAlloc,
        {1, 64, 32, 8, attributes, 0, 0, 0, reinterpret_cast<intptr_t>(&index)});
    EXPECT_NE(index, 0) << "error " << ctx_->ErrorCode();
    return index;
  }
  int64_t Run(int64_t (QDDeviceSystem::*operation)(const OperationArgs&, QDDriverThreadContext&),
              std::initializer_list<int64_t> words) {
    OperationArgs args;
    for (int64_t word : words) args.Push(word);
    ctx_->SetError(0, 0, 0, 0);
    return (system_.get()->*operation)(args, *ctx_);
  }

  std::filesystem::path root_;
  boardsim::Board* board_ = nullptr;
  std::unique_ptr<QDDriverThreadContext> ctx_;
  std::unique_ptr<board::QDHwSpecSystem> system_;
  std::unique_ptr<QDZorThreadContext> caller_;
};

TEST_F(BufferOperationsTest, BothOperationsReachTheHostAndTheKernel) {
  for (QINT64 memory : {QINT64{0}, QINT64{0x80000}}) {
    SCOPED_TRACE(memory);
    const int64_t buffer = Buffer(Q_IMAGE | memory);
    EXPECT_EQ(Run(&QDDeviceSystem::BufPassToHost, {buffer, 1, 2}), 1);
    EXPECT_EQ(ctx_->ErrorCode(), 0);
    EXPECT_EQ(HostAppGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
    const kernel::KernelBufferDescriptor before = system_->FindBuffer(buffer)->Descriptor();
    EXPECT_EQ(Run(&QDDeviceSystem::BufPassToKernelAndHost, {buffer, 1, 2, 3, 4, 5}), 1);
    EXPECT_EQ(ctx_->ErrorCode(), 0);
    EXPECT_EQ(HostAppGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
    // The description read again keeps what the driver added to the host's.
    const kernel::KernelBufferDescriptor& after = system_->FindBuffer(buffer)->Descriptor();
    EXPECT_EQ(after.attributeWord, before.attributeWord);
    EXPECT_EQ(after.formatWord, before.formatWord);
  }
  // The kernel's refusal ends the operation on the board's memory; host memory
  // never asks the kernel.
  boardsim::Fault refusal{boardsim::FaultKind::kErrorTriple, 4332, 2, 0, 0, 31, -1};
  board_->ArmFault(kernel::kBufPassWords, refusal);
  EXPECT_EQ(
      Run(&QDDeviceSystem::BufPassToKernelAndHost, {Buffer(Q_IMAGE | 0x80000), 1, 2, 3, 4, 5}), 1);
  EXPECT_EQ(std::make_tuple(ctx_->ErrorCode(), ctx_->SubCode(1)), std::make_tuple(4332, 2));
  EXPECT_EQ(Run(&QDDeviceSystem::BufPassToKernelAndHost, {Buffer(Q_IMAGE), 1, 2, 3, 4, 5}), 1);
  EXPECT_EQ(ctx_->ErrorCode(), 0);
  // Addresses given for a buffer on the board's memory go to the kernel band by band.
  void* given[3] = {&refusal, &refusal, &refusal};
  int64_t onBoard = 0;
  Run(&QDDeviceSystem::BufAlloc,
      {3, 64, 32, 8, Q_IMAGE | 0x80000, 0, 0, reinterpret_cast<intptr_t>(given),
       reinterpret_cast<intptr_t>(&onBoard)});
  EXPECT_NE(onBoard, 0) << "error " << ctx_->ErrorCode();
  // No buffer at the index: nothing happens.
  EXPECT_EQ(Run(&QDDeviceSystem::BufPassToKernelAndHost, {999, 1, 2, 3, 4, 5}), 1);
  EXPECT_EQ(Run(&QDDeviceSystem::BufPassToHost, {999, 1, 2}), 1);
  EXPECT_EQ(ctx_->ErrorCode(), 0);
}

}  // namespace
}  // namespace zor::frame
