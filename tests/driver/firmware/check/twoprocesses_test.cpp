#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/firmware/check/checkgrabmodulefirmware.h"
#include "platform/boardsim/board.h"
#include "tests/driver/firmware/check/simfirmwaresystem.h"
#include "tests/driver/firmware/support/firmwarefolder.h"

extern char** environ;

namespace {

constexpr char kLogVariable[] = "ZOR_FIRMWARE_RUN_LOG";

// Run by the test below in two processes at once: one update of a simulated board, with the
// start and the end of its programming run appended to the parent's log.
TEST(FirmwareCheckChild, DISABLED_UpdatesForTheParent) {
  const char* log = getenv(kLogVariable);
  ASSERT_NE(log, nullptr);
  boardsim::Board board{boardsim::BoardConfig{}};
  board.SetCapabilities(1u << 18);
  board.GrabModule().SetFirmwareCode(0x6A010000);
  firmwaretest::SimFirmwareSystem system(board);
  const auto note = [log](const char* what) {
    std::ofstream(log, std::ios::app) << what << ' ' << getpid() << '\n';
  };
  system.onRunStart = [&note] { note("start"); };
  system.onRunEnd = [&note] { note("end"); };
  zor::foundation::CError error;
  zor::firmware::CheckGrabModuleFirmware(system, 0x10000000, error);
  EXPECT_EQ(error.errorSet, 0);
  EXPECT_EQ(board.GrabModule().FirmwareCode(), 0xAB301015u);
}

pid_t StartChild(const std::string& log) {
  std::string self(4096, '\0');
  self.resize(readlink("/proc/self/exe", self.data(), self.size()));
  std::string filter = "--gtest_filter=FirmwareCheckChild.DISABLED_UpdatesForTheParent";
  std::string disabled = "--gtest_also_run_disabled_tests";
  char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
  setenv(kLogVariable, log.c_str(), 1);
  pid_t pid = -1;
  posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ);
  unsetenv(kLogVariable);
  return pid;
}

TEST(FirmwareCheckProcesses, TwoUpdatesAtOnceRunOneAfterTheOther) {
  firmwaretest::FirmwareFolder folder;
  firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup1", 0);
  firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup2", 0);
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 0);
  const std::string log = folder.Temp() + "/runs.log";
  const pid_t first = StartChild(log);
  const pid_t second = StartChild(log);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  for (pid_t child : {first, second}) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::ifstream in(log);
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::string what, pid; in >> what >> pid;) entries.emplace_back(what, pid);
  ASSERT_EQ(entries.size(), 4u);
  // Each run ends before the other one starts.
  const std::string one = entries[0].second, other = entries[2].second;
  EXPECT_EQ(entries, (std::vector<std::pair<std::string, std::string>>{
                         {"start", one}, {"end", one}, {"start", other}, {"end", other}}));
  EXPECT_NE(one, other);
}

}  // namespace
