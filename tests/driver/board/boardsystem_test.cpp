// The board system built in the test's own process: the driver log set up in
// the kernel's shared memory, the channel count from the capabilities, and
// the GenICam layer's registry parameters.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/log.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/boardsim/faults.h"
#include "platform/boardsim/logmemory.h"
#include "platform/host/qtypes.h"
#include "platform/os/registry/registry.h"
#include "platform/os/sync/thread.h"
#include "platform/os/ui/message_box.h"
#include "platform/os/ui/window.h"

namespace zor::board {
namespace {

namespace fs = std::filesystem;
using frame::OperationArgs;

constexpr const wchar_t* kParameters = L"Software\\Velant\\Imaging Board\\DravionLyn\\Parameters";

class BoardSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zorgenicam.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "v3_1");
    setenv("ZOR_GENICAM_PATH", root_.c_str(), 1);
    setenv("ZOR_XML_REPOSITORY", root_.c_str(), 1);
    board_ = boardsim::LocalBoards().Find(0);
    frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
    ctx_ = std::make_unique<QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
    os::TakeSentMessages();
    // Each test's first system sets the driver log up afresh, whatever ran before it.
    foundation::CLog::Release();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::unique_ptr<QDHwSpecSystem> Make() {
    int64_t status = -1;
    auto system =
        std::make_unique<QDHwSpecSystem>(L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, status, *ctx_);
    EXPECT_EQ(status, 0) << "error " << ctx_->ErrorCode();
    return system;
  }

  static void SetParameter(const wchar_t* name, uint32_t type, const void* data, uint32_t size) {
    os::Handle key = os::kNullHandle;
    os::RegCreateKey(os::HKEY_LOCAL_MACHINE, kParameters, 0, os::KEY_ALL_ACCESS, &key, nullptr);
    os::RegSetValue(key, name, type, data, size);
    os::RegCloseKey(key);
  }

  // The log categories turned on, of all the log has.
  static std::vector<int> Enabled() {
    std::vector<int> enabled;
    for (int category = 0; category < foundation::CLog::kCategoryCount; ++category) {
      if (foundation::CLog::Instance()->IsCategoryEnabled(category)) enabled.push_back(category);
    }
    return enabled;
  }

  static OperationArgs Args(std::initializer_list<int64_t> words) {
    OperationArgs args;
    for (int64_t word : words) args.Push(word);
    return args;
  }

  // The context's whole error: code, sub-codes and how many were given.
  std::string Error() const {
    return std::to_string(ctx_->ErrorCode()) + "/" + std::to_string(ctx_->SubCode(1)) + "/" +
           std::to_string(ctx_->SubCode(2)) + "/" + std::to_string(ctx_->SubCode(3)) + " of " +
           std::to_string(ctx_->SubCodeCount());
  }

  fs::path root_;
  boardsim::Board* board_ = nullptr;
  std::unique_ptr<QDDriverThreadContext> ctx_;
};

TEST_F(BoardSystemTest, DriverLogIsSetUpOnceAndTheViewerIsTold) {
  board_->SetAllocationSetting(24, 1);
  auto first = Make();
  const std::vector<os::SentMessage> messages = os::TakeSentMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, os::WM_COPYDATA);
  EXPECT_EQ(messages[0].dwData, 1u);
  // The log memory's size and address, and the ring's word at 8.
  std::vector<uint8_t> expected(24);
  const uint64_t size = boardsim::LogMemory::kSize;
  const uint64_t address = foundation::CLog::Instance()->BufferAddress();
  std::memcpy(expected.data(), &size, 8);
  std::memcpy(expected.data() + 8, &address, 8);
  std::memcpy(expected.data() + 16, foundation::CLog::Instance()->Ring() + 8, 4);
  EXPECT_EQ(messages[0].bytes, expected);
  // Every category a switch names but the one only its own switch turns on.
  EXPECT_EQ(Enabled(), (std::vector<int>{0, 1, 2, 4, 6, 7, 8, 9, 10, 11, 13, 17, 18, 19, 23}));
  auto second = Make();
  EXPECT_TRUE(os::TakeSentMessages().empty());
}

// Without the switch for all, each switch turns on its own category alone; a switch is its whole
// word, so a high byte counts and does not reach the next switch's category.
TEST_F(BoardSystemTest, EachLogSwitchTurnsOnItsOwnCategory) {
  board_->SetAllocationSetting(24, 0);
  board_->SetAllocationSetting(28, 1);
  board_->SetAllocationSetting(48, 0x01000000);
  auto system = Make();
  EXPECT_EQ(Enabled(), (std::vector<int>{2, 12}));
  board_->SetAllocationSetting(28, 0);
  board_->SetAllocationSetting(48, 0);
  // Each switch alone: its category, and none of the others.
  const std::pair<size_t, int> switches[] = {
      {28, 12}, {84, 8}, {44, 0}, {36, 11}, {40, 1},   {76, 6},   {88, 9},   {52, 4},
      {80, 10}, {92, 7}, {48, 2}, {96, 13}, {100, 18}, {124, 17}, {128, 19}, {196, 23}};
  for (const auto& [offset, category] : switches) {
    foundation::CLog::Release();
    board_->SetAllocationSetting(offset, 1);
    auto one = Make();
    EXPECT_EQ(Enabled(), std::vector<int>{category}) << offset;
    board_->SetAllocationSetting(offset, 0);
  }
}

TEST_F(BoardSystemTest, ChannelCountFollowsTheCapabilities) {
  for (const auto& [capabilities, channels] :
       {std::pair{0, 0}, std::pair{0x60000, 16}, std::pair{0x20000, 4}}) {
    board_->SetCapabilities(capabilities);
    EXPECT_EQ(Make()->ChannelCount(), channels) << capabilities;
  }
  auto system = Make();
  EXPECT_EQ(system->StripRatio(15), QDHwSpecSystem::kDefaultStripRatio);
  EXPECT_NE(system->SystemObjectId(), 0u);
}

// An operation on a digitizer index the system does not hold does nothing and tells nothing.
TEST_F(BoardSystemTest, OperationsOnADigitizerNotHeldDoNothing) {
  auto system = Make();
  using Operation = int64_t (QDHwSpecSystem::*)(const OperationArgs&, QDDriverThreadContext&);
  const Operation operations[] = {
      &QDHwSpecSystem::DigFree,         &QDHwSpecSystem::DigControl,
      &QDHwSpecSystem::DigInquire,      &QDHwSpecSystem::DigHookFunction,
      &QDHwSpecSystem::DigReference,    &QDHwSpecSystem::DigGrabContinuous,
      &QDHwSpecSystem::DigHalt,         &QDHwSpecSystem::DigGrabAbort,
      &QDHwSpecSystem::DigControlEntry, &QDHwSpecSystem::DigProcess};
  const OperationArgs args = Args({5, 6655, 0, 0, 0, 0, 0});
  int row = 0;
  for (const Operation operation : operations) {
    EXPECT_EQ(std::invoke(operation, *system, args, *ctx_), 1) << row;
    EXPECT_EQ(Error(), "0/0/0/0 of 0") << row++;
  }
  EXPECT_EQ(system->DigStopGrab(5, *ctx_), 1);
  EXPECT_EQ(Error(), "0/0/0/0 of 0");
}

TEST_F(BoardSystemTest, StreamStopSettingsComeFromTheRegistry) {
  const int32_t five = 5;
  SetParameter(L"StreamStopCheckPeriodInMS", os::REG_DWORD, &five, 4);
  const int32_t delay = 250;
  SetParameter(L"StreamStopDelayInMS", os::REG_DWORD, &delay, 4);
  const wchar_t text[] = L"7";
  SetParameter(L"StreamStopThreadIdleExitTimeInMS", os::REG_SZ, text, sizeof(text));
  auto system = Make();
  EXPECT_EQ(system->StreamStopCheckPeriodMs(), 10);
  EXPECT_EQ(system->StreamStopDelayMs(), 250);
  EXPECT_EQ(system->StreamStopIdleExitTimeMs(), 10000);
  const int32_t negative = -1;
  SetParameter(L"StreamStopCheckPeriodInMS", os::REG_DWORD, &negative, 4);
  system->ReadRegistryParameters();
  EXPECT_EQ(system->StreamStopCheckPeriodMs(), 10);
  EXPECT_FALSE(system->UsesNewFeatureBrowser());
}

TEST_F(BoardSystemTest, KernelWaitOfAThreadObjectWithdrawsOnlyItsOwnError) {
  auto system = Make();
  int64_t thread = 0;
  const OperationArgs alloc = Args({256, 0, Q_DEFAULT, reinterpret_cast<intptr_t>(&thread)});
  // With argument checks on, a thread object's init word other than the default is refused.
  const OperationArgs checked = Args({256, 0, 5});
  ctx_->Command().checkArgs = 1;
  ctx_->Command().noOperation = 2;
  system->ThreadAlloc(checked, *ctx_);
  EXPECT_EQ(Error(), "4302/2/0/0 of 1");
  ctx_->Command() = {};
  ctx_->SetError(0, 0, 0, 0);
  system->ThreadAlloc(alloc, *ctx_);
  ASSERT_NE(thread, 0);
  board_->ArmFault(kernel::kKernelObjectInquire,
                   boardsim::Fault{boardsim::FaultKind::kErrorTriple, 4318, 1, 0, 0, 31, -1});
  int64_t result = 0;
  const OperationArgs wait = Args({thread, 0x1000000 | 10, reinterpret_cast<intptr_t>(&result)});
  system->ThreadWait(wait, *ctx_);
  EXPECT_EQ(result, 2077);
  EXPECT_EQ(Error(), "0/0/0/0 of 0");
  ctx_->SetError(4302, 1, 0, 0);
  system->ThreadWait(wait, *ctx_);
  EXPECT_EQ(result, 2077);
  EXPECT_EQ(Error(), "4302/1/0/0 of 1");
  board_->ClearFaults();
}

// A control the kernel refuses answers 2, but for the errors that keep its result of 1.
// The bridge update's hint is shown once the kernel took it, and only then.
TEST_F(BoardSystemTest, ControlResultIsKeptOnlyForItsOwnErrors) {
  auto system = Make();
  const struct {
    uint64_t code, sub;
    int64_t result;
  } rows[] = {{0, 0, 1},    {4307, 1, 1}, {4307, 3, 1}, {4307, 2, 2}, {4413, 1, 1},
              {4413, 2, 2}, {4304, 3, 1}, {4304, 2, 2}, {4304, 1, 2}, {4310, 1, 2}};
  for (const auto& row : rows) {
    board_->ArmFault(kernel::kSysControl,
                     boardsim::Fault{boardsim::FaultKind::kErrorTriple, row.code, row.sub});
    ctx_->SetError(0, 0, 0, 0);
    EXPECT_EQ(system->SysControl(Args({5000, 1}), *ctx_), row.result) << row.code << "/" << row.sub;
    EXPECT_EQ(ctx_->ErrorCode(), static_cast<int64_t>(row.code)) << row.code << "/" << row.sub;
  }
  std::vector<std::wstring> boxes;
  os::SetMessageBoxAnswer(
      [&boxes](const std::wstring& text, const std::wstring& caption, uint32_t style) {
        boxes.push_back(caption + L": " + text + L" " + std::to_wstring(style));
        return os::IDOK;
      });
  board_->ArmFault(kernel::kSysControl,
                   boardsim::Fault{boardsim::FaultKind::kErrorTriple, 4304, 2});
  EXPECT_EQ(system->SysControl(Args({2340, 0x20000}), *ctx_), 2);
  EXPECT_TRUE(boxes.empty());
  ctx_->SetError(0, 0, 0, 0);
  EXPECT_EQ(system->SysControl(Args({2340, 0x20000}), *ctx_), 1);
  os::SetMessageBoxAnswer(nullptr);
  EXPECT_EQ(boxes, std::vector<std::wstring>{L"DravionLyn Bridge Update: Bridge HINT has been "
                                             L"Updated, please POWER-DOWN and power up your "
                                             L"system. 0"});
}

TEST_F(BoardSystemTest, SystemHooksSwitchTheirBoardEvents) {
  auto system = Make();
  const auto hook = [&](int64_t type) { system->SysHookFunction(Args({type, 0x1234, 0}), *ctx_); };
  const auto state = [&](int64_t type) {
    int64_t answer = 0;
    system->SysInquire(Args({type, reinterpret_cast<intptr_t>(&answer)}), *ctx_);
    return answer;
  };
  hook(2244);
  EXPECT_EQ(state(2244), -9997);
  hook(0x8B000 | Q_UNHOOK);
  EXPECT_EQ(state(0x8B000), -9999);
  EXPECT_EQ(ctx_->ErrorCode(), 0);
  hook(5);
  EXPECT_EQ(Error(), "4305/1/0/0 of 1");
}

}  // namespace
}  // namespace zor::board
