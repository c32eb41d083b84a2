#include "driver/foundation/printfformat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace zor::foundation;

namespace {

std::string Narrow(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out;
  const int64_t length = FormatNarrowV(out, format, args);
  va_end(args);
  return length < 0 ? "<error>" : out;
}

std::wstring Wide(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring out;
  const int64_t length = FormatWideV(out, format, args);
  va_end(args);
  if (length < 0) return L"<error>";
  EXPECT_EQ(length, static_cast<int64_t>(out.size()));
  return out;
}

}  // namespace

TEST(PrintfFormat, TranslatesWindowsConventions) {
  std::wstring glibc;
  ASSERT_TRUE(
      TranslateFormat(L"%s %S %hs %ls %ws %c %C %ld %lu %lX %I64d %I64u %Id %lld %%", glibc));
  EXPECT_EQ(glibc, L"%ls %s %s %ls %ls %lc %c %d %u %X %lld %llu %zd %lld %%");
  std::string narrow;
  ASSERT_TRUE(TranslateFormat("%s %S %-8.3ls %05ld", narrow));
  EXPECT_EQ(narrow, "%s %ls %-8.3ls %05d");
  for (const wchar_t* refused : {L"%n", L"%", L"%5", L"%q", L"%lln"}) {
    EXPECT_FALSE(TranslateFormat(refused, glibc)) << refused;
  }
}

TEST(PrintfFormat, WideFormatsMixedArgumentsAndLongText) {
  EXPECT_EQ(Wide(L"%s|%S|%ld|%I64d|%.2f", L"wé", "n\xC3\xA9", int32_t{-5}, int64_t{1} << 40, 0.5),
            L"wé|né|-5|1099511627776|0.50");
  // Longer than the first measuring buffer.
  const std::wstring big(5000, L'q');
  EXPECT_EQ(Wide(L"<%s>", big.c_str()), L"<" + big + L">");
  EXPECT_EQ(Wide(L"%S", "\xFF"), L"<error>");
}

TEST(PrintfFormat, AbsurdWidthsAreRefusedNotAllocated) {
  EXPECT_EQ(Narrow("%*d", 1 << 25, 1), "<error>");
  EXPECT_EQ(Wide(L"%*d", 1 << 25, 1), L"<error>");
  EXPECT_EQ(Narrow("%*d", 3, 1), "  1");
}
