// An exception that escapes an operation is the command's error: the status says the command
// failed, the host reads the error, and the thread's next command runs as usual.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <new>
#include <sstream>
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
  std::function<void(QDDriverThreadContext&)> raise;
  // The start of the error the host reads: the codes, the headline and the sub texts, the last
  // of which describes the exception.
  const wchar_t* error;
};

const Escape kEscapes[] = {
    {"bad_alloc", [](QDDriverThreadContext&) { throw std::bad_alloc(); },
     L"4306 1 0 0 System memory error:|Insufficient Host memory.||"},
    {"length_error", [](QDDriverThreadContext&) { GrowBeyondAnySize(); },
     L"4336 5 6 0 Unexpected Error:|An exception ended the operation.|std::length_error: "},
    {"runtime_error",
     [](QDDriverThreadContext&) { throw std::runtime_error("the board went away"); },
     L"4336 5 6 0 Unexpected Error:|An exception ended the operation.|std::runtime_error: the "
     L"board went away"},
    {"not a std::exception", [](QDDriverThreadContext&) { throw Refusal{3}; },
     L"4336 5 6 0 Unexpected Error:|An exception ended the operation.|zor::frame::(anonymous "
     L"namespace)::Refusal"},
    // An error recorded before the escape stays the command's error.
    {"after an error",
     [](QDDriverThreadContext& ctx) {
       ctx.SetError(4307, 2, 0, 0);
       throw std::runtime_error("after the error");
     },
     L"4307 2 0 0 "},
};

class ExceptionBarrierTest : public FrameworkTest {
 protected:
  // The thread's error as the host reads it after a status of 2: codes, headline and sub texts.
  static std::wstring ErrorText(int64_t system) {
    std::wostringstream out;
    for (int64_t code : HeldCodes(system)) out << code << ' ';
    wchar_t texts[4][kOwnTextSize] = {};
    GetError(system, 2, {texts[0], texts[1], texts[2], texts[3]});
    out << texts[0] << '|' << texts[1] << '|' << texts[2] << '|' << texts[3];
    return out.str();
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
    probe().onCall = [&](QDBaseSystem&, SystemOp, const OperationArgs&,
                         QDDriverThreadContext& ctx) {
      escape.raise(ctx);
      return int64_t{1};
    };
    EXPECT_EQ(Inquire(system), QD_STATUS_ERROR);
    probe().onCall = nullptr;
    const std::wstring error = ErrorText(system);
    EXPECT_EQ(error.rfind(escape.error, 0), 0u) << std::string(error.begin(), error.end());
    // The next command starts clean and runs: the unserved operation answers -1.
    EXPECT_EQ(Inquire(system), QD_STATUS_UNSUPPORTED);
    EXPECT_EQ(HeldCodes(system)[0], 0);
  }
}

TEST_F(ExceptionBarrierTest, EscapeFromASystemUnderConstructionFailsTheAllocation) {
  probe().onConstruct = [] { GrowBeyondAnySize(); };
  EXPECT_EQ(AllocSystem(QD_STATUS_ERROR), 0);
  EXPECT_EQ(HeldCodes(0)[0], 4336);
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
  EXPECT_EQ(HeldCodes(system)[0], 4336);
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
