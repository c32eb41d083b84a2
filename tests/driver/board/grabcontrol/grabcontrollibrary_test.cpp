// With the test grab-control library beside the driver: continuous grab, halt,
// abort and controls go through it, and it drives the digitizer back through
// the driver's callbacks.
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kResultControl = 99;
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
    if (digitizer_ != 0) QdigFree(digitizer_);
    DigitizerFixture::TearDown();
  }
  QID digitizer_ = 0;
};

TEST_F(GrabControlLibrary, ResultsBecomeTheirErrors) {
  struct Case {
    QINT64 result, code, subCode;
  };
  for (const Case& c :
       {Case{1, 4345, 1}, Case{3, 4345, 3}, Case{4, 4347, 1}, Case{13, 4347, 1}, Case{15, 4346, 1},
        Case{16, 4347, 2}, Case{17, 4346, 2}, Case{18, 4346, 3}, Case{19, 4347, 2}}) {
    SCOPED_TRACE(c.result);
    QdigControl(digitizer_, kResultControl, c.result);
    EXPECT_EQ(ErrorCode(), c.code);
    EXPECT_EQ(SubCode(1), c.subCode);
  }
  QdigControl(digitizer_, kResultControl, 0);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(GrabControlLibrary, ControlsComeBackThroughTheCallbacks) {
  QdigControl(digitizer_, kGrabTimeout, 750);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 750);
}

TEST_F(GrabControlLibrary, ContinuousGrabAndHaltThroughTheLibrary) {
  const QID buffer = QbufAllocColor(system_, 1, 640, 480, 8, Q_IMAGE | Q_GRAB | 0x40000, nullptr);
  ASSERT_NE(buffer, 0);
  QdigGrabContinuous(digitizer_, buffer);
  EXPECT_EQ(ErrorCode(), 0);
  // Two frame ends go by, then the halt stops the writing before the buffer is read.
  QdigGrabWait(digitizer_, 5);
  QdigGrabWait(digitizer_, 5);
  QdigHalt(digitizer_);
  EXPECT_EQ(ErrorCode(), 0);
  // The ramp left the zeroed buffer; any one pixel of it is 0 on one frame in 64.
  std::vector<uint8_t> row(640);
  QbufGet2d(buffer, 0, 200, 640, 1, row.data());
  EXPECT_NE(std::count(row.begin(), row.end(), 0), 640);
  QbufFree(buffer);
}

TEST_F(GrabControlLibrary, AbortGoesThroughTheLibrary) {
  QdigGrabAbort(digitizer_);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(GrabControlLibrary, NoHandleFromTheLibraryLeavesTheFallbacks) {
  const QID second = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(second, 0);
  // The binding is made on the digitizer's first use.
  setenv("ZORGRABC_NO_HANDLE", "1", 1);
  QdigHalt(second);
  unsetenv("ZORGRABC_NO_HANDLE");
  EXPECT_EQ(ErrorCode(), 4344);
  EXPECT_EQ(SubCode(1), 3);
  // The driver's own control serves it.
  QdigControl(second, kResultControl, 16);
  EXPECT_NE(ErrorCode(), 4347);
  QdigFree(second);
}

// The system asks the library for its state word once and keeps the answer;
// a digitizer asks its binding every time.
TEST_F(GrabControlLibrary, StateWordIsAskedOnceThenKept) {
  void* library = dlopen(ZOR_TEST_GRABCONTROL_LIBRARY, RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto inquiries = reinterpret_cast<int64_t (*)()>(dlsym(library, "ZorgrabcStateInquiries"));
  ASSERT_NE(inquiries, nullptr);
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
  EXPECT_EQ(ErrorCode(), 0);
  dlclose(library);
}

}  // namespace
}  // namespace zor::board
