// The boards as devices of the operating-system layer, opened by name; another module of the
// process (like the driver library) opens the boards that the test shares and reaches them with
// its own handles and events.
#include "platform/os/device/device.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <utility>

#include "platform/boardsim/deviceprovider.h"
#include "platform/os/core/error.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace {

os::Handle Open(const wchar_t* name) {
  return os::CreateFile(name, os::GENERIC_READ | os::GENERIC_WRITE,
                        os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, os::OPEN_EXISTING,
                        os::FILE_FLAG_OVERLAPPED);
}

TEST(DeviceTest, BoardsOpenByNameAsTheEnvironmentCountsThem) {
  unsetenv(boardsim::kBoardCountVariable);
  os::Handle board0 = Open(L"\\\\.\\DRAVIONLYN_0");
  ASSERT_NE(board0, os::INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(L"\\\\.\\DRAVIONLYN_1"), os::INVALID_HANDLE_VALUE);
  setenv(boardsim::kBoardCountVariable, "2", 1);
  os::Handle board1 = Open(L"\\\\.\\dravionlyn_1");
  EXPECT_NE(board1, os::INVALID_HANDLE_VALUE);
  // A count in any base, at most 16; anything else counts one board.
  for (const auto& [count, last] : {std::pair{"3x", 0}, {"", 0}, {"0x3", 2}, {"99", 15}}) {
    setenv(boardsim::kBoardCountVariable, count, 1);
    const std::wstring name = L"\\\\.\\DRAVIONLYN_";
    const os::Handle lastBoard = Open((name + std::to_wstring(last)).c_str());
    EXPECT_NE(lastBoard, os::INVALID_HANDLE_VALUE) << count;
    EXPECT_EQ(Open((name + std::to_wstring(last + 1)).c_str()), os::INVALID_HANDLE_VALUE) << count;
    os::CloseHandle(lastBoard);
  }
  unsetenv(boardsim::kBoardCountVariable);

  zor::kernel::DriverVersionRequest version{};
  uint32_t bytes = 0;
  ASSERT_TRUE(os::DeviceIoControl(board0, zor::kernel::ControlCode(zor::kernel::kGetDriverVersion),
                                  nullptr, 0, &version, sizeof(version), &bytes, nullptr));
  EXPECT_EQ(bytes, 96u);
  EXPECT_EQ(version.version, zor::kernel::kDriverVersion);
  os::CloseHandle(board0);
  os::CloseHandle(board1);
}

TEST(DeviceTest, OverlappedEventWaitsCompleteOrCancel) {
  os::Handle device = Open(L"\\\\.\\DRAVIONLYN_0");
  boardsim::Board& board = *boardsim::LocalBoards().Find(0);
  zor::kernel::DeviceEventRecord record{};
  record.magic = zor::kernel::kDeviceEventMagic;
  record.typeOrCode = 0x20000000;
  os::Overlapped overlapped;
  overlapped.hEvent = os::CreateEvent(true, false);
  uint32_t bytes = 0;
  EXPECT_FALSE(os::DeviceIoControl(device, zor::kernel::ControlCode(zor::kernel::kWaitDeviceEvent),
                                   &record, sizeof(record), &record, sizeof(record), &bytes,
                                   &overlapped));
  EXPECT_EQ(os::GetLastError(), os::ERROR_IO_PENDING);
  EXPECT_FALSE(os::GetOverlappedResult(device, &overlapped, &bytes, false));

  zor::kernel::BoardEventPayload payload{};
  payload.size = zor::kernel::kBoardEventSize;
  payload.ioState = 5;
  EXPECT_TRUE(board.RaiseEvent(0x20000000, payload));
  ASSERT_TRUE(os::GetOverlappedResult(device, &overlapped, &bytes, true));
  EXPECT_EQ(bytes, sizeof(record));
  EXPECT_EQ(reinterpret_cast<zor::kernel::BoardEventPayload*>(record.payload)->ioState, 5u);

  EXPECT_FALSE(os::DeviceIoControl(device, zor::kernel::ControlCode(zor::kernel::kWaitDeviceEvent),
                                   &record, sizeof(record), &record, sizeof(record), &bytes,
                                   &overlapped));
  EXPECT_EQ(board.PendingEventWaits(0x20000000), 1u);
  EXPECT_TRUE(os::CancelIo(device));
  EXPECT_FALSE(os::GetOverlappedResult(device, &overlapped, &bytes, true));
  EXPECT_EQ(os::GetLastError(), os::ERROR_OPERATION_ABORTED);
  EXPECT_EQ(board.PendingEventWaits(0x20000000), 0u);
  os::CloseHandle(overlapped.hEvent);
  os::CloseHandle(device);
}

TEST(SharedBoardsTest, ASecondModuleOpensTheSharedBoards) {
  boardsim::ShareBoards();
  boardsim::LocalBoards().Find(0)->SetDriverVersion(0x123456);
  void* probe = dlopen(BOARDSIM_SHARED_PROBE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(probe, nullptr) << dlerror();
  auto version = reinterpret_cast<uint64_t (*)()>(dlsym(probe, "ProbeDriverVersion"));
  auto event = reinterpret_cast<bool (*)()>(dlsym(probe, "ProbeEventSetByBoard"));
  ASSERT_NE(version, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(version(), 0x123456u);  // the test's board, not the module's own
  EXPECT_TRUE(event());             // the board sets the module's event through the module
  unsetenv(boardsim::kSharedBoardsVariable);
  EXPECT_EQ(version(), zor::kernel::kDriverVersion);  // without sharing: the module's own board
  boardsim::LocalBoards().Find(0)->SetDriverVersion(zor::kernel::kDriverVersion);
  // The module stays loaded: its boards live as long as the process.
}

TEST(SharedBoardsTest, AHubOfAnotherProcessOrGarbageIsIgnored) {
  for (const char* value : {"1:7fff0000", "zz", "12", ""}) {
    setenv(boardsim::kSharedBoardsVariable, value, 1);
    auto device = os::CreateFile(L"\\\\.\\DRAVIONLYN_0", os::GENERIC_READ | os::GENERIC_WRITE, 0,
                                 os::OPEN_EXISTING, 0);
    EXPECT_NE(device, os::INVALID_HANDLE_VALUE) << value;  // this module's own board
    os::CloseHandle(device);
  }
  unsetenv(boardsim::kSharedBoardsVariable);
}

}  // namespace
