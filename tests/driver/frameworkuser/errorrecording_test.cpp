// Error recording on the thread context and reading it back.
#include <gtest/gtest.h>

#include <string>

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

  bool constructionError_ = false;
  TestDriver driver_{constructionError_};
  QDDriverThreadContext ctx_{driver_, 1};
};

TEST_F(ErrorRecordingTest, FirstErrorWinsUntilCleared) {
  ctx_.SetError(4320, 2, 0, 0);
  ctx_.SetError(4330, 1, 0, 0);
  ctx_.SetErrorText(4331, L"a", nullptr, nullptr);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{4320, 2, 0, 0}));
  EXPECT_EQ(ctx_.SubCodeCount(), 1);
  ctx_.SetError(0, 0, 0, 0);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{0, 0, 0, 0}));
  ctx_.SetError(4330, 1, 0, 0);
  EXPECT_EQ(ctx_.ErrorCode(), 4330);
}

TEST_F(ErrorRecordingTest, SubCodesAboveSevenSurviveOnlyInHostRanges) {
  ctx_.SetError(100, 9, 3, 12);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{100, 0, 3, 0}));
  EXPECT_EQ(ctx_.SubCodeCount(), 0);
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetError(1100, 9, 3, 12);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{1100, 9, 3, 12}));
  EXPECT_EQ(ctx_.SubCodeCount(), 3);
  // A table code keeps a sub-code above 7 but has no text for it.
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetError(4339, 9, 0, 0);
  EXPECT_STREQ(TextsOf().sub[0], L"");
}

TEST_F(ErrorRecordingTest, FreeTextsTakeThePlacesOfSubMessagesFiveToSeven) {
  ctx_.SetErrorText(4400, L"first", L"second", nullptr);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{4400, 5, 6, 0}));
  Texts texts = TextsOf();
  EXPECT_STREQ(texts.message, L"Driver error:");
  EXPECT_STREQ(texts.sub[0], L"first");
  EXPECT_STREQ(texts.sub[1], L"second");
  EXPECT_STREQ(texts.sub[2], L"");

  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetErrorSubText(4336, 2, L"Control code: 2555", nullptr);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{4336, 2, 6, 0}));
  texts = TextsOf();
  EXPECT_STREQ(texts.sub[0], L"DeviceIoControl failed.");
  EXPECT_STREQ(texts.sub[1], L"Control code: 2555");

  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetErrorSubSubText(4422, 1, 3, L"detail");
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{4422, 1, 3, 7}));
  EXPECT_STREQ(TextsOf().sub[2], L"detail");

  // Clearing also empties the free texts.
  ctx_.SetError(0, 0, 0, 0);
  ctx_.SetError(4300, 7, 0, 0);
  EXPECT_STREQ(TextsOf().sub[0], L"");
}

TEST_F(ErrorRecordingTest, CodesOutsideTheTableUseTheOwnTexts) {
  const std::wstring longText(500, L'x');
  // Each text cut at its own end: none runs into the next one, written before it.
  ctx_.SetDetailText(2, L"two");
  ctx_.SetDetailText(1, longText.c_str());
  ctx_.SetHeadlineText(longText.c_str());
  ctx_.SetError(5000, 1, 2, 0);
  Texts texts = TextsOf();
  EXPECT_EQ(std::wstring(texts.message), longText.substr(0, kOwnTextSize - 1));
  EXPECT_EQ(std::wstring(texts.sub[0]), longText.substr(0, kOwnTextSize - 1));
  EXPECT_STREQ(texts.sub[1], L"two");
}

TEST_F(ErrorRecordingTest, OtherKindsOfGetError) {
  wchar_t name[kOwnTextSize] = {};
  EXPECT_EQ(ctx_.GetError(3, name, nullptr, nullptr, nullptr), 1);
  EXPECT_STREQ(name, L"DravionLyn");
  int64_t a = 5;
  int64_t b = 6;
  ctx_.GetError(6, &a, &b, nullptr, nullptr);
  EXPECT_EQ(a + b, 0);
  EXPECT_EQ(a, 0);
  // Kind 5 answers one word: the second variable is the caller's.
  a = 5;
  b = 6;
  EXPECT_EQ(ctx_.GetError(5, &a, &b, nullptr, nullptr), 1);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 6);
  a = 5;
  EXPECT_EQ(ctx_.GetError(4, &a, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(a, 5);
}

TEST(DebugStopSettingsTest, SubCodeFiltersMatchUpToTheFirstWildcard) {
  DebugStopSettings settings;
  settings.stopOnErrCode = 4320;
  settings.stopOnSub[0] = 2;
  const int64_t two[3] = {2, 9, 9};
  const int64_t three[3] = {3, 9, 9};
  EXPECT_TRUE(settings.Matches(4320, two));
  EXPECT_FALSE(settings.Matches(4320, three));
  EXPECT_FALSE(settings.Matches(4321, two));
  settings.stopOnSub[0] = -1;
  settings.stopOnSub[1] = 9;  // a filter after a wildcard never matches
  EXPECT_FALSE(settings.Matches(4320, two));
}

}  // namespace
}  // namespace zor::frame
