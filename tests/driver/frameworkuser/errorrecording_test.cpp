// Error recording on the thread context and reading it back.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/frameworkuser/context/debugstop.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "tests/driver/frameworkuser/support/testdriver.h"
#include "tests/driver/frameworkuser/support/wholereports.h"

namespace zor::frame {
namespace {

class ErrorRecordingTest : public ::testing::Test, protected ContextOnTestDriver {
 protected:
  struct Texts {
    wchar_t message[kOwnTextSize];
    wchar_t sub[3][kOwnTextSize];
  };

  std::array<int64_t, 4> Codes() {
    std::array<int64_t, 4> codes{};
    ctx.GetError(1, &codes[0], &codes[1], &codes[2], &codes[3]);
    return codes;
  }
  Texts TextsOf() {
    Texts texts{};
    ctx.GetError(2, texts.message, texts.sub[0], texts.sub[1], texts.sub[2]);
    return texts;
  }
  // The whole error: codes, sub-code count, headline and sub texts.
  std::wstring State() {
    const std::array<int64_t, 4> c = Codes();
    const Texts t = TextsOf();
    std::wostringstream out;
    out << c[0] << ' ' << c[1] << ' ' << c[2] << ' ' << c[3] << " #" << ctx.SubCodeCount() << ' '
        << t.message << '|' << t.sub[0] << '|' << t.sub[1] << '|' << t.sub[2];
    return out.str();
  }
};

// Each row records from a cleared context; the whole error is read back.
TEST_F(ErrorRecordingTest, RecordedErrorsReadBackWhole) {
  using Context = QDDriverThreadContext;
  const std::wstring kCut(kOwnTextSize - 1, L'x');
  const struct {
    const char* what;
    std::function<void(Context&)> record;
    std::wstring state;
  } rows[] = {
      {"the first error wins",
       [](Context& c) {
         c.SetError(4320, 2, 0, 0);
         c.SetError(4330, 1, 0, 0);
         c.SetErrorText(4331, L"a", nullptr, nullptr);
       },
       L"4320 2 0 0 #1 Operation error:|The grab was halted.||"},
      {"until cleared",
       [](Context& c) {
         c.SetError(4320, 2, 0, 0);
         c.SetError(0, 0, 0, 0);
       },
       L"0 0 0 0 #0 |||"},
      {"a sub-code with a text of the table", [](Context& c) { c.SetError(4402, 4, 0, 0); },
       L"4402 4 0 0 #1 Operation error:|Firmware has been updated. Shutdown and power-off your "
       L"computer to complete the operation.||"},
      // Sub-codes above 7 of a code outside the host's ranges are dropped.
      {"no host range", [](Context& c) { c.SetError(100, 7, 8, 12); }, L"100 7 0 0 #1 |||"},
      {"a host range", [](Context& c) { c.SetError(1100, 9, 3, 12); }, L"1100 9 3 12 #3 |||"},
      {"a table code keeps it without text", [](Context& c) { c.SetError(4339, 9, 8, 0); },
       L"4339 9 8 0 #2 UART Error:|||"},
      // Free texts take the places of sub-messages 5 to 7, each only after the one before.
      {"two free texts", [](Context& c) { c.SetErrorText(4400, L"first", L"second", nullptr); },
       L"4400 5 6 0 #2 Driver error:|first|second|"},
      {"no first free text", [](Context& c) { c.SetErrorText(4400, nullptr, L"second", L"third"); },
       L"4400 0 0 0 #0 Driver error:|||"},
      {"no second free text", [](Context& c) { c.SetErrorText(4400, L"first", nullptr, L"third"); },
       L"4400 5 0 0 #1 Driver error:|first||"},
      {"a sub-code and a free text",
       [](Context& c) { c.SetErrorSubText(4336, 2, L"Control code: 2555", nullptr); },
       L"4336 2 6 0 #2 Unexpected Error:|DeviceIoControl failed.|Control code: 2555|"},
      {"no sub-text", [](Context& c) { c.SetErrorSubText(4336, 2, nullptr, L"seven"); },
       L"4336 2 0 0 #1 Unexpected Error:|DeviceIoControl failed.||"},
      {"two sub-codes and a free text",
       [](Context& c) { c.SetErrorSubSubText(4422, 1, 3, L"detail"); },
       L"4422 1 3 7 #3 Feature Access Error:|The feature does not exist.|Invalid element "
       L"number.|detail"},
      {"clearing empties the free texts",
       [](Context& c) {
         c.SetErrorText(4400, L"first", L"second", L"third");
         c.SetError(0, 0, 0, 0);
         c.SetError(4300, 7, 0, 0);
       },
       L"4300 7 0 0 #1 Invalid parameter error:|||"},
      // The table's texts are those of its codes only; others show the own texts.
      {"the table's last code", [](Context& c) { c.SetError(4499, 1, 0, 0); },
       L"4499 1 0 0 #1 |||"},
      {"past the table",
       [](Context& c) {
         c.SetHeadlineText(L"own");
         c.SetError(4500, 1, 0, 0);
       },
       L"4500 1 0 0 #1 own|||"},
      {"before the table",
       [](Context& c) {
         c.SetHeadlineText(L"mine");
         c.SetError(4299, 1, 0, 0);
       },
       L"4299 1 0 0 #1 mine|||"},
      // Each own text cut at its own end: none runs into the next one, written before it (last:
      // the detail texts stay).
      {"own texts cut",
       [](Context& c) {
         c.SetDetailText(2, L"two");
         c.SetDetailText(1, std::wstring(500, L'x').c_str());
         c.SetHeadlineText(std::wstring(500, L'x').c_str());
         c.SetError(5000, 1, 2, 0);
       },
       L"5000 1 2 0 #2 " + kCut + L'|' + kCut + L"|two|"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ctx.SetError(0, 0, 0, 0);
    row.record(ctx);
    EXPECT_EQ(State(), row.state);
  }
}

// Both ends of every host range keep a sub-code above 7; the codes just outside drop it.
TEST_F(ErrorRecordingTest, HostRangesKeepEverySubCode) {
  const std::pair<std::vector<int64_t>, int64_t> groups[] = {
      {{1000, 1199, 1400, 1599, 2800, 2999, 3200, 3399, 3800, 3999, 4100,
        4499, 4600, 4699, 5200, 5599, 5600, 5799, 6000, 6599, 7400, 7599},
       9},
      {{999,  1200, 1399, 1600, 2799, 3000, 3199, 3400, 3799, 4000,
        4099, 4500, 4599, 4700, 5199, 5800, 5999, 6600, 7399, 7600},
       0}};
  for (const auto& [codes, kept] : groups) {
    for (const int64_t code : codes) {
      ctx.SetError(0, 0, 0, 0);
      ctx.SetError(code, 9, 0, 0);
      EXPECT_EQ(Codes()[1], kept) << code;
    }
  }
}

TEST_F(ErrorRecordingTest, OtherKindsOfGetError) {
  wchar_t name[kOwnTextSize] = {};
  EXPECT_EQ(ctx.GetError(3, name, nullptr, nullptr, nullptr), 1);
  EXPECT_STREQ(name, L"DravionLyn");
  // Kind 6 answers two zero words, kind 5 one and kind 4 none, whatever error is held; the other
  // variables stay the caller's.
  ctx.SetError(4320, 2, 0, 0);
  const std::pair<int64_t, std::array<int64_t, 2>> kinds[] = {
      {6, {0, 0}}, {5, {0, 6}}, {4, {5, 6}}};
  for (const auto& [kind, words] : kinds) {
    std::array<int64_t, 2> seen{5, 6};
    EXPECT_EQ(ctx.GetError(kind, &seen[0], &seen[1], nullptr, nullptr), 1) << kind;
    EXPECT_EQ(seen, words) << kind;
  }
}

// Errors of driver threads go to the application as the named function's, whole, only when there
// is one; the calling thread's own error stays as it was.
TEST_F(ErrorRecordingTest, ThreadReportsTellOnlyErrorsThatAreSet) {
  HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  zortest::WholeReports reports;
  foundation::CError error;
  ReportThreadError(L"Monitor", error);
  error.SetError(4320, 2);
  ReportThreadError(L"Monitor", error);
  ReportHeldError(L"Process", ctx);
  ctx.SetErrorSubText(4336, 2, L"Control code: 7", nullptr);
  ReportHeldError(L"Process", ctx);
  EXPECT_EQ(reports.Take(), (std::vector<std::wstring>{
                                L"4320 Monitor | 5 The grab was halted.",
                                L"4336 Process | 5 DeviceIoControl failed. | 6 Control code: 7"}));
  QINT64 current = -1;
  HostGetError(0, Q_CURRENT, &current);
  EXPECT_EQ(current, 0);
}

// A sub-code of -1 ends the match; a filter set after it never matches.
TEST(DebugStopSettingsTest, SubCodeFiltersMatchUpToTheFirstWildcard) {
  struct Case {
    const char* what;
    int64_t stopSubs[3];
    int64_t code;
    int64_t subs[3];
    bool matches;
  };
  const Case cases[] = {
      {"another code", {2, -1, -1}, 4321, {2, 9, 9}, false},
      {"first sub only", {2, -1, -1}, 4320, {2, 9, 9}, true},
      {"first sub differs", {2, -1, -1}, 4320, {3, 9, 9}, false},
      {"no sub", {-1, -1, -1}, 4320, {7, 7, 7}, true},
      {"all three", {1, 2, 3}, 4320, {1, 2, 3}, true},
      {"third differs", {1, 2, 3}, 4320, {1, 2, 4}, false},
      {"a filter after a wildcard", {2, -1, 9}, 4320, {2, 9, 9}, false},
      {"a filter after the first wildcard", {-1, 9, -1}, 4320, {2, 9, 9}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DebugStopSettings settings{0, 4320, {c.stopSubs[0], c.stopSubs[1], c.stopSubs[2]}, 5};
    EXPECT_EQ(settings.Matches(c.code, c.subs), c.matches);
  }
}

}  // namespace
}  // namespace zor::frame
