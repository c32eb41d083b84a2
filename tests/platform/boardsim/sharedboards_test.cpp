// Another module of the process (like the driver library) opens the boards
// that the test shares and reaches them with its own handles and events.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/boardsim/deviceprovider.h"
#include "platform/os/device/device.h"

namespace {

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
