#include "driver/frameworkuser/serial/serialportlist.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "driver/frameworkuser/serial/uartmanager.h"
#include "tests/driver/frameworkuser/serial/serialfixture.h"
#include "tests/driver/frameworkuser/support/handlecount.h"

namespace zor::frame::testing {
namespace {

// The machine's device folder replaced by an empty one of the test's own.
class MachinePorts : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zordev.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    setenv("ZOR_SERIAL_DEVICES", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ZOR_SERIAL_DEVICES");
    std::filesystem::remove_all(folder_);
  }

  std::filesystem::path folder_;
};

TEST_F(MachinePorts, AnAdapterShowsUpBesideTheMappedPorts) {
  PseudoTerminal adapter;
  PseudoTerminal mapped(L"COM61");
  PseudoTerminal unreadable(L"COM" + std::wstring(600, L'7'));  // longer than a value's data
  std::filesystem::create_symlink(adapter.farPath(), folder_ / "ttyUSB0");
  // Value names are device paths: /dev/pts/... before the test's folder under /tmp. The key is
  // closed again.
  const uint32_t handles = zortest::HandleCount();
  EXPECT_EQ(ReadSerialPortNames(), (std::vector<std::wstring>{L"COM61", L"COM101"}));
  EXPECT_EQ(zortest::HandleCount(), handles);

  CUartManager manager;
  ASSERT_EQ(manager.PortCount(), 2u);
  int64_t number = 0;
  EXPECT_EQ(CodesOf(manager.Inquire(OnPort(kPortNumber, 1), &number)), kNoError);
  EXPECT_EQ(number, 101);
  EXPECT_EQ(CodesOf(manager.Control(OnPort(kWrite, 1), Address("hi"))), kNoError);
  EXPECT_EQ(adapter.Receive(2), "hi");
}

// A system that never uses a port does not look for them: the list is read on first use.
TEST_F(MachinePorts, PortsAreListedOnFirstUse) {
  EXPECT_TRUE(ReadSerialPortNames().empty());
  CUartManager none;
  EXPECT_EQ(none.PortCount(), 0u);
  int64_t answer = 0;
  EXPECT_EQ(CodesOf(none.Inquire(kSpeed, &answer)), Codes(4341, 4));
  CUartManager manager;
  PseudoTerminal adapter;
  std::filesystem::create_symlink(adapter.farPath(), folder_ / "ttyUSB0");
  ASSERT_EQ(manager.PortCount(), 1u);
  std::filesystem::remove(folder_ / "ttyUSB0");
  EXPECT_EQ(manager.PortCount(), 1u);
}

}  // namespace
}  // namespace zor::frame::testing
