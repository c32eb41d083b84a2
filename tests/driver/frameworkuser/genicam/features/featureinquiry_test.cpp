// Inquiries by name through libZOR.so on each node kind of the digitizer's and
// the system's own maps, with the data types that fit and those that do not.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "tests/driver/frameworkuser/genicam/features/featurefixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kCount = 0x010000;
constexpr QINT64 kName = 0x020000;
constexpr QINT64 kDisplayName = 0x030000;
constexpr QINT64 kNaturalType = 0x040000;
constexpr QINT64 kToolTip = 0x050000;
constexpr QINT64 kAccessMode = 0x070000;
constexpr QINT64 kVisibility = 0x080000;
constexpr QINT64 kCachingMode = 0x090000;
constexpr QINT64 kStreamable = 0x0A0000;
constexpr QINT64 kRepresentation = 0x0C0000;
constexpr QINT64 kPollingTime = 0x0F0000;
constexpr QINT64 kUnit = 0x100000;
constexpr QINT64 kByteSize = 0x100000000;
constexpr QINT64 kNarrow = 0x1000000000000;
constexpr QINT64 kFeatures = QINT64{1} << 56;
constexpr QINT64 kEntries = QINT64{2} << 56;
constexpr QINT64 kSelectors = QINT64{3} << 56;
constexpr QINT64 kValidValues = QINT64{4} << 56;

using FeatureInquiry = FeatureFixture;

TEST_F(FeatureInquiry, IntegerValueLimitsAndPropertiesInEveryNumericType) {
  QdigControl(digitizer_, kGrabTimeout, 300);
  const std::wstring name = Dig("Q_GRAB_TIMEOUT");
  EXPECT_EQ(InquireInt(name), 300);
  EXPECT_EQ(InquireAs<int32_t>(name, Q_DEFAULT, Q_TYPE_INT32), 300);
  EXPECT_EQ(InquireAs<int16_t>(name, Q_FEATURE_VALUE, Q_TYPE_INT16), 300);
  EXPECT_EQ(InquireAs<uint8_t>(name, Q_FEATURE_VALUE, Q_TYPE_UINT8), 300 & 0xFF);
  EXPECT_EQ(InquireAs<QINT64>(name, Q_FEATURE_VALUE, Q_DEFAULT), 300);
  // RW, NoCache from its register, polled as a plain control may change it; Q_SIZE_X is RO.
  EXPECT_EQ(
      Answers(name, {Q_FEATURE_MIN, Q_FEATURE_MAX, Q_FEATURE_INCREMENT, kNaturalType, kAccessMode,
                     kCachingMode, kRepresentation, kPollingTime, kByteSize, kStreamable}),
      "-1 2147483647 1 " + std::to_string(Q_TYPE_INT64) + " 5 1 1 1000 8 0 ");
  EXPECT_EQ(Answers(Dig("Q_SIZE_X"), {kAccessMode, kPollingTime}), "4 -1 ");
  EXPECT_GE(InquireInt(name, kVisibility), 1);
  ExpectError(0, 0, "integer inquiries");
}

TEST_F(FeatureInquiry, FloatValueAndLimitsAsDoublesAndConverted) {
  const double level = 12.75;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_BRIGHTNESS_REF").c_str(), Q_TYPE_DOUBLE,
                     &level);
  const std::wstring name = Dig("Q_BRIGHTNESS_REF");
  // The board keeps whole levels.
  EXPECT_EQ(InquireAs<double>(name, Q_FEATURE_VALUE, Q_DEFAULT), 12.0);
  EXPECT_EQ(InquireAs<float>(name, Q_FEATURE_VALUE, Q_TYPE_FLOAT), 12.0f);
  EXPECT_EQ(InquireInt(name), 12);
  EXPECT_EQ(InquireAs<double>(name, Q_FEATURE_MIN, Q_DEFAULT, -1.0), 0.0);
  EXPECT_EQ(InquireAs<double>(name, Q_FEATURE_MAX, Q_TYPE_DOUBLE, -1.0), 255.0);
  EXPECT_EQ(InquireInt(name, kNaturalType), Q_TYPE_DOUBLE);
  ExpectError(0, 0, "float inquiries");
}

TEST_F(FeatureInquiry, EnumerationValueEntriesAndTexts) {
  const std::wstring name = Dig("Q_GRAB_MODE");
  EXPECT_EQ(InquireInt(name, kEntries | kCount), 3);
  EXPECT_EQ(InquireText(name, kEntries | kName | 1), L"Q_ASYNCHRONOUS");
  const QINT64 value = 2;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_INT64, &value);
  ExpectError(0, 0, "set by value");
  EXPECT_EQ(Answers(name, {Q_FEATURE_VALUE, kEntries | Q_FEATURE_VALUE | 2, kNaturalType}),
            "2 3 " + std::to_string(Q_TYPE_ENUMERATION) + " ");
  EXPECT_EQ(InquireText(name, Q_FEATURE_VALUE_AS_STRING), L"Q_ASYNCHRONOUS");
  EXPECT_EQ(InquireAs<int32_t>(name, Q_DEFAULT, 0x3040000000), 2);
  wchar_t text[32] = {};
  QdigInquireFeature(digitizer_, Q_DEFAULT, name.c_str(), 0x7040000000, text, 32);
  EXPECT_STREQ(text, L"Q_ASYNCHRONOUS");
  ExpectError(0, 0, "enumeration inquiries");
  // Past the last entry; an entry's name into an integer; entries of a feature that is no
  // enumeration.
  EXPECT_EQ(Answers(name, {kEntries | Q_FEATURE_VALUE | 3, kEntries | kName | 1}),
            "-12345!4422/3 -12345!4431/3 ");
  EXPECT_EQ(Answers(Dig("Q_GRAB_TIMEOUT"), {kEntries | kCount}), "-12345!4434/2 ");
  // An entry's name needs room for its terminator too: without it, it is cut and reported.
  const auto exact = static_cast<QINT64>(std::wcslen(L"Q_ASYNCHRONOUS"));
  EXPECT_EQ(InquireText(name, kEntries | kName | 1, exact + 1), L"Q_ASYNCHRONOUS");
  ExpectError(0, 0, "entry name with its terminator");
  InquireText(name, kEntries | kName | 1, exact);
  ExpectError(4430, 3, "entry name without room for its terminator");
}

TEST_F(FeatureInquiry, StringValueLengthsAndShortBuffers) {
  const std::wstring name = Dig("Q_FORMAT");
  const std::wstring format = InquireText(name, Q_FEATURE_VALUE);
  ExpectError(0, 0, "string value");
  ASSERT_FALSE(format.empty());
  // The register is never cached: its length answer says so with 16 more.
  const size_t length = format.size() + 1;
  EXPECT_EQ(Answers(name, {Q_FEATURE_VALUE + Q_STRING_SIZE, Q_FEATURE_VALUE | kByteSize,
                           Q_FEATURE_VALUE | kByteSize | kNarrow}),
            std::to_string(length + 16) + " " + std::to_string(length * sizeof(wchar_t)) + " " +
                std::to_string(length) + " ");
  // A buffer without room for the terminator gets nothing and an error.
  std::wstring shortText(format.size(), L'#');
  QdigInquireFeature(digitizer_, Q_FEATURE_VALUE, name.c_str(), Q_TYPE_STRING, shortText.data(),
                     static_cast<QINT64>(format.size()));
  ExpectError(4430, 3, "buffer one short");
  EXPECT_EQ(shortText, std::wstring(format.size(), L'#'));
  // The text of any value is cut to the buffer instead.
  wchar_t cut[4] = {L'#', L'#', L'#', L'#'};
  QdigInquireFeature(digitizer_, Q_DEFAULT, name.c_str(), 0x7000004000, cut, 4);
  ExpectError(0, 0, "any value as text");
  EXPECT_EQ(std::wstring(cut), format.substr(0, 3));
  // A string read as a number is a data-type mismatch with both texts.
  InquireInt(name);
  ExpectError(4422, 5, "string as integer");
  EXPECT_EQ(Detail(1), L"The feature \"Q_FORMAT\" requires a FeatureDataType of Q_TYPE_STRING.");
  EXPECT_EQ(Detail(2), L"The FeatureValuePtr passed should be a ZOR_TEXT_PTR.");
}

TEST_F(FeatureInquiry, NodeTextsAreCopiedOnlyWhenTheyFit) {
  const std::wstring name = Dig("Q_GRAB_TIMEOUT");
  EXPECT_EQ(InquireText(name, kName), L"Q_GRAB_TIMEOUT");
  EXPECT_FALSE(InquireText(name, kDisplayName).empty());
  EXPECT_FALSE(InquireText(name, kToolTip, 200).empty());
  EXPECT_EQ(Answers(name, {kName + Q_STRING_SIZE, kName | kByteSize, kName | kByteSize | kNarrow}),
            "15 " + std::to_string(15 * sizeof(wchar_t)) + " 15 ");
  // Q_DEFAULT gives an 8-byte variable: two wide characters, too few.
  EXPECT_EQ(InquireAs<QINT64>(name, kName, Q_DEFAULT), 0);
  ExpectError(4430, 3, "name into an integer");
  InquireText(name, kUnit);
  ExpectError(0, 0, "unit of an integer");
  InquireText(Dig("Q_FORMAT"), kUnit);
  ExpectError(4430, 2, "unit of a string");
}

TEST_F(FeatureInquiry, CommandsAndCategories) {
  const QINT64 done = InquireAs<QINT64>(Dig("Q_GRAB_ABORT"), Q_FEATURE_EXECUTE, Q_DEFAULT, -1);
  ExpectError(0, 0, "command done");
  EXPECT_EQ(static_cast<int32_t>(done), 1);
  EXPECT_EQ(InquireInt(Dig("Q_GRAB_ABORT"), kNaturalType), Q_TYPE_COMMAND);
  EXPECT_EQ(Answers(Dig("Q_GRAB_TIMEOUT"), {Q_FEATURE_EXECUTE}), "-12345!4430/4 ");
  // A category lists its features; the steps reach them by index.
  const QINT64 count = InquireInt(Dig("f_GrabControl"), kFeatures | kCount);
  EXPECT_GT(count, 1);
  EXPECT_FALSE(InquireText(Dig("f_GrabControl"), kFeatures | kName | 0).empty());
  EXPECT_EQ(InquireInt(Dig("f_GrabControl"), kNaturalType), Q_TYPE_CATEGORY);
  ExpectError(0, 0, "category");
  // An index past the list stops there, with no node used after it.
  InquireText(Dig("f_GrabControl"), kFeatures | kName | static_cast<QINT64>(count));
  ExpectError(4427, 4, "feature index past the end");
  // No selectors, no valid values of an integer, none past the end of the list, none of a string.
  EXPECT_EQ(Answers(Dig("Q_GRAB_TIMEOUT"), {kSelectors | kCount, kValidValues | kCount,
                                            kValidValues | Q_FEATURE_VALUE | 0}),
            "0 0 -12345!4422/3 ");
  EXPECT_EQ(Answers(Dig("Q_FORMAT"), {kValidValues | kCount}), "-12345!4434/3 ");
}

TEST_F(FeatureInquiry, ExistenceLeavesNoErrorBehind) {
  EXPECT_EQ(InquireInt(Dig("Q_GRAB_TIMEOUT"), Q_FEATURE_PRESENT) & 0xFFFFFFFF, 1);
  EXPECT_EQ(InquireAs<int32_t>(Dig("NoSuchFeature"), Q_FEATURE_PRESENT, Q_TYPE_INT32, 7), 0);
  ExpectError(0, 0, "missing feature");
}

TEST_F(FeatureInquiry, VariablesThatCannotTakeTheAnswerAreMismatches) {
  // An integer feature asked for as an enumeration's 32-bit value.
  InquireAs<int32_t>(Dig("Q_GRAB_TIMEOUT"), Q_FEATURE_VALUE, 0x3040000000);
  ExpectError(4422, 5, "integer as enumeration");
  EXPECT_EQ(Detail(1),
            L"The feature \"Q_GRAB_TIMEOUT\" requires a FeatureDataType of Q_TYPE_INT64.");
  EXPECT_EQ(Detail(2), L"The FeatureValuePtr passed should be a pointer to a ZOR_INT64.");
  InquireInt(Dig("NoSuchFeature"));
  ExpectError(4422, 1, "missing");
  EXPECT_EQ(Detail(3), L"The device does not have a \"NoSuchFeature\" feature.");
  EXPECT_EQ(Answers(Dig("Q_GRAB_TIMEOUT"), {0x123456}), "-12345!4430/1 ");
  InquireAs<QINT64>(Dig("Q_GRAB_TIMEOUT"), Q_FEATURE_VALUE, 0x6000000000);
  ExpectError(4422, 5, "unknown variable type");
}

TEST_F(FeatureInquiry, SystemFeaturesOfEachKind) {
  QINT64 number = -1;
  QsysInquireFeature(system_, Q_FEATURE_VALUE, Sys("Q_DIGITIZER_NUM").c_str(), Q_TYPE_INT64,
                     &number, 0);
  ExpectError(0, 0, "integer");
  EXPECT_GT(number, 0);
  wchar_t descriptor[64] = {};
  QsysInquireFeature(system_, Q_FEATURE_VALUE, Sys("Q_SYSTEM_DESCRIPTOR").c_str(), Q_TYPE_STRING,
                     descriptor, 64);
  ExpectError(0, 0, "string");
  wchar_t expected[64] = {};
  QsysInquire(system_, Q_SYSTEM_DESCRIPTOR, expected);
  EXPECT_STREQ(descriptor, expected);
  wchar_t type[64] = {};
  QsysInquireFeature(system_, Q_FEATURE_VALUE_AS_STRING, Sys("Q_SYSTEM_TYPE").c_str(),
                     Q_TYPE_STRING, type, 64);
  ExpectError(0, 0, "enumeration as text");
  EXPECT_GT(std::wcslen(type), 0u);
}

}  // namespace
}  // namespace zor::board
