#include "driver/foundation/conversions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "driver/foundation/integerchecks.h"

using namespace zor::foundation;

TEST(Conversions, Utf8ToWideAcceptsValidAndRejectsInvalid) {
  CZORString out(L"old");
  EXPECT_TRUE(Utf8ToWide("z\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", out));
  EXPECT_STREQ(out.CStr(), L"zé€\U0001F600");
  EXPECT_EQ(out.Size(), 5);
  const char* invalid[] = {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"};
  for (const char* text : invalid) {
    out.Assign(L"old");
    EXPECT_FALSE(Utf8ToWide(text, out)) << text;
    EXPECT_STREQ(out.CStr(), L"");
  }
  EXPECT_TRUE(Utf8ToWide("", out));
  EXPECT_FALSE(Utf8ToWide(nullptr, out));
}

TEST(Conversions, WideToNarrowRoundTrips) {
  CZORStringAscii narrow;
  EXPECT_TRUE(WideToAnsi(L"aé€", narrow));
  EXPECT_STREQ(narrow.CStr(), "a\xC3\xA9\xE2\x82\xAC");
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_TRUE(WideToAnsiEx(surrogate, narrow, true));  // replaced, as the code page does
  EXPECT_STREQ(narrow.CStr(), "a\xEF\xBF\xBD");
  EXPECT_TRUE(Utf8ToAnsi("\xC3\xA9", narrow));
  EXPECT_STREQ(narrow.CStr(), "\xC3\xA9");
  // A failed conversion says so and leaves the empty text.
  EXPECT_FALSE(Utf8ToAnsi("\xC3", narrow));
  EXPECT_STREQ(narrow.CStr(), "");
  narrow.Assign("old");
  EXPECT_FALSE(WideToAnsi(nullptr, narrow));
  EXPECT_STREQ(narrow.CStr(), "");
  std::wstring wide = L"old";
  EXPECT_FALSE(AnsiToWide(nullptr, wide));
  EXPECT_EQ(wide, L"");
  EXPECT_TRUE(AnsiToWide("", wide) && WideToAnsi(L"", narrow));  // the empty text converts

  EXPECT_EQ(AnsiToWString("\xC3\xA9t\xC3\xA9"), L"été");
  EXPECT_EQ(Utf8ToWString("\xE2\x82\xAC"), L"€");
  EXPECT_EQ(WStringToUtf8(L"€"), "\xE2\x82\xAC");
  EXPECT_EQ(WStringToUtf8(surrogate), "");
  EXPECT_EQ(WStringToAnsi(L"x€"), "x\xE2\x82\xAC");
  EXPECT_EQ(Utf8ToAnsiString("ok"), "ok");
}

TEST(Conversions, SplitDropsEmptyPieces) {
  EXPECT_EQ((std::vector{SplitString("a,,b,", ","), SplitString(",;a;b", ",;"),
                         SplitString("a,b", ""), SplitString("", ","), SplitString("", "")}),
            (std::vector<std::vector<std::string>>{{"a", "b"}, {"a", "b"}, {"a,b"}, {}, {}}));
  EXPECT_EQ(SplitWString(L" x  y ", L" "), (std::vector<std::wstring>{L"x", L"y"}));
}

TEST(IntegerChecks, BothEndsAreInsideAndDoublesSaturate) {
  EXPECT_TRUE(InRange(3, 3, 5) && InRange(5, 3, 5));
  EXPECT_FALSE(InRange(2, 3, 5) || InRange(6, 3, 5));
  EXPECT_TRUE(OneOf(5, {1, 5}));
  EXPECT_FALSE(OneOf(4, {1, 5}));
  constexpr IntRange kRanges[] = {{0, 1}, {4, 6}};
  EXPECT_TRUE(InAnyRange(5, kRanges) && InAnyRange(0, kRanges));
  EXPECT_FALSE(InAnyRange(3, kRanges) || InAnyRange(7, kRanges));
  EXPECT_TRUE(HasAllBits(0xE, 0x6));
  EXPECT_FALSE(HasAllBits(0xA, 0x6));
  EXPECT_EQ(TruncateSaturated<int8_t>(127.9, 0), 127);
  EXPECT_EQ(TruncateSaturated<int8_t>(128.0, 0), 127);
  EXPECT_EQ(TruncateSaturated<int8_t>(-129.0, 0), -128);
  EXPECT_EQ(TruncateSaturated<int8_t>(std::nan(""), 7), 7);
}
