// Feature control by name through libZOR.so: values of every numeric type,
// texts, limits, commands and change hooks, the module that routes a name,
// and the errors of what does not fit.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "tests/driver/frameworkuser/genicam/features/featurefixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kGrabMode = 4016;
constexpr QINT64 kBrightnessReference = 6657;

using FeatureControl = FeatureFixture;

// A write of a feature and the value the digitizer then reports.
struct WriteRow {
  QINT64 flag;
  QINT64 type;
  const void* value;
  QINT64 expected;
};

TEST_F(FeatureControl, IntegerFromEveryNumericVariable) {
  const int32_t i32 = 700;
  const int16_t i16 = -1;
  const uint8_t u8 = 200;
  const double d = 42.9;
  const float f = 43.5f;
  const QINT64 natural = 44;
  const WriteRow rows[] = {{Q_DEFAULT, Q_TYPE_INT32, &i32, 700},
                           {Q_FEATURE_VALUE, Q_TYPE_INT16, &i16, -1},
                           {Q_FEATURE_VALUE, Q_TYPE_UINT8, &u8, 200},
                           {Q_FEATURE_VALUE, Q_TYPE_DOUBLE, &d, 42},
                           {Q_FEATURE_VALUE, Q_TYPE_FLOAT, &f, 43},
                           {2, Q_DEFAULT, &natural, 44},
                           {Q_FEATURE_VALUE_AS_STRING, Q_TYPE_STRING, L"45", 45}};
  for (const auto& row : rows) {
    QdigControlFeature(digitizer_, row.flag, Dig("Q_GRAB_TIMEOUT").c_str(), row.type, row.value);
    ExpectError(0, 0, "write of " + std::to_string(row.expected));
    EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), row.expected);
  }
}

TEST_F(FeatureControl, LimitsOfIntegersAndFloats) {
  const std::wstring timeout = Dig("Q_GRAB_TIMEOUT");
  const QINT64 unused = 0;
  const int32_t i32 = 0;
  ControlEach({{"maximum", timeout, Q_FEATURE_MAX, Q_DEFAULT, &unused, 0, 0}});
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 2147483647);
  ControlEach({
      {"minimum through the 32-bit case", timeout, Q_FEATURE_MIN, Q_TYPE_INT32, &i32, 0, 0},
      {"maximum with a double variable", timeout, Q_FEATURE_MAX, Q_TYPE_DOUBLE, &unused, 4431, 3},
      {"float maximum", Dig("Q_BRIGHTNESS_REF"), Q_FEATURE_MAX, Q_DEFAULT, &unused, 0, 0},
      {"maximum of a string", Dig("Q_FORMAT"), Q_FEATURE_MAX, Q_DEFAULT, &unused, 4431, 2},
  });
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), -1);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, kBrightnessReference), 255.0);
}

TEST_F(FeatureControl, EnumerationsByValueByNameAndByEntryText) {
  const std::wstring name = Dig("Q_GRAB_MODE");
  const QINT64 value = 3;
  const int32_t i32 = 1;
  const WriteRow rows[] = {{Q_FEATURE_VALUE, Q_TYPE_INT64, &value, 3},
                           {Q_DEFAULT, 0x3040000000, &i32, 1},
                           {Q_DEFAULT, 0x7040000000, L"Q_ASYNCHRONOUS", 2},
                           {Q_FEATURE_VALUE_AS_STRING, Q_TYPE_ENUMERATION, L"Q_SYNCHRONOUS", 1}};
  for (const auto& row : rows) {
    QdigControlFeature(digitizer_, row.flag, name.c_str(), row.type, row.value);
    ExpectError(0, 0, "write of " + std::to_string(row.expected));
    EXPECT_EQ(Inquire(digitizer_, kGrabMode), row.expected);
  }
  ControlEach({
      {"unknown entry", name, Q_DEFAULT, 0x7040000000, L"Q_NONE", 4422, 1},
      {"unknown entry as text", name, Q_FEATURE_VALUE_AS_STRING, Q_TYPE_ENUMERATION, L"Q_NONE",
       4425, 5},
      {"minimum of an enumeration", name, Q_FEATURE_MIN, Q_DEFAULT, &value, 4431, 2},
  });
  EXPECT_EQ(Inquire(digitizer_, kGrabMode), 1);
}

TEST_F(FeatureControl, CommandsExecuteWithTheirOwnTypeOnly) {
  const std::wstring abort = Dig("Q_GRAB_ABORT");
  const QINT64 value = 1;
  ControlEach({
      {"execute by flag 2", abort, 2, Q_TYPE_COMMAND, nullptr, 0, 0},
      {"execute", abort, Q_FEATURE_EXECUTE, Q_DEFAULT, nullptr, 0, 0},
      {"command with an integer variable", abort, Q_FEATURE_EXECUTE, Q_TYPE_INT64, &value, 4431, 3},
      {"command set as a value", abort, Q_FEATURE_VALUE, Q_TYPE_COMMAND, nullptr, 4431, 1},
      {"execute an integer", Dig("Q_GRAB_TIMEOUT"), Q_FEATURE_EXECUTE, Q_TYPE_INT64, &value, 4431,
       1},
  });
}

TEST_F(FeatureControl, RefusedWritesAndWrongTypes) {
  const QINT64 value = 5;
  ControlEach(
      {{"read-only feature", Dig("Q_SIZE_X"), Q_FEATURE_VALUE, Q_TYPE_INT64, &value, 4425, 5}});
  EXPECT_EQ(Detail(1), L"A GenICam exception occurred.");
  EXPECT_EQ(Detail(3), L"GenICam exception occurred accessing \"Q_SIZE_X\" feature.");
  const std::wstring timeout = Dig("Q_GRAB_TIMEOUT");
  // The special trial withdraws its own report: one error, the general one.
  const int32_t i32 = 1;
  ControlEach({
      {"string with an integer", Dig("Q_FORMAT"), Q_FEATURE_VALUE, Q_TYPE_INT64, &value, 4434, 1},
      {"a category", Dig("f_GrabControl"), Q_FEATURE_VALUE, Q_TYPE_INT64, &value, 4434, 1},
      {"unknown variable type", timeout, Q_FEATURE_VALUE, 0x6000000000, &value, 4431, 3},
      {"text with an integer variable", timeout, Q_FEATURE_VALUE_AS_STRING, Q_TYPE_INT64, &value,
       4431, 3},
      {"missing feature", Dig("NoSuchFeature"), Q_DEFAULT, Q_TYPE_INT32, &i32, 4422, 1},
  });
  EXPECT_NE(Detail(3).find(L"\"NoSuchFeature\""), std::wstring::npos);
}

TEST_F(FeatureControl, ChangeHookStateIsSetAndReadInEveryForm) {
  const std::wstring name = Dig("Q_GRAB_TIMEOUT");
  const QINT64 enable = Q_ENABLE;
  const QINT64 byDefault = Q_DEFAULT;
  // The hook state after each control: as an integer, in its natural type and as a boolean.
  for (const QINT64* state : {&enable, &byDefault}) {
    ControlEach({{"hook state", name, Q_FEATURE_CHANGE_HOOK, Q_TYPE_INT64, state, 0, 0}});
    const bool enabled = state == &enable;
    EXPECT_EQ(std::make_tuple(InquireInt(name, Q_FEATURE_CHANGE_HOOK),
                              InquireAs<QINT64>(name, Q_FEATURE_CHANGE_HOOK, Q_DEFAULT),
                              InquireAs<int32_t>(name, Q_FEATURE_CHANGE_HOOK, Q_TYPE_BOOLEAN, -1)),
              enabled ? std::make_tuple(QINT64{Q_ENABLE}, QINT64{Q_ENABLE}, 1)
                      : std::make_tuple(QINT64{Q_DISABLE}, QINT64{Q_DISABLE}, 0));
  }
  const QINT64 five = 5;
  // The special 32-bit enumeration case leaves the hook operation alone.
  const int32_t on = Q_ENABLE;
  ControlEach({
      {"invalid hook value", name, Q_FEATURE_CHANGE_HOOK, Q_TYPE_INT64, &five, 4425, 2},
      {"hook of a missing feature", Dig("NoSuchFeature"), Q_FEATURE_CHANGE_HOOK, Q_TYPE_INT64,
       &enable, 4422, 1},
      {"hook through the enumeration case", Dig("Q_GRAB_MODE"), Q_FEATURE_CHANGE_HOOK, 0x3040000000,
       &on, 4431, 3},
  });
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
    EXPECT_EQ(InquireAs<QINT64>(name, Q_FEATURE_VALUE, Q_TYPE_INT64, -5), -5);
    ExpectError(4422, 1, "name " + std::string(name, name + std::wcslen(name)));
  }
  // A module's name alone names no feature of it.
  InquireAs<QINT64>(L"QdigControl", Q_FEATURE_VALUE, Q_TYPE_INT64);
  ExpectError(4422, 1, "module alone");
  EXPECT_EQ(Detail(3), L"The device does not have a \"QdigControl\" feature.");
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

// A system feature by name answers through a digitizer too.
TEST_F(FeatureControl, TheSystemsFeaturesAnswerThroughEitherObject) {
  EXPECT_EQ(InquireAs<QINT64>(Sys("Q_DIGITIZER_ALLOCATED_NUM"), Q_FEATURE_VALUE, Q_TYPE_INT64, -1),
            1);
  ExpectError(0, 0, "through the digitizer");
  QINT64 fromSystem = -1;
  QsysInquireFeature(system_, Q_FEATURE_VALUE, Sys("Q_DIGITIZER_ALLOCATED_NUM").c_str(),
                     Q_TYPE_INT64, &fromSystem, 0);
  ExpectError(0, 0, "through the system");
  EXPECT_EQ(fromSystem, 1);
}

}  // namespace
}  // namespace zor::board
