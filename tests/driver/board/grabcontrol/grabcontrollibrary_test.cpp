// With the test grab-control library beside the driver: continuous grab, halt,
// abort and controls go through it, and it drives the digitizer back through
// the driver's callbacks.
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "tests/driver/board/digitizer/digitizerfixture.h"
#include "tests/support/errorreports.h"

namespace zor::board {
namespace {

constexpr QINT64 kResultControl = 99;
constexpr QINT64 kControlFromOwnThread = 98;  // the test library's
constexpr QINT64 kInquireThroughCallback = 97;
constexpr QINT64 kFieldNumber = 4018;  // a control the board is sent
constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kGrabControlState = 4385;
constexpr QINT64 kLibraryState = 0x4385;  // what the test library answers

class GrabControlLibrary : public DigitizerFixture {
 protected:
  void SetUp() override {
    DigitizerFixture::SetUp();
    digitizer_ = Digitizer(L"Q_NTSC");
    ASSERT_NE(digitizer_, 0);
  }
  void TearDown() override {
    SimBoard().ClearFaults();
    if (digitizer_ != 0) QdigFree(digitizer_);
    DigitizerFixture::TearDown();
  }
  // The board's next request of the function throws, as a failure below the operation that
  // the library's callback runs.
  static void ThrowOnNext(uint32_t function) {
    SimBoard().ArmFault(function, boardsim::Fault{.kind = boardsim::FaultKind::kThrow,
                                                  .exception = std::make_exception_ptr(
                                                      std::runtime_error("the board went away"))});
  }
  QID digitizer_ = 0;
};

TEST_F(GrabControlLibrary, ResultsBecomeTheirErrors) {
  struct Case {
    QINT64 result, code, subCode;
  };
  for (const Case& c :
       {Case{1, 4345, 1}, Case{2, 4345, 2}, Case{3, 4345, 3}, Case{4, 4347, 1}, Case{13, 4347, 1},
        Case{14, 4346, 1}, Case{15, 4346, 1}, Case{16, 4347, 2}, Case{17, 4346, 2},
        Case{18, 4346, 3}, Case{19, 4347, 2}, Case{-1, 4347, 2}, Case{0, 0, 0}}) {
    SCOPED_TRACE(c.result);
    QdigControl(digitizer_, kResultControl, c.result);
    EXPECT_EQ(LastError(), Err(c.code, c.subCode));
  }
}

// Controls come back through the callbacks. What escapes below a callback fails the command
// that called the library, and only that one; a callback the library makes from a thread of
// its own, outside any command, tells the application.
TEST_F(GrabControlLibrary, ControlsComeBackThroughTheCallbacks) {
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire, {{kGrabTimeout, 750, Err(0), 750}});
  QdigControlDouble(digitizer_, kGrabTimeout, 625.0);  // back through the double's callback
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 625);

  zortest::ErrorReports reports;
  ThrowOnNext(kernel::kDigControl);
  QdigControl(digitizer_, kFieldNumber, Q_DEFAULT);
  EXPECT_EQ(LastError(), Err(4336, 5, 6));
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"An exception ended the operation.");
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), L"std::runtime_error: the board went away");
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire, {{kGrabTimeout, 500, Err(0), 500}});
  EXPECT_EQ(reports.Take().size(), 1u) << "the command's error, and nothing else";

  ThrowOnNext(kernel::kDigControl);
  QdigControl(digitizer_, kControlFromOwnThread, kFieldNumber);
  EXPECT_EQ(LastError(), Err(0)) << "the library's thread failed, not this command";
  EXPECT_EQ(
      reports.Take(),
      (std::vector<std::wstring>{L"4336 Hook function: std::runtime_error: the board went away"}));
  QdigControl(digitizer_, kControlFromOwnThread, kFieldNumber);
  EXPECT_TRUE(reports.Empty());
}

TEST_F(GrabControlLibrary, ContinuousGrabHaltAndAbortThroughTheLibrary) {
  const QID buffer =
      QbufAlloc2d(system_, 640, 480, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, nullptr);
  ASSERT_NE(buffer, 0);
  // The grab the library calls back for fails below: the command fails, nothing is left
  // grabbing, and the next start grabs.
  ThrowOnNext(kernel::kDigGrab);
  QdigGrabContinuous(digitizer_, buffer);
  EXPECT_EQ(LastError(), Err(4336, 5, 6));
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), L"std::runtime_error: the board went away");
  // A control stops and restarts a continuous grab: none is restarted, and frames go by without
  // writing into the buffer.
  QbufClear(buffer, 0);
  QdigControl(digitizer_, kGrabTimeout, 750);
  EXPECT_EQ(LastError(), Err(0));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<uint8_t> untouched(640);
  QbufGet2d(buffer, 0, 200, 640, 1, untouched.data());
  EXPECT_EQ(std::count(untouched.begin(), untouched.end(), 0), 640);
  QdigGrabContinuous(digitizer_, buffer);
  EXPECT_EQ(LastError(), Err(0));
  // Two frame ends go by, then the halt stops the writing before the buffer is read.
  QdigGrabWait(digitizer_, Q_GRAB_NEXT_FRAME);
  QdigGrabWait(digitizer_, Q_GRAB_NEXT_FRAME);
  QdigHalt(digitizer_);
  EXPECT_EQ(LastError(), Err(0));
  // The ramp left the zeroed buffer; any one pixel of it is 0 on one frame in 64.
  std::vector<uint8_t> row(640);
  QbufGet2d(buffer, 0, 200, 640, 1, row.data());
  EXPECT_NE(std::count(row.begin(), row.end(), 0), 640);
  QdigGrabAbort(digitizer_);
  EXPECT_EQ(LastError(), Err(0));
  QbufFree(buffer);
}

TEST_F(GrabControlLibrary, NoHandleFromTheLibraryLeavesTheFallbacks) {
  const QID second = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(second, 0);
  // The binding is made on the digitizer's first use.
  setenv("ZORGRABC_NO_HANDLE", "1", 1);
  QdigHalt(second);
  unsetenv("ZORGRABC_NO_HANDLE");
  EXPECT_EQ(LastError(), Err(4344, 3));
  // The driver's own control serves it.
  QdigControl(second, kResultControl, 16);
  EXPECT_NE(ErrorCode(), 4347);
  QdigFree(second);
}

// The system asks the library for its state word once and keeps the answer; a digitizer asks its
// binding every time. The library's session has the digitizer's and the system's host objects,
// and its inquiries through the callbacks reach the digitizer.
TEST_F(GrabControlLibrary, StateWordIsAskedOnceThenKept) {
  void* library = dlopen(ZOR_TEST_GRABCONTROL_LIBRARY, RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto inquiries = reinterpret_cast<int64_t (*)()>(dlsym(library, "ZorgrabcStateInquiries"));
  auto answer = reinterpret_cast<int64_t (*)()>(dlsym(library, "ZorgrabcLastAnswer"));
  auto hosts = reinterpret_cast<void (*)(int64_t*, int64_t*)>(dlsym(library, "ZorgrabcLastHosts"));
  ASSERT_TRUE(inquiries != nullptr && answer != nullptr && hosts != nullptr);
  QINT64 state = 0;
  QsysInquire(system_, kGrabControlState, &state);
  EXPECT_EQ(state, kLibraryState);
  const int64_t asked = inquiries();
  EXPECT_GE(asked, 1);
  state = 0;
  QsysInquire(system_, kGrabControlState, &state);
  EXPECT_EQ(state, kLibraryState);
  EXPECT_EQ(inquiries(), asked);
  EXPECT_EQ(Inquire(digitizer_, kGrabControlState), kLibraryState);
  EXPECT_EQ(inquiries(), asked + 1);
  for (const auto& [type, value] : {std::pair{Q_SIZE_X, 640}, {Q_SIZE_Y, 480}}) {
    QdigControl(digitizer_, kInquireThroughCallback, type);
    EXPECT_EQ(answer(), value) << type;
  }
  EXPECT_EQ(LastError(), Err(0));
  std::pair<int64_t, int64_t> session;
  hosts(&session.first, &session.second);
  EXPECT_EQ(session, std::make_pair(int64_t{system_}, int64_t{digitizer_}));
  dlclose(library);
}

// Without a digitizer the system's state word loads the library for the question only.
TEST_F(GrabControlLibrary, WithoutADigitizerTheStateWordLetsTheLibraryGoAgain) {
  QdigFree(digitizer_);
  digitizer_ = 0;
  ASSERT_EQ(dlopen(ZOR_TEST_GRABCONTROL_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr);
  QINT64 state = 0;
  QsysInquire(system_, kGrabControlState, &state);
  EXPECT_EQ(state, kLibraryState);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(dlopen(ZOR_TEST_GRABCONTROL_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// The host's trace file line by line; an address, which changes from run to run, reads as
// "address" (and 0 as itself).
std::vector<std::string> TraceLines(const std::filesystem::path& path) {
  constexpr std::string_view kAddress = " kind 36 value ";
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    const std::size_t at = line.find(kAddress);
    if (at != std::string::npos && line.substr(at + kAddress.size()) != "0") {
      line.replace(at + kAddress.size(), std::string::npos, "address");
    }
    lines.push_back(line);
  }
  return lines;
}

TEST_F(GrabControlLibrary, LoadAndReleaseAreTraced) {
  const std::filesystem::path path = files_ / "trace.txt";
  setenv("ZOR_TRACE_FILE", path.c_str(), 1);
  const QID second = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(second, 0);
  QdigControl(second, kGrabTimeout, 750);  // the binding is made on first use
  QdigFree(second);
  unsetenv("ZOR_TRACE_FILE");
  // The entry points and the module are addresses; the library took the digitizer (the
  // system's second, of the driver's index 2) and answered its state word.
  const std::string address = " kind 36 value address";
  EXPECT_EQ(
      TraceLines(path),
      (std::vector<std::string>{
          "note 10985 kind 5 value 2", "load zorgrabc.dll", "loaded zorgrabc.dll module",
          "note 10987" + address, "note 10988" + address, "note 10989" + address,
          "note 10990" + address, "note 11016" + address, "note 10991" + address,
          "note 10992" + address, "note 10993" + address, "note 10994" + address,
          "note 10995 kind 38 value " + std::to_string(second),
          "note 10996 kind 38 value " + std::to_string(system_),
          "note 11011 kind 5 value " + std::to_string(kLibraryState), "note 10986 kind 2 value 1",
          "note 10999 kind 2 value 1", "note 11000 kind 1 value 0"}));
}

}  // namespace
}  // namespace zor::board
