#include "driver/foundation/printfformat.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

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
  ASSERT_TRUE(TranslateFormat("%s %S %-8.3ls %05ld %9.9d", narrow));
  EXPECT_EQ(narrow, "%s %ls %-8.3ls %05d %9.9d");
  // U+0173 and U+0164 end in the bytes of 's' and 'd'.
  for (const wchar_t* refused : {L"%n", L"%", L"%5", L"%q", L"%lln", L"%\u0173", L"%l\u0164"}) {
    EXPECT_FALSE(TranslateFormat(refused, glibc)) << refused;
  }
  EXPECT_EQ(Narrow(nullptr), "<error>");
  // Every length modifier on every integer conversion.
  const std::pair<const char*, const char*> modifiers[] = {
      {"hh", "hh"},  {"h", "h"}, {"", ""},   {"l", ""},  {"I32", ""}, {"ll", "ll"},
      {"I64", "ll"}, {"I", "z"}, {"z", "z"}, {"j", "j"}, {"t", "t"}};
  for (const auto& [windows, expected] : modifiers) {
    for (const char conversion : std::string("diuxXo")) {
      const std::string format = std::string("%") + windows + conversion;
      ASSERT_TRUE(TranslateFormat(format.c_str(), narrow)) << format;
      EXPECT_EQ(narrow, std::string("%") + expected + conversion) << format;
    }
  }
}

// Each length modifier with a value that only a reading of its own width prints as written: a
// narrower one cuts it, a wider one reads beyond the argument.
TEST(PrintfFormat, LengthModifiersReadTheirOwnWidth) {
  EXPECT_EQ(Narrow("%hhd %hhu %hhx", 300, 511, 0x1AB), "44 255 ab");
  EXPECT_EQ(Wide(L"%hhd", 300), L"44");
  EXPECT_EQ(Narrow("%hd %hu", 70000, 0x1FFFF), "4464 65535");
  EXPECT_EQ(Wide(L"%hd", 70000), L"4464");
  EXPECT_EQ(Narrow("%ld %I32d", int32_t{-5}, int32_t{-7}), "-5 -7");
  constexpr int64_t kWide = (int64_t{1} << 40) + 5;
  EXPECT_EQ(Narrow("%lld %I64d", kWide, -kWide), "1099511627781 -1099511627781");
  EXPECT_EQ(Narrow("%zu %Iu", size_t{1} << 40, size_t{1} << 41), "1099511627776 2199023255552");
  EXPECT_EQ(Narrow("%jd", intmax_t{-kWide}), "-1099511627781");
  EXPECT_EQ(Narrow("%td", ptrdiff_t{kWide}), "1099511627781");
  EXPECT_EQ(Wide(L"%lld %zu %jd %td", kWide, size_t{1} << 40, intmax_t{-kWide}, ptrdiff_t{kWide}),
            L"1099511627781 1099511627776 -1099511627781 1099511627781");
  // Windows' long double is a double: %Lf and %lf take one.
  EXPECT_EQ(Narrow("%Lf %lf %.2Lg", 0.5, 0.25, 1.5), "0.500000 0.250000 1.5");
  EXPECT_EQ(Wide(L"%Lf", 0.5), L"0.500000");
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
  // The longest text allowed, and one more character.
  constexpr int kLimit = 1 << 24;
  EXPECT_EQ(Narrow("%*d", kLimit - 1, 1).size(), size_t{kLimit} - 1);
  EXPECT_EQ(Narrow("%*d", kLimit, 1), "<error>");
  EXPECT_EQ(Wide(L"%*d", kLimit - 1, 1).size(), size_t{kLimit} - 1);
  // An empty text is a result, not a failure.
  EXPECT_EQ(Wide(L"%s", L""), L"");
  EXPECT_EQ(Narrow("%s", ""), "");
}
