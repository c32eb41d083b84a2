// The caller's variable: reading and storing by data type, and never past the
// size the command gave for it.
#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "tests/driver/frameworkuser/genicam/featureaccess/proxymap.h"

namespace zor::genicam {
namespace {

TEST(UserValue, ReadingSignExtendsNarrowIntegersAndTruncatesFractions) {
  ProxyMap m;
  const auto read = [&m](int64_t type, auto value) {
    return ReadUserValueAsInt64(type, Var(value), &m.ctx);
  };
  EXPECT_EQ(read(kTypeInt16, int16_t{-1}), -1);
  EXPECT_EQ(read(kTypeUInt8, uint8_t{0xFF}), 255);
  EXPECT_EQ(read(kTypeDouble, -2.7), -2);
  EXPECT_EQ(read(kTypeFloat, 3.9f), 3);
  EXPECT_EQ(read(kTypeBoolean, int32_t{-5}), -5);
  EXPECT_EQ(read(kTypeDefault, INT64_MIN), INT64_MIN);
  EXPECT_EQ(read(kTypeDouble, std::numeric_limits<double>::infinity()), INT64_MAX);
  EXPECT_EQ(m.Code(), 0);
  EXPECT_EQ(read(kTypeString, INT64_MIN), 0);
  EXPECT_EQ(m.TakeError(), "4431/3");
}

TEST(UserValue, StoringConvertsByTheVariablesType) {
  ProxyMap m;
  int32_t i32 = 0;
  WriteUserValueFromInt64(kTypeInt32, Var(i32), 0x100000001, &m.ctx);
  EXPECT_EQ(i32, 1);
  double d = 0;
  WriteUserValueFromUInt64(kTypeDouble, Var(d), UINT64_MAX, &m.ctx);
  EXPECT_GT(d, 0.0);
  EXPECT_DOUBLE_EQ(d, 18446744073709551616.0);
  int32_t b = 7;
  WriteUserValueFromDouble(kTypeBoolean, Var(b), 0.5, &m.ctx);
  EXPECT_EQ(b, 1);
  WriteUserValueFromDouble(kTypeBoolean, Var(b), -0.0, &m.ctx);
  EXPECT_EQ(b, 0);
  WriteUserValueFromDouble(kTypeBoolean, Var(b), std::nan(""), &m.ctx);
  EXPECT_EQ(b, 1);
  int16_t i16 = 0;
  WriteUserValueFromDouble(kTypeInt16, Var(i16), 65537.9, &m.ctx);
  EXPECT_EQ(i16, 1);
  float f = 0;
  WriteUserValueFromBool(kTypeFloat, Var(f), -3, &m.ctx);
  EXPECT_FLOAT_EQ(f, -3.0f);
  EXPECT_EQ(m.Code(), 0);
  int64_t untouched = 42;
  WriteUserValueFromInt64(kTypeDefault, Var(untouched), 5, &m.ctx);
  EXPECT_EQ(untouched, 42);
  EXPECT_EQ(m.TakeError(), "4431/3");
  EXPECT_TRUE(IsNumericUserValueType(kTypeBoolean));
  EXPECT_FALSE(IsNumericUserValueType(kTypeDefault));
}

TEST(UserValue, AVariableSmallerThanItsTypeIsNeitherReadNorWritten) {
  ProxyMap m;
  struct Guarded {
    int32_t value = 11;
    int32_t guard = 22;
  } g;
  // Only four bytes were given for a 64-bit answer.
  WriteUserValueFromInt64(kTypeInt64, {&g.value, 4}, -1, &m.ctx);
  EXPECT_EQ(g.value, 11);
  EXPECT_EQ(g.guard, 22);
  EXPECT_EQ(m.TakeError(), "4430/3");
  EXPECT_EQ(ReadUserValueAsInt64(kTypeDouble, {&g.value, 4}, &m.ctx), 0);
  EXPECT_EQ(m.Code(), kInquireFlagError);
  m.Clear();
  WriteUserValueFromInt64(kTypeInt64, {nullptr, 8}, 1, &m.ctx);
  EXPECT_EQ(m.Code(), kInquireFlagError);
  // Texts: the room counts whole wide characters; none at all takes nothing.
  wchar_t text[3] = {L'x', L'x', L'x'};
  CopyUserTextTruncated({text, 1}, L"abc");
  EXPECT_EQ(text[0], L'x');
  CopyUserTextTruncated({text, sizeof(wchar_t)}, L"abc");  // room for the terminator only
  EXPECT_EQ(std::wstring(text, 3), std::wstring(L"\0xx", 3));
  CopyUserTextTruncated({text, sizeof(text)}, L"abcdef");
  EXPECT_STREQ(text, L"ab");
  m.Clear();
  CopyUserText({text, sizeof(text)}, L"abc", &m.ctx);
  EXPECT_STREQ(text, L"ab");
  EXPECT_EQ(m.TakeError(), "4430/3");
  CopyUserText({text, sizeof(text)}, L"yz", &m.ctx);
  EXPECT_STREQ(text, L"yz");
}

}  // namespace
}  // namespace zor::genicam
