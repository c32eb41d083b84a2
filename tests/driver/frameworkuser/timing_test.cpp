// Per-opcode timing and the performance report.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/timing/opcodetiming.h"
#include "platform/host/hostservices.h"
#include "platform/os/diag/debug_output.h"
#include "tests/driver/frameworkuser/support/frameworktest.h"
#include "tests/support/ownprocess.h"

namespace zor::frame {
namespace {

// A timing whole: total, minimum, maximum, calls.
std::array<int64_t, 4> Timing(uint16_t opcode) {
  const OpcodeTiming t = GetOpcodeTiming(opcode);
  return {t.totalTicks, t.minimumTicks, t.maximumTicks, t.calls};
}

TEST(OpcodeTimingTest, BookingKeepsCountTotalAndExtremesOfTimedGroupsOnly) {
  RecordOpcodeTiming(0x0204, 100, 400);
  RecordOpcodeTiming(0x0204, 0, 100);
  RecordOpcodeTiming(0x0204, 500, 500);  // too short to measure: the minimum stays
  RecordOpcodeTiming(0x0204, 0, 900);
  EXPECT_EQ(Timing(0x0204), (std::array<int64_t, 4>{1300, 100, 900, 4}));
}

// Each timed group times its first opcodes up to its count: the last one timed and the first
// not, at every row; groups between them time nothing.
TEST(OpcodeTimingTest, EveryGroupTimesItsCountOfOpcodes) {
  const uint16_t groups[][2] = {
      {0x0000, 8}, {0x0200, 51}, {0x0400, 14}, {0x0600, 17}, {0x0800, 34}, {0x0A00, 5},
      {0x0C00, 6}, {0x0E00, 13}, {0x1000, 17}, {0x1200, 11}, {0x1400, 5},  {0x1600, 3},
      {0x1800, 5}, {0x1A00, 19}, {0x1C00, 3},  {0x2000, 5},  {0x2200, 6},  {0x2800, 14},
      {0x2C00, 5}, {0x8000, 19}, {0x8200, 14}, {0x8400, 19}, {0x8600, 9},  {0x8800, 20},
      {0x8A00, 1}, {0x8C00, 30}, {0x8E00, 14}, {0x9400, 12}, {0x1E00, 0},  {0x2400, 0},
      {0x2E00, 0}, {0x9600, 0},  {0xFE00, 0}};
  for (const auto& [base, count] : groups) {
    for (const uint16_t opcode : {uint16_t(base + count - 1), uint16_t(base + count)}) {
      const int64_t before = Timing(opcode)[3];
      RecordOpcodeTiming(opcode, 0, 10);
      EXPECT_EQ(Timing(opcode)[3] - before, opcode >= base && opcode < base + count ? 1 : 0)
          << std::hex << opcode;
    }
  }
}

class PerformanceReportTest : public FrameworkTest {};

TEST_F(PerformanceReportTest, DecoderTimesCommandsOnceStatisticsAreOn) {
  CommandBuilder(0x0003).Run();
  EXPECT_EQ(GetOpcodeTiming(0x0003).calls, 0);
  EnableTimingStatistics();
  CommandBuilder(0x0003).Run();
  CommandBuilder(0x0003).Run();
  EXPECT_EQ(GetOpcodeTiming(0x0003).calls, 2);
}

std::wstring HostName(uint16_t opcode) {
  wchar_t name[320] = {};
  HostInternalInquire(opcode, Q_OPCODE_FUNCTION_NAME, name);
  return name;
}

// The timings are the process's: a process of its own has only those of this test.
TEST_F(PerformanceReportTest, ReportListsProcessorsOpcodesAndTotals) {
  zortest::InProcessOfItsOwn([] {
    CommandBuilder(0x1803).Run();  // makes the driver
    const std::wstring name = HostName(0x0607);
    ASSERT_FALSE(name.empty());
    RecordOpcodeTiming(0x0607, 0, 1000);
    RecordOpcodeTiming(0x0607, 0, 2000);
    RecordOpcodeTiming(0x0400, 0, 5000);  // timed, but without a host function: not counted
    ASSERT_TRUE(HostName(0x0400).empty());
    os::TakeDebugOutput();

    CQDDeviceDriverWrapper::Instance().GetDriver()->PrintPerformanceReport(1000, 500);
    const std::vector<std::wstring> pieces = os::TakeDebugOutput();
    ASSERT_GE(pieces.size(), 8u);
    EXPECT_EQ(pieces[0], L"\n\nZorDravionLyn.dll Performance Report:\n\n");
    // Each processor's block: its three names, its frequency and a blank line.
    EXPECT_EQ(pieces[1], L"Processor #0:\n");
    for (std::size_t i = 2; i < 5; ++i) EXPECT_EQ(pieces[i].substr(0, 1), L"\t") << i;
    EXPECT_EQ(pieces[5].rfind(L"\tCpu frequency (MHz): ", 0), 0u);
    EXPECT_EQ(pieces[6], L"\n");
    const std::wstring line = L"         2  " + name + std::wstring(20 - name.size(), L' ') +
                              L"         1.500000000         1.000000000         2.000000000\n";
    std::size_t at = 0;
    while (at < pieces.size() && pieces[at] != line) ++at;
    ASSERT_LT(at, pieces.size());
    EXPECT_EQ(pieces[at - 1],
              L"     Count  Function called      Average Time (Sec.)     Min Time (Sec.)     Max "
              L"Time (Sec.)\n");
    EXPECT_EQ(pieces[at + 1], L"\n");
    EXPECT_EQ(pieces[at + 3], L"Total sleep time:      0.500\n");
    EXPECT_EQ(pieces[at + 4], L"Total cumulated time:  3.000\n");
    EXPECT_EQ(pieces[at + 2].rfind(L"Total sample time:     ", 0), 0u);
    EXPECT_EQ(pieces[at + 5].rfind(L"Total CPU utilization: ", 0), 0u);
    EXPECT_EQ(pieces.back(), L"\n");
    EXPECT_EQ(pieces.size(), at + 7);
  });
}

}  // namespace
}  // namespace zor::frame
