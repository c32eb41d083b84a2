// Allocation and free of board systems, and every construction failure the
// simulated board can bring, through libZOR.so.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "interfaces/kernel/objectrequests.h"
#include "platform/boardsim/faults.h"
#include "platform/os/core/error.h"
#include "platform/os/registry/registry.h"
#include "tests/driver/board/boardfixture.h"
#include "tests/support/errorreports.h"
#include "tests/support/ownprocess.h"

namespace zor::board {
namespace {

constexpr const wchar_t* kMachineControls =
    L"Software\\Velant\\Velant Zor Library\\Runtime\\Controls\\Driver";
constexpr const wchar_t* kUserConfig =
    L"Software\\Velant\\Velant Zor Library\\Runtime\\Controls\\ZORConfig";

using boardsim::Fault;
using boardsim::FaultKind;

// The board's next request of the function throws, as a failure below the operation.
Fault Thrown() {
  return Fault{.kind = FaultKind::kThrow,
               .exception = std::make_exception_ptr(std::runtime_error("the board went away"))};
}

class SystemAllocTest : public BoardFixture {
 protected:
  // After a failure the board serves the next allocation.
  void ExpectBoardUsable(uint32_t unit = 0) {
    SimBoard(unit).ClearFaults();
    const QID system = Alloc(unit);
    EXPECT_NE(system, 0) << "error " << ErrorCode();
    QsysFree(system);
    EXPECT_EQ(LastError(), Err(0));
  }

  void ExpectFailure(const std::string& error) {
    EXPECT_EQ(Alloc(), 0);
    EXPECT_EQ(LastError(), error);
    ExpectBoardUsable();
  }
};

// A system allocates and frees. What escapes a kernel request while the system goes is told to
// the application, and the free goes on to its end: the system is gone and the board serves the
// next allocation.
TEST_F(SystemAllocTest, OneSystemAllocatesAndFrees) {
  const QID system = Alloc();
  ASSERT_NE(system, 0) << "error " << ErrorCode();
  QINT64 number = -1;
  EXPECT_EQ(QsysInquire(system, 1009, &number), 0);
  QsysFree(system);
  EXPECT_EQ(LastError(), Err(0));

  zortest::ErrorReports reports;
  for (uint32_t function : {kernel::kKernelObjectFree, kernel::kSysClose}) {
    SCOPED_TRACE(function);
    const QID doomed = Alloc();
    ASSERT_NE(doomed, 0) << "error " << ErrorCode();
    SimBoard().ArmFault(function, Thrown());
    QsysFree(doomed);
    EXPECT_EQ(LastError(), Err(0)) << "the free itself went through";
    EXPECT_EQ(
        reports.Take(),
        (std::vector<std::wstring>{L"4336 QsysFree std::runtime_error: the board went away"}));
    EXPECT_EQ(QsysInquire(doomed, 1009, &number), 0) << "the system went";
    reports.Take();
    ExpectBoardUsable();
  }
}

// Channels, serial number, capability report and the encoder's four types, of each board; a
// second system shares board 0.
TEST_F(SystemAllocTest, TwoBoardsGiveTwoSystemsWithTheirOwnFacts) {
  SimBoard(1).SetCapabilities(kernel::kCapSixteenChannels | kernel::kCapEncoder);
  const QID systems[] = {Alloc(0), Alloc(1)};
  const QID sharing = Alloc(0);
  EXPECT_NE(sharing, 0);
  EXPECT_NE(sharing, systems[0]);
  QsysFree(sharing);
  EXPECT_EQ(LastError(), Err(0));
  const std::vector<QINT64> facts[] = {{4, SimBoard(0).SerialNumber(), 0x20000, 0, 0, 0, 0},
                                       {16, SimBoard(1).SerialNumber(), 0xC0000, 1, 1, 1, 1}};
  for (size_t board = 0; board < 2; ++board) {
    ASSERT_NE(systems[board], 0);
    std::vector<QINT64> answers;
    for (QINT64 type : {2004, 2093, 2014, 2006, 2104, 2114, 2130}) {
      answers.push_back(0);
      QsysInquire(systems[board], type, &answers.back());
    }
    EXPECT_EQ(answers, facts[board]) << board;
    QsysFree(systems[board]);
  }
  EXPECT_EQ(Alloc(2), 0);
  EXPECT_EQ(LastError(), Err(4302, 1));
}

TEST_F(SystemAllocTest, ThreadsAllocateAndFreeTogether) {
  constexpr int kThreads = 8;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([i, &failures] {
      for (int round = 0; round < 5; ++round) {
        const QID system = Alloc(i % 2);
        if (system == 0) {
          ADD_FAILURE() << "error " << ErrorCode() << "/" << SubCode(1);
          ++failures;
          continue;
        }
        QINT64 answer = 0;
        QsysInquire(system, 2004, &answer);
        if (answer != 4) {
          ADD_FAILURE() << "answer " << answer << " error " << ErrorCode();
          ++failures;
        }
        QsysFree(system);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  ExpectBoardUsable(1);
}

TEST_F(SystemAllocTest, FreeWithTimingStatisticsOnPrintsTheKernelReport) {
  // The driver's debugger output, copied to the standard error.
  setenv("ZOR_DEBUG_OUTPUT", "1", 1);
  SimBoard().SetAllocationSetting(180, 1);
  const QID system = Alloc();
  ASSERT_NE(system, 0) << "error " << ErrorCode();
  testing::internal::CaptureStderr();
  QsysFree(system);
  const std::string output = testing::internal::GetCapturedStderr();
  unsetenv("ZOR_DEBUG_OUTPUT");
  EXPECT_NE(output.find("Performance Report:"), std::string::npos);
  EXPECT_NE(output.find("Average ISR Time:"), std::string::npos);
  EXPECT_NE(output.find("Number of Passive calls:"), std::string::npos);
}

TEST_F(SystemAllocTest, MismatchedKernelDriverIsRefusedAndNothingMoreIsAsked) {
  SimBoard().SetDriverVersion(0x9DF200);
  // A refused driver gets no system allocation: the fault would show otherwise.
  SimBoard().ArmFault(kernel::kSysAlloc, Fault{FaultKind::kErrorTriple, 4357, 1});
  EXPECT_EQ(Alloc(), 0);
  EXPECT_EQ(LastError(), Err(4351, 2));
  SimBoard().SetDriverVersion(0x9DF201);
  ExpectBoardUsable();
}

TEST_F(SystemAllocTest, VersionCheckCanBeTurnedOff) {
  os::Handle key = os::kNullHandle;
  ASSERT_EQ(os::RegCreateKey(os::HKEY_LOCAL_MACHINE, kMachineControls, 0, os::KEY_ALL_ACCESS, &key,
                             nullptr),
            os::ERROR_SUCCESS);
  const uint32_t off = 0;
  os::RegSetValue(key, L"CheckDriverAndDLLVersion", os::REG_DWORD, &off, sizeof(off));
  os::RegCloseKey(key);
  SimBoard().SetDriverVersion(0x9DF200);
  // The driver reads its configuration once a process: a process of its own reads this one.
  zortest::InProcessOfItsOwn([] {
    const QID system = Alloc();
    EXPECT_NE(system, 0) << "error " << ErrorCode();
    QsysFree(system);
  });
}

TEST_F(SystemAllocTest, RefusedAllocationAsksForTheAspmPageNextTime) {
  SimBoard().ArmFault(kernel::kSysAlloc, Fault{FaultKind::kErrorTriple, 4357, 1});
  ExpectFailure(Err(4357, 1));
  os::Handle key = os::kNullHandle;
  ASSERT_EQ(os::RegOpenKey(os::HKEY_CURRENT_USER, kUserConfig, os::KEY_READ, &key),
            os::ERROR_SUCCESS);
  uint32_t value = 0;
  uint32_t size = sizeof(value);
  EXPECT_EQ(os::RegQueryValue(key, L"ASPMPageRequest", nullptr, &value, &size), os::ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  os::RegCloseKey(key);
}

// A construction request that fails, is lost, replies short or throws below the driver fails
// the allocation with its error; the board opened so far is closed again and serves the next
// allocation.
TEST_F(SystemAllocTest, EveryConstructionRequestThatFailsFailsTheAllocation) {
  const uint32_t functions[] = {kernel::kGetDriverVersion, kernel::kSysAlloc, kernel::kSysRequest,
                                kernel::kKernelObjectAlloc};
  const struct {
    uint32_t function;
    Fault fault;
    std::string error;
  } failures[] = {
      {kernel::kGetDriverVersion, Fault{FaultKind::kTransportFailure}, Err(4336, 2, 6)},
      {kernel::kSysAlloc, Fault{FaultKind::kTransportFailure}, Err(4336, 2, 6)},
      {kernel::kSysRequest, Fault{FaultKind::kTransportFailure}, Err(4336, 2, 6)},
      {kernel::kKernelObjectAlloc, Fault{FaultKind::kTransportFailure}, Err(4336, 2, 6)},
      {kernel::kGetDriverVersion, Fault{.kind = FaultKind::kShortReply, .bytes = 88}, Err(4351, 2)},
      {kernel::kSysAlloc, Fault{.kind = FaultKind::kShortReply, .bytes = 96}, Err(4351, 2)},
      {kernel::kSysRequest, Fault{FaultKind::kErrorTriple, 4304, 1}, Err(4304, 1)}};
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.function);
    SimBoard().ArmFault(failure.function, failure.fault);
    ExpectFailure(failure.error);
  }
  const size_t systemObjects = SimBoard().KernelObjects(kernel::kObjectKindSystem);
  for (uint32_t function : functions) {
    SCOPED_TRACE(function);
    SimBoard().ArmFault(function, Thrown());
    EXPECT_EQ(Alloc(), 0);
    EXPECT_EQ(LastError(), Err(4336, 5, 6));
    EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"An exception ended the operation.");
    EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), L"std::runtime_error: the board went away");
    EXPECT_EQ(SimBoard().KernelObjects(kernel::kObjectKindSystem), systemObjects);
    ExpectBoardUsable();
  }
}

TEST_F(SystemAllocTest, StalledConstructionRequestsEndWithTheAbort) {
  struct Step {
    uint32_t function;
    QINT64 code;
    QINT64 sub;
  };
  // The version request is judged by its version word alone.
  const Step steps[] = {{kernel::kGetDriverVersion, 4351, 2},
                        {kernel::kSysAlloc, 4318, 1},
                        {kernel::kSysRequest, 4318, 1},
                        {kernel::kKernelObjectAlloc, 4318, 1}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.function);
    SimBoard().ArmFault(step.function, Fault{FaultKind::kStall});
    std::atomic<bool> done{false};
    QID system = 1;
    std::thread allocating([&] {
      system = Alloc();
      EXPECT_EQ(LastError(), Err(step.code, step.sub));
      done = true;
    });
    // The request stays with the board until it is aborted; an abort that
    // comes before it does nothing, so it is repeated.
    for (int i = 0; i < 10000 && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      SimBoard().Abort();
    }
    allocating.join();
    EXPECT_EQ(system, 0);
    ExpectBoardUsable();
  }
}

// Each part of the GenICam installation missing fails the allocation with its text, the runtime's
// variables before the repository's; the installation made again serves the next allocation.
TEST_F(SystemAllocTest, AMissingPartOfTheGenICamInstallationFailsWithItsText) {
  const struct {
    std::function<void()> remove;
    std::string error;
    const wchar_t* text;
  } parts[] = {
      {[] { unsetenv("ZOR_GENICAM_PATH"); }, Err(4421, 2, 6),
       L"ZOR_GENICAM_PATH environment variable does not exist."},
      {[this] { std::filesystem::remove_all(genicam_ / "genicam" / "v3_1"); }, Err(4421, 2, 6),
       L"GenICam is not properly installed."},
      {[] {
         unsetenv("ZOR_XML_REPOSITORY");
         unsetenv("GENICAM_CACHE_V3_1");
       },
       Err(4421, 3, 6), L"ZOR_XML_REPOSITORY environment variable does not exist."},
  };
  for (const auto& part : parts) {
    SCOPED_TRACE(part.error);
    part.remove();
    EXPECT_EQ(Alloc(), 0);
    EXPECT_EQ(LastError(), part.error);
    EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), part.text);
    if (part.error == Err(4421, 3, 6)) {
      EXPECT_NE(getenv("GENICAM_ROOT"), nullptr);
      EXPECT_EQ(getenv("GENICAM_CACHE_V3_1"), nullptr);
    }
    InstallGenICam();
    ExpectBoardUsable();
  }
}

// The runtime's variables are set, and PATH gets the runtime's folder once; a PATH that holds it
// already, in other case, is kept.
TEST_F(SystemAllocTest, GenICamVariablesAreSetAndThePathGetsTheRuntimeOnce) {
  const QID first = Alloc();
  const QID second = Alloc();
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  const std::string root = (genicam_ / "genicam" / "v3_1").string();
  std::string path = getenv("PATH");
  const std::string runtime = root + "/bin/Win64_x64";
  const std::size_t at = path.find(runtime);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(path.find(runtime, at + 1), std::string::npos);
  EXPECT_EQ(std::string(getenv("GENICAM_ROOT")), root);
  EXPECT_EQ(std::string(getenv("GENICAM_CACHE_V3_1")), (genicam_ / "xml" / "Cache").string());
  EXPECT_TRUE(std::filesystem::is_directory(genicam_ / "xml" / "Cache"));
  EXPECT_EQ(std::string(getenv("GENICAM_LOG_CONFIG_V3_1")),
            root + "/log/config/DebugLogging.properties");
  QsysFree(first);
  QsysFree(second);
  path.erase(at, runtime.size());
  std::string upper = root + "/BIN/WIN64_X64/";
  for (char& c : upper) c = static_cast<char>(std::toupper(c));
  path += ":" + upper;
  setenv("PATH", path.c_str(), 1);
  const QID system = Alloc();
  ASSERT_NE(system, 0);
  EXPECT_EQ(std::string(getenv("PATH")), path);
  QsysFree(system);
}

}  // namespace
}  // namespace zor::board
