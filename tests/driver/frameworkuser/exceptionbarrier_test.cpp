// An exception that escapes an operation is the command's error: the status says the command
// failed, the host reads the error, and the thread's next command runs as usual.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "tests/driver/frameworkuser/support/frameworktest.h"

namespace zor::frame {
namespace {

struct Refusal {
  int reason;
};

// What a hostile element count does to a vector.
void GrowBeyondAnySize() {
  std::vector<int64_t> values;
  values.resize(values.max_size() + 1);
}

struct Escape {
  const char* name;
  std::function<void()> raise;
  std::array<int64_t, 4> codes;
  // The start of the free text that describes the exception; null when there is none.
  const wchar_t* description;
};

const Escape kEscapes[] = {
    {"bad_alloc", [] { throw std::bad_alloc(); }, {4306, 1, 0, 0}, nullptr},
    {"length_error", GrowBeyondAnySize, {4336, 5, 6, 0}, L"std::length_error: "},
    {"runtime_error",
     [] { throw std::runtime_error("the board went away"); },
     {4336, 5, 6, 0},
     L"std::runtime_error: the board went away"},
    {"not a std::exception",
     [] { throw Refusal{3}; },
     {4336, 5, 6, 0},
     L"zor::frame::(anonymous namespace)::Refusal"},
};

class ExceptionBarrierTest : public FrameworkTest {
 protected:
  struct HeldError {
    std::array<int64_t, 4> codes{};
    std::wstring message;
    std::wstring sub[3];
  };

  // The thread's error as the host reads it after a status of 2.
  static HeldError ReadError(int64_t system) {
    HeldError error;
    error.codes = HeldCodes(system);
    wchar_t texts[4][kOwnTextSize] = {};
    GetError(system, 2, {texts[0], texts[1], texts[2], texts[3]});
    error.message = texts[0];
    for (int i = 0; i < 3; ++i) error.sub[i] = texts[i + 1];
    return error;
  }

  // A digitizer inquire, which the test system serves through the probe.
  static uint16_t Inquire(int64_t system) {
    return CommandBuilder(0x0607, system).Object(0, 1).Int(1, 2).Int(2, 0).Run();
  }
};

TEST_F(ExceptionBarrierTest, EscapeFromAnOperationFailsOnlyThatCommand) {
  const int64_t system = AllocSystem();
  ASSERT_EQ(system, 1);
  for (const Escape& escape : kEscapes) {
    SCOPED_TRACE(escape.name);
    probe().onCall = [&](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext&) {
      escape.raise();
      return int64_t{1};
    };
    EXPECT_EQ(Inquire(system), QD_STATUS_ERROR);
    probe().onCall = nullptr;
    const HeldError error = ReadError(system);
    EXPECT_EQ(error.codes, escape.codes);
    if (escape.description != nullptr) {
      EXPECT_EQ(error.message, L"Unexpected Error:");
      EXPECT_EQ(error.sub[0], L"An exception ended the operation.");
      EXPECT_EQ(error.sub[1].rfind(escape.description, 0), 0u)
          << std::string(error.sub[1].begin(), error.sub[1].end());
    } else {
      EXPECT_EQ(error.message, L"System memory error:");
      EXPECT_EQ(error.sub[0], L"Insufficient Host memory.");
    }
    // The next command starts clean and runs: the unserved operation answers -1.
    EXPECT_EQ(Inquire(system), QD_STATUS_UNSUPPORTED);
    EXPECT_EQ(ReadError(system).codes[0], 0);
  }
}

TEST_F(ExceptionBarrierTest, ErrorRecordedBeforeTheEscapeStaysTheCommandsError) {
  const int64_t system = AllocSystem();
  probe().onCall = [](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext& ctx) {
    ctx.SetError(4307, 2, 0, 0);
    throw std::runtime_error("after the error");
    return int64_t{1};
  };
  EXPECT_EQ(Inquire(system), QD_STATUS_ERROR);
  probe().onCall = nullptr;
  EXPECT_EQ(ReadError(system).codes, (std::array<int64_t, 4>{4307, 2, 0, 0}));
}

TEST_F(ExceptionBarrierTest, EscapeFromASystemUnderConstructionFailsTheAllocation) {
  probe().onConstruct = [] { GrowBeyondAnySize(); };
  EXPECT_EQ(AllocSystem(QD_STATUS_ERROR), 0);
  EXPECT_EQ(ReadError(0).codes[0], 4336);
  probe().onConstruct = nullptr;
  EXPECT_EQ(AllocSystem(), 1) << "the failed allocation took no index";
}

// The end-of-command wait belongs to the command: what escapes it fails the command too.
TEST_F(ExceptionBarrierTest, EscapeFromTheEndOfCommandWaitFailsTheCommand) {
  probe().endOfCommandMode = 1;
  const int64_t system = AllocSystem();
  probe().onCall = [](QDBaseSystem&, SystemOp op, const OperationArgs&, QDDriverThreadContext&) {
    if (op == SystemOp::ThreadWait) throw std::runtime_error("wait failed");
    return int64_t{1};
  };
  EXPECT_EQ(Inquire(system), QD_STATUS_ERROR);
  probe().onCall = nullptr;
  EXPECT_EQ(ReadError(system).codes[0], 4336);
}

// Outside every operation: the driver itself cannot be built.
TEST_F(ExceptionBarrierTest, DriverThatThrowsWhileBuiltFailsTheCommandAndIsTriedAgain) {
  CQDDeviceDriverWrapper::Instance().ReplaceDriverForTests(
      [](bool&) -> QDDeviceDriver* { throw std::bad_alloc(); });
  EXPECT_EQ(CommandBuilder(0x1805).Object(0, 0).Int(1, 0).Run(), QD_STATUS_UNSUPPORTED);
  // Nor is a driver kept that was built but reports that its construction failed.
  CQDDeviceDriverWrapper::Instance().ReplaceDriverForTests([](bool& failed) -> QDDeviceDriver* {
    auto* driver = new TestDriver(failed);
    failed = true;
    return driver;
  });
  EXPECT_EQ(CommandBuilder(0x1805).Object(0, 0).Int(1, 0).Run(), QD_STATUS_UNSUPPORTED);
  InstallTestDriver();
  EXPECT_EQ(CommandBuilder(0x1805).Object(0, 0).Int(1, 0).Run(), QD_STATUS_OK);
}

}  // namespace
}  // namespace zor::frame
