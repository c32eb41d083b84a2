// Without the grab-control library: continuous grab and halt have no road,
// abort and controls are the driver's own.
#include <fstream>
#include <string>
#include <vector>

#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {
namespace {

class GrabControlFallback : public DigitizerFixture {};

// The state word is 0, with no digitizer (the library alone is probed) and with one.
TEST_F(GrabControlFallback, EveryOperationTakesItsFallback) {
  QINT64 state = -1;
  QsysInquire(system_, 4385, &state);
  EXPECT_EQ(state, 0);
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0);
  EXPECT_EQ(Inquire(digitizer, 4385), 0);
  EXPECT_EQ(LastError(), Err(0));
  const QID buffer = QbufAllocColor(system_, 1, 640, 480, 8, Q_IMAGE | Q_GRAB, nullptr);
  QdigGrabContinuous(digitizer, buffer);
  EXPECT_EQ(LastError(), Err(4344, 2));
  QdigHalt(digitizer);
  EXPECT_EQ(LastError(), Err(4344, 3));
  QdigGrabAbort(digitizer);
  EXPECT_EQ(LastError(), Err(0));
  ExpectSteps(digitizer, &QdigControl, &QdigInquire, {{4127, 640, Err(0), 640}});
  QbufFree(buffer);
  QdigFree(digitizer);
}

// The host's trace keeps the failed load and the binding left without library.
TEST_F(GrabControlFallback, TheFailedLoadIsTraced) {
  const std::filesystem::path path = files_ / "trace.txt";
  setenv("ZOR_TRACE_FILE", path.c_str(), 1);
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0);
  QdigHalt(digitizer);
  unsetenv("ZOR_TRACE_FILE");
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  // The system's first digitizer has the driver's index 1.
  const std::vector<std::string> expected = {
      "note 10985 kind 5 value 1", "load zorgrabc.dll", "loaded zorgrabc.dll failed",
      "note 10987 kind 36 value 0", "note 10986 kind 2 value 0"};
  EXPECT_EQ(lines, expected);
  QdigFree(digitizer);
}

}  // namespace
}  // namespace zor::board
