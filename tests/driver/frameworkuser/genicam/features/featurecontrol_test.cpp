// Feature control by name through libZOR.so: values of every numeric type,
// texts, limits, commands and change hooks, the module that routes a name,
// and the errors of what does not fit.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/driver/frameworkuser/genicam/features/featurefixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kGrabMode = 4016;

using FeatureControl = FeatureFixture;

TEST_F(FeatureControl, IntegerFromEveryNumericVariable) {
  const std::wstring name = Dig("Q_GRAB_TIMEOUT");
  const int32_t i32 = 700;
  QdigControlFeature(digitizer_, Q_DEFAULT, name.c_str(), Q_TYPE_INT32, &i32);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 700);
  const int16_t i16 = -1;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_INT16, &i16);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), -1);
  const uint8_t u8 = 200;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_UINT8, &u8);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 200);
  const double d = 42.9;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_DOUBLE, &d);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 42);
  const float f = 43.5f;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_FLOAT, &f);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 43);
  const QINT64 natural = 44;
  QdigControlFeature(digitizer_, 2, name.c_str(), Q_DEFAULT, &natural);
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 44);
  ExpectError(0, 0, "numeric writes");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, name.c_str(), Q_TYPE_STRING, L"45");
  ExpectError(0, 0, "from text");
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 45);
}

TEST_F(FeatureControl, LimitsOfIntegersAndFloats) {
  const std::wstring timeout = Dig("Q_GRAB_TIMEOUT");
  QINT64 unused = 0;
  QdigControlFeature(digitizer_, Q_FEATURE_MAX, timeout.c_str(), Q_DEFAULT, &unused);
  ExpectError(0, 0, "maximum");
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 2147483647);
  const int32_t i32 = 0;
  QdigControlFeature(digitizer_, Q_FEATURE_MIN, timeout.c_str(), Q_TYPE_INT32, &i32);
  ExpectError(0, 0, "minimum through the 32-bit case");
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), -1);
  QdigControlFeature(digitizer_, Q_FEATURE_MAX, timeout.c_str(), Q_TYPE_DOUBLE, &unused);
  ExpectError(4431, 3, "maximum with a double variable");
  QdigControlFeature(digitizer_, Q_FEATURE_MAX, Dig("Q_BRIGHTNESS_REF").c_str(), Q_DEFAULT,
                     &unused);
  ExpectError(0, 0, "float maximum");
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6657), 255.0);
  QdigControlFeature(digitizer_, Q_FEATURE_MAX, Dig("Q_FORMAT").c_str(), Q_DEFAULT, &unused);
  ExpectError(4431, 2, "maximum of a string");
}

TEST_F(FeatureControl, EnumerationsByValueByNameAndByEntryText) {
  const std::wstring name = Dig("Q_GRAB_MODE");
  const QINT64 value = 3;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_INT64, &value);
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 3);
  const int32_t i32 = 1;
  QdigControlFeature(digitizer_, Q_DEFAULT, name.c_str(), 0x3040000000, &i32);
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 1);
  QdigControlFeature(digitizer_, Q_DEFAULT, name.c_str(), 0x7040000000, L"Q_ASYNCHRONOUS");
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 2);
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, name.c_str(), Q_TYPE_ENUMERATION,
                     L"Q_SYNCHRONOUS");
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 1);
  ExpectError(0, 0, "enumeration writes");
  QdigControlFeature(digitizer_, Q_DEFAULT, name.c_str(), 0x7040000000, L"Q_NONE");
  ExpectError(4422, 1, "unknown entry");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, name.c_str(), Q_TYPE_ENUMERATION,
                     L"Q_NONE");
  ExpectError(4425, 5, "unknown entry as text");
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 1);
  QdigControlFeature(digitizer_, Q_FEATURE_MIN, name.c_str(), Q_DEFAULT, &value);
  ExpectError(4431, 2, "minimum of an enumeration");
}

TEST_F(FeatureControl, CommandsExecuteWithTheirOwnTypeOnly) {
  QdigControlFeature(digitizer_, 2, Dig("Q_GRAB_ABORT").c_str(), Q_TYPE_COMMAND, nullptr);
  ExpectError(0, 0, "execute by flag 2");
  QdigControlFeature(digitizer_, Q_FEATURE_EXECUTE, Dig("Q_GRAB_ABORT").c_str(), Q_DEFAULT,
                     nullptr);
  ExpectError(0, 0, "execute");
  const QINT64 value = 1;
  QdigControlFeature(digitizer_, Q_FEATURE_EXECUTE, Dig("Q_GRAB_ABORT").c_str(), Q_TYPE_INT64,
                     &value);
  ExpectError(4431, 3, "command with an integer variable");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_GRAB_ABORT").c_str(), Q_TYPE_COMMAND,
                     nullptr);
  ExpectError(4431, 1, "command set as a value");
  QdigControlFeature(digitizer_, Q_FEATURE_EXECUTE, Dig("Q_GRAB_TIMEOUT").c_str(), Q_TYPE_INT64,
                     &value);
  ExpectError(4431, 1, "execute an integer");
}

TEST_F(FeatureControl, RefusedWritesAndWrongTypes) {
  const QINT64 value = 5;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_SIZE_X").c_str(), Q_TYPE_INT64, &value);
  ExpectError(4425, 5, "read-only feature");
  EXPECT_EQ(Detail(1), L"A GenICam exception occurred.");
  EXPECT_EQ(Detail(3), L"GenICam exception occurred accessing \"Q_SIZE_X\" feature.");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_FORMAT").c_str(), Q_TYPE_INT64, &value);
  ExpectError(4434, 1, "string with an integer");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("f_GrabControl").c_str(), Q_TYPE_INT64,
                     &value);
  ExpectError(4434, 1, "a category");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_GRAB_TIMEOUT").c_str(), 0x6000000000,
                     &value);
  ExpectError(4431, 3, "unknown variable type");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, Dig("Q_GRAB_TIMEOUT").c_str(),
                     Q_TYPE_INT64, &value);
  ExpectError(4431, 3, "text with an integer variable");
  // The special trial withdraws its own report: one error, the general one.
  const int32_t i32 = 1;
  QdigControlFeature(digitizer_, Q_DEFAULT, Dig("NoSuchFeature").c_str(), Q_TYPE_INT32, &i32);
  ExpectError(4422, 1, "missing feature");
  EXPECT_NE(Detail(3).find(L"\"NoSuchFeature\""), std::wstring::npos);
}

TEST_F(FeatureControl, ChangeHookStateIsSetAndReadInEveryForm) {
  const std::wstring name = Dig("Q_GRAB_TIMEOUT");
  const QINT64 enable = Q_ENABLE;
  QdigControlFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, name.c_str(), Q_TYPE_INT64, &enable);
  ExpectError(0, 0, "enable");
  EXPECT_EQ(InquireInt(name, Q_FEATURE_CHANGE_HOOK), Q_ENABLE);
  QINT64 natural = 0;
  QdigInquireFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, name.c_str(), Q_DEFAULT, &natural, 0);
  EXPECT_EQ(natural, Q_ENABLE);
  int32_t state = -1;
  QdigInquireFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, name.c_str(), Q_TYPE_BOOLEAN, &state, 0);
  EXPECT_EQ(state, 1);
  const QINT64 byDefault = Q_DEFAULT;
  QdigControlFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, name.c_str(), Q_TYPE_INT64, &byDefault);
  EXPECT_EQ(InquireInt(name, Q_FEATURE_CHANGE_HOOK), Q_DISABLE);
  QdigInquireFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, name.c_str(), Q_TYPE_BOOLEAN, &state, 0);
  EXPECT_EQ(state, 0);
  const QINT64 five = 5;
  QdigControlFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, name.c_str(), Q_TYPE_INT64, &five);
  ExpectError(4425, 2, "invalid hook value");
  QdigControlFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, Dig("NoSuchFeature").c_str(), Q_TYPE_INT64,
                     &enable);
  ExpectError(4422, 1, "hook of a missing feature");
  // The special 32-bit enumeration case leaves the hook operation alone.
  const int32_t on = Q_ENABLE;
  QdigControlFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, Dig("Q_GRAB_MODE").c_str(), 0x3040000000,
                     &on);
  ExpectError(4431, 3, "hook through the enumeration case");
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 1);
}

TEST_F(FeatureControl, ModuleRouting) {
  const QINT64 value = 321;
  // Three pieces: the third is ignored.
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, L"QdigControl:Q_GRAB_TIMEOUT:extra", Q_TYPE_INT64,
                     &value);
  ExpectError(0, 0, "three pieces");
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 321);
  EXPECT_EQ(InquireInt(L"::QdigControl::Q_GRAB_TIMEOUT"), 321);  // empty pieces are dropped
  // No module, an unknown module or nothing at all reach no map: the caller
  // hears of it instead of an untouched variable.
  for (const wchar_t* name : {L"Q_GRAB_TIMEOUT", L"QfooControl:Q_GRAB_TIMEOUT", L"", L"::",
                              L"QdigControl:NoSuchFeature"}) {
    QINT64 answer = -5;
    QdigInquireFeature(digitizer_, Q_FEATURE_VALUE, name, Q_TYPE_INT64, &answer, 0);
    ExpectError(4422, 1, "name " + std::string(name, name + std::wcslen(name)));
    EXPECT_EQ(answer, -5);
  }
  // A digitizer feature is not one of the system's.
  QINT64 answer = -5;
  QsysInquireFeature(system_, Q_FEATURE_VALUE, Dig("Q_GRAB_TIMEOUT").c_str(), Q_TYPE_INT64, &answer,
                     0);
  ExpectError(4422, 1, "digitizer module through the system");
  // Two digitizers each reach their own map.
  const QID second = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(second, 0);
  QdigControl(second, kGrabTimeout, 999);
  EXPECT_EQ(InquireInt(Dig("Q_GRAB_TIMEOUT")), 321);
  QINT64 other = 0;
  QdigInquireFeature(second, Q_FEATURE_VALUE, Dig("Q_GRAB_TIMEOUT").c_str(), Q_TYPE_INT64, &other,
                     0);
  EXPECT_EQ(other, 999);
  QdigFree(second);
}

}  // namespace
}  // namespace zor::board
