// Commands that come from the application through the host library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/support/frameworkprobe.h"
#include "tests/driver/frameworkuser/support/threadhelpers.h"
#include "tests/support/errorreports.h"

namespace zor::frame {
namespace {

class HostPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZOR_DRIVER_DRAVIONLYN", ZOR_TEST_DRIVER_LIBRARY, 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  }

  static QID AllocSystem() {
    const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    EXPECT_NE(system, 0);
    return system;
  }

  // A function of the test driver that the host has loaded.
  template <typename Function>
  static Function Symbol(const char* name) {
    void* library = dlopen(ZOR_TEST_DRIVER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library, nullptr);
    auto function = reinterpret_cast<Function>(dlsym(library, name));
    dlclose(library);
    return function;
  }
  static FrameworkProbe& Probe() { return *Symbol<FrameworkProbe* (*)()>("FrameworkTestProbe")(); }
};

TEST_F(HostPathTest, ManyThreadsFirstCommandsShareOneDriverAttachedOnce) {
  RunTogether(8, [](int) { AllocSystem(); });
  EXPECT_EQ(Probe().driversCreated, 1);
  EXPECT_EQ(Probe().firstAttaches, 1);
  EXPECT_EQ(Probe().lastDetaches, 0);
}

TEST_F(HostPathTest, UnservedInquireReachesTheSystemAndFails) {
  const QID system = AllocSystem();
  Probe().TakeCalls();
  QINT64 value = 0;
  EXPECT_EQ(QsysInquire(system, 12345, &value), 0);
  const std::vector<RecordedCall> calls = Probe().TakeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].op, SystemOp::SysInquire);
  EXPECT_EQ(calls[0].args.Int(0), 12345);
  EXPECT_NE(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
}

TEST_F(HostPathTest, RecordedErrorReachesTheApplicationWithItsTexts) {
  const QID system = AllocSystem();
  Probe().onCall = [](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext& ctx) {
    ctx.SetErrorSubText(4339, 2, L"COM7", nullptr);
    return int64_t{1};
  };
  QINT64 value = 0;
  QsysInquire(system, 1, &value);
  Probe().onCall = nullptr;
  EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 4339);
  wchar_t text[Q_ERROR_TEXT_SIZE] = {};
  QappGetError(Q_DEFAULT, Q_MESSAGE, text);
  EXPECT_STREQ(text, L"UART Error:");
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1_TEXT, text);
  EXPECT_STREQ(text, L"The UART is already allocated.");
  QappGetError(Q_DEFAULT, Q_ERROR_TEXT | Q_CURRENT_SUB_2, text);
  EXPECT_STREQ(text, L"COM7");
}

// An escape before the thread has a context to hold the command's error: the command fails
// with the host's driver error, the application hears what escaped, no context is left behind,
// and the thread's next command makes its context and runs; the thread's end lets it go.
TEST_F(HostPathTest, EscapeBeforeTheThreadHasAContextFailsOnlyThatCommand) {
  const QID system = AllocSystem();
  zortest::ErrorReports reports;
  std::atomic<bool> refuse{true};
  Probe().onThreadContext = [&refuse] {
    if (refuse.exchange(false)) throw std::runtime_error("no room for a context");
  };
  const std::size_t before = Probe().threadContextCount();
  RunOnNewThread([system, before] {
    Probe().TakeCalls();
    QINT64 value = 0;
    EXPECT_EQ(QsysInquire(system, 1, &value), 0);
    EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), Q_ERR_DRIVER);
    EXPECT_EQ(Probe().threadContextCount(), before);
    EXPECT_TRUE(Probe().TakeCalls().empty());
    QsysInquire(system, 12345, &value);
    EXPECT_EQ(Probe().TakeCalls().size(), 1u);
    EXPECT_EQ(Probe().threadContextCount(), before + 1);
  });
  EXPECT_EQ(Probe().threadContextCount(), before);
  Probe().onThreadContext = nullptr;
  const std::vector<std::wstring> seen = reports.Take();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0], L"4336 QDDravionLynCommandDecoder std::runtime_error: no room for a context");
  EXPECT_EQ(seen[1].rfind(std::to_wstring(Q_ERR_DRIVER), 0), 0u);
}

TEST_F(HostPathTest, GrabGivenAHostBufferIdFindsTheDriversBuffer) {
  const QID system = AllocSystem();
  Probe().onCall = [](QDBaseSystem&, SystemOp op, const OperationArgs& args,
                      QDDriverThreadContext&) {
    if (op != SystemOp::BufAlloc) return int64_t{-1};
    // A board buffer lives in host memory that the driver asks for.
    QbufAlloc2d(Q_DEFAULT_HOST, 64, 48, 8, 0x4, nullptr);
    *args.Pointer<int64_t>(8) = 7;
    return int64_t{1};
  };
  const QID buffer = QbufAlloc2d(system, 64, 48, 8, 0x4, nullptr);
  ASSERT_NE(buffer, 0);
  Probe().TakeCalls();

  // A grab whose buffer slot carries the host's id instead of the driver's index.
  auto decoder = Symbol<QDCommandDecoderFunction>("QDDravionLynCommandDecoder");
  QDCommandRecord record{};
  record.header = QD_RECORD_HEADER;
  record.operation = 0x0603;
  record.systemIndex = 1;
  record.paramCount = 3;
  record.params[0] = {QD_TYPE_ID, 0, 0, {.integer = 0}, 3};
  record.params[1] = {QD_TYPE_ID | QD_TYPE_HOST_BUFFER, 0, 0, {.integer = buffer}, 0};
  record.params[2] = {QD_TYPE_INT64, 0, 0, {.integer = 1}, 0};
  decoder(&record);
  const std::vector<RecordedCall> calls = Probe().TakeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].op, SystemOp::DigGrab);
  EXPECT_EQ(calls[0].args.Int(1), 7);
}

}  // namespace
}  // namespace zor::frame
