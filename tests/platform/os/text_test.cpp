#include <gtest/gtest.h>

#include <functional>

#include "platform/os/core/error.h"
#include "platform/os/text/convert.h"
#include "tests/platform/os/refused.h"

namespace os {
namespace {

TEST(TextConversion, CountsIncludeTheNulWhenLengthIsMinusOne) {
  const char* text = "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\xF0\x9F\x98\x80";  // "grüß €😀"
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 8);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, nullptr, 0), 3);
  wchar_t wide[8];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, 8), 8);
  EXPECT_STREQ(wide, L"gr\u00fc\u00df \u20ac\U0001F600");
  EXPECT_EQ(WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                                nullptr),
            15);
  char back[15];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, 15, nullptr, nullptr), 15);
  EXPECT_STREQ(back, text);
  // Each encoded length's first and last code point, and those beside the surrogates.
  const std::string edges =
      "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
      "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(Utf8ToWide(edges), L"\u007f\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010FFFF");
  EXPECT_EQ(WideToUtf8(Utf8ToWide(edges)), edges);
}

TEST(TextConversion, TooSmallBuffersFailWithoutOverrun) {
  wchar_t wide[3] = {L'x', L'x', L'x'};
  Refused(MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, wide, 3) == 0, ERROR_INSUFFICIENT_BUFFER);
  char narrow[2];
  Refused(WideCharToMultiByte(CP_UTF8, 0, L"\u00e9", 1, narrow, 1, nullptr, nullptr) == 0,
          ERROR_INSUFFICIENT_BUFFER);
}

TEST(TextConversion, InvalidInputIsReplacedOrRefusedWhenAsked) {
  // Cut sequence, overlong slash, encoded surrogate, stray continuation byte.
  // Lead bytes C1 and F5, past U+10FFFF, overlong three-byte.
  for (const char* bad : {"a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\x80z", "\xC1\xBF",
                          "\xF5\x80\x80\x80", "\xF4\x90\x80\x80", "\xE0\x9F\xBF"}) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, nullptr, 0), 0) << bad;
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, 0, bad, -1, nullptr, 0), 0);
  }
  wchar_t wide[4];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFFz", 3, wide, 4), 3);
  EXPECT_EQ(wide[1], L'\uFFFD');
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  Refused(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, surrogate, -1, nullptr, 0, nullptr,
                              nullptr) == 0,
          ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(WideToUtf8(surrogate), "a\xEF\xBF\xBD");
}

TEST(TextConversion, BadArgumentsAreRefused) {
  wchar_t wide[4];
  char narrow[4];
  bool used = false;
  const struct {
    const char* name;
    std::function<int()> call;
    uint32_t error;
  } cases[] = {
      {"no source", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"empty source", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"length -2", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"no destination", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
      {"negative room", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -1); },
       ERROR_INVALID_PARAMETER},
      {"code page 1252", [&] { return MultiByteToWideChar(1252, 0, "a", 1, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"unknown flag", [&] { return MultiByteToWideChar(CP_UTF8, 0x4, "a", 1, wide, 4); },
       ERROR_INVALID_FLAGS},
      {"wide, no source",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, nullptr, -1, narrow, 4, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"wide, code page 1252",
       [&] { return WideCharToMultiByte(1252, 0, L"a", 1, narrow, 4, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"wide, default character",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 4, "?", nullptr); },
       ERROR_INVALID_PARAMETER},
      {"wide, default used",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 4, nullptr, &used); },
       ERROR_INVALID_PARAMETER},
      {"wide, unknown flag",
       [&] { return WideCharToMultiByte(CP_UTF8, 0x4, L"a", 1, narrow, 4, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
  };
  for (const auto& c : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(c.call(), 0) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
}

}  // namespace
}  // namespace os
