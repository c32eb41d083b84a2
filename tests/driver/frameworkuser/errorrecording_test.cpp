// Error recording on the thread context and reading it back.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "driver/frameworkuser/context/debugstop.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "tests/driver/frameworkuser/support/testdriver.h"

namespace zor::frame {
namespace {

class ErrorRecordingTest : public ::testing::Test {
 protected:
  struct Texts {
    wchar_t message[kOwnTextSize];
    wchar_t sub[3][kOwnTextSize];
  };

  std::array<int64_t, 4> Codes() {
    std::array<int64_t, 4> codes{};
    ctx_.GetError(1, &codes[0], &codes[1], &codes[2], &codes[3]);
    return codes;
  }
  Texts TextsOf() {
    Texts texts{};
    ctx_.GetError(2, texts.message, texts.sub[0], texts.sub[1], texts.sub[2]);
    return texts;
  }
  // The whole error: codes, sub-code count, headline and sub texts.
  std::wstring State() {
    const std::array<int64_t, 4> c = Codes();
    const Texts t = TextsOf();
    std::wostringstream out;
    out << c[0] << ' ' << c[1] << ' ' << c[2] << ' ' << c[3] << " #" << ctx_.SubCodeCount() << ' '
        << t.message << '|' << t.sub[0] << '|' << t.sub[1] << '|' << t.sub[2];
    return out.str();
  }

  bool constructionError_ = false;
  TestDriver driver_{constructionError_};
  QDDriverThreadContext ctx_{driver_, 1};
};

TEST_F(ErrorRecordingTest, FirstErrorWinsUntilCleared) {
  ctx_.SetError(4320, 2, 0, 0);
  ctx_.SetError(4330, 1, 0, 0);
  ctx_.SetErrorText(4331, L"a", nullptr, nullptr);
  EXPECT_EQ(State(), L"4320 2 0 0 #1 Operation error:|The grab was halted.||");
  ctx_.SetError(0, 0, 0, 0);
  EXPECT_EQ(State(), L"0 0 0 0 #0 |||");
  ctx_.SetError(4330, 1, 0, 0);
  EXPECT_EQ(State(), L"4330 1 0 0 #1 Invalid parameter error:|Invalid copy condition.||");
}

TEST_F(ErrorRecordingTest, SubCodesAboveSevenSurviveOnlyInHostRanges) {
  ctx_.SetError(100, 9, 3, 12);
  EXPECT_EQ(State(), L"100 0 3 0 #0 |||");
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetError(1100, 9, 3, 12);
  EXPECT_EQ(State(), L"1100 9 3 12 #3 |||");
  // A table code keeps a sub-code above 7 but has no text for it.
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetError(4339, 9, 0, 0);
  EXPECT_EQ(State(), L"4339 9 0 0 #1 UART Error:|||");
}

TEST_F(ErrorRecordingTest, FreeTextsTakeThePlacesOfSubMessagesFiveToSeven) {
  ctx_.SetErrorText(4400, L"first", L"second", nullptr);
  EXPECT_EQ(State(), L"4400 5 6 0 #2 Driver error:|first|second|");
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetErrorSubText(4336, 2, L"Control code: 2555", nullptr);
  EXPECT_EQ(State(),
            L"4336 2 6 0 #2 Unexpected Error:|DeviceIoControl failed.|Control code: 2555|");
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetErrorSubSubText(4422, 1, 3, L"detail");
  EXPECT_EQ(State(),
            L"4422 1 3 7 #3 Feature Access Error:|The feature does not exist.|Invalid element "
            L"number.|detail");
  // Clearing also empties the free texts.
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetError(4300, 7, 0, 0);
  EXPECT_EQ(State(), L"4300 7 0 0 #1 Invalid parameter error:|||");
}

TEST_F(ErrorRecordingTest, CodesOutsideTheTableUseTheOwnTexts) {
  const std::wstring longText(500, L'x');
  // Each text cut at its own end: none runs into the next one, written before it.
  ctx_.SetDetailText(2, L"two");
  ctx_.SetDetailText(1, longText.c_str());
  ctx_.SetHeadlineText(longText.c_str());
  ctx_.SetError(5000, 1, 2, 0);
  const std::wstring cut = longText.substr(0, kOwnTextSize - 1);
  EXPECT_EQ(State(), L"5000 1 2 0 #2 " + cut + L'|' + cut + L"|two|");
}

TEST_F(ErrorRecordingTest, OtherKindsOfGetError) {
  wchar_t name[kOwnTextSize] = {};
  EXPECT_EQ(ctx_.GetError(3, name, nullptr, nullptr, nullptr), 1);
  EXPECT_STREQ(name, L"DravionLyn");
  int64_t a = 5;
  int64_t b = 6;
  ctx_.GetError(6, &a, &b, nullptr, nullptr);
  EXPECT_EQ((std::pair{a, b}), (std::pair<int64_t, int64_t>{0, 0}));
  // Kind 5 answers one word: the second variable is the caller's.
  a = 5;
  b = 6;
  EXPECT_EQ(ctx_.GetError(5, &a, &b, nullptr, nullptr), 1);
  EXPECT_EQ((std::pair{a, b}), (std::pair<int64_t, int64_t>{0, 6}));
  a = 5;
  EXPECT_EQ(ctx_.GetError(4, &a, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(a, 5);
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
