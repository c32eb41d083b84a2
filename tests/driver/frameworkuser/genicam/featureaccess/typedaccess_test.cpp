// Typed feature access, feature control and inquiry on node kinds the own maps
// lack (booleans, registers), and the node utilities, on a map of the test's
// own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/frameworkuser/genicam/featureaccess/controlfeature.h"
#include "driver/frameworkuser/genicam/featureaccess/featureflags.h"
#include "driver/frameworkuser/genicam/featureaccess/inquirefeature.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"
#include "tests/driver/frameworkuser/genicam/featureaccess/proxymap.h"

namespace zor::genicam {
namespace {

TEST(TypedAccess, MissingNodesAndRefusedAccessNameTheFeature) {
  ProxyMap m;
  GenApi::CIntegerPtr integer;
  EXPECT_EQ(GetFeaturePtr(m.proxy, "Nope", FeatureAccess::kRead, integer, &m.ctx), kGenICamFailed);
  EXPECT_FALSE(integer.IsValid());
  EXPECT_EQ(m.Text(3), L"The device does not have a \"Nope\" feature.");
  EXPECT_EQ(m.TakeError(), "4422/1");
  for (FeatureAccess access : {FeatureAccess::kRead, FeatureAccess::kWrite}) {
    GetFeaturePtr(m.proxy, "Hidden", access, integer, &m.ctx);
    EXPECT_EQ(m.Text(2), L"Cannot access the camera's \"Hidden\" feature. It is not available.");
    m.Clear();
  }
  GetFeaturePtr(m.proxy, "Hidden", FeatureAccess::kImplemented, integer, &m.ctx);
  EXPECT_NE(m.Text(2).find(L"It is not implemented."), std::wstring::npos);
  m.Clear();
  GetFeaturePtr(m.proxy, "WriteOnly", FeatureAccess::kRead, integer, &m.ctx);
  EXPECT_EQ(m.Text(2), L"Cannot access the camera's \"WriteOnly\" feature. It cannot be read.");
  EXPECT_EQ(m.Text(1), L"Camera specific info: Error occurred on the TestVendor TestModel.");
  // Without a sink nothing is recorded, and the result is the same.
  m.Clear();
  EXPECT_EQ(GetFeaturePtr(m.proxy, "Nope", FeatureAccess::kRead, integer, nullptr), kGenICamFailed);
  EXPECT_EQ(m.Code(), 0);
}

TEST(TypedAccess, TheTypeIsCheckedBeforeTheAccessAndOnlyOneIsReported) {
  ProxyMap m;
  GenApi::CFloatPtr number;
  EXPECT_EQ(GetFeaturePtr(m.proxy, "Int", FeatureAccess::kNone, number, &m.ctx), 0);
  EXPECT_FALSE(number.IsValid());
  EXPECT_EQ(m.Code(), 0);
  EXPECT_EQ(GetFeaturePtr(m.proxy, "Int", FeatureAccess::kNone, number, &m.ctx, kTypeDouble),
            kGenICamFailed);
  EXPECT_EQ(m.Text(1), L"The feature \"Int\" requires a FeatureDataType of Q_TYPE_INT64.");
  EXPECT_EQ(m.Text(2), L"The FeatureValuePtr passed should be a pointer to a ZOR_INT64.");
  m.Clear();
  // Wrong type and not available: the type is what the caller hears.
  GetFeaturePtr(m.proxy, "Gone", FeatureAccess::kRead, number, &m.ctx, kTypeDouble);
  EXPECT_NE(m.Text(1).find(L"requires a FeatureDataType"), std::wstring::npos);
  GenICamProxy unattached(0, false);
  unattached.SetNodeMap(std::make_shared<GenApi::CNodeMapRef>("Device"), nullptr, "Device", false);
  m.Clear();
  EXPECT_EQ(GetFeaturePtr(unattached, "Int", FeatureAccess::kRead, number, &m.ctx), kGenICamFailed);
  EXPECT_EQ(m.Text(1), L"The camera's node map is not yet initialized.");
}

TEST(TypedAccess, CommandsByNameAreCheckedForWritingBeforeTheyRun) {
  ProxyMap m(false, std::string(kTestNodes) +
                        "<IntReg Name=\"StatusReg\"><Address>1280</Address><Length>4</Length>"
                        "<AccessMode>RO</AccessMode><pPort>Device</pPort></IntReg>"
                        "<Command Name=\"ReadOnly\"><pValue>StatusReg</pValue>"
                        "<CommandValue>1</CommandValue></Command>");
  m.proxy.ExecuteCommand("Nope", &m.ctx);
  EXPECT_EQ(m.Text(2), L"Camera specific info: Error occurred on the TestVendor TestModel.");
  EXPECT_EQ(m.Text(3), L"The device does not have a \"Nope\" feature.");
  EXPECT_EQ(m.TakeError(), "4422/1");
  m.proxy.ExecuteCommand("ReadOnly", &m.ctx);
  EXPECT_EQ(m.Text(2), L"Cannot access the camera's \"ReadOnly\" feature. It cannot be written.");
  EXPECT_EQ(m.TakeError(), "4422/5");
  EXPECT_EQ(m.port->writes, 0);
  m.proxy.ExecuteCommand("Never", &m.ctx);
  EXPECT_EQ(m.Code(), 0);
  EXPECT_EQ(m.port->Get32(768, false), 1u);
}

TEST(TypedAccess, BooleansAndRegistersByName) {
  ProxyMap m;
  int32_t on = 1;
  ControlFeature(m.proxy, nullptr, kOpValue, L"Flag", kTypeBoolean, Var(on), m.ctx);
  int64_t natural = -1;
  InquireFeature(m.proxy, nullptr, kOpValue, L"Flag", kTypeDefault, Var(natural), m.ctx);
  int32_t asBool = -1;
  InquireFeature(m.proxy, nullptr, kOpValue, L"Flag", kTypeBoolean, Var(asBool), m.ctx);
  EXPECT_EQ(std::make_tuple(static_cast<int32_t>(natural), asBool, m.Code()),
            std::make_tuple(1, 1, int64_t{0}));
  uint8_t bytes[4] = {1, 2, 3, 4};
  ControlFeature(m.proxy, nullptr, kOpValue, L"Bytes", kTypeUInt8 + 4, {bytes, 4}, m.ctx);
  EXPECT_EQ(m.Code(), 0);
  EXPECT_EQ(m.port->bytes[256 + 2], 3);
  uint8_t back[4] = {};
  InquireFeature(m.proxy, nullptr, kOpValue, L"Bytes", kTypeRegister, {back, 4}, m.ctx);
  EXPECT_EQ(std::memcmp(back, bytes, 4), 0);
  // A one-byte register is read into a one-byte variable.
  ProxyMap single(false,
                  "<Register Name=\"Byte\"><Address>1536</Address><Length>1</Length>"
                  "<AccessMode>RO</AccessMode><pPort>Device</pPort></Register>");
  single.port->bytes[1536] = 7;
  uint8_t only = 0;
  InquireFeature(single.proxy, nullptr, kOpValue, L"Byte", kTypeRegister, {&only, 1}, single.ctx);
  EXPECT_EQ(std::make_pair(single.Code(), only), std::make_pair(int64_t{0}, uint8_t{7}));
  int64_t length = 0;
  InquireFeature(m.proxy, nullptr, kFlagLength, L"Bytes", kTypeRegister, Var(length), m.ctx);
  EXPECT_EQ(std::make_pair(length, m.Code()), std::make_pair(int64_t{4}, int64_t{0}));
  int64_t asInteger = 0;
  ControlFeature(m.proxy, nullptr, kOpValue, L"Bytes", kTypeInt64, Var(asInteger), m.ctx);
  EXPECT_EQ(m.TakeError(), "4431/2");
  EXPECT_EQ(m.port->bytes[256], 1);
  // A register write needs bytes to take: none, or no variable, is refused and nothing written.
  uint8_t other[4] = {5, 6, 7, 8};
  for (const UserVariable variable : {UserVariable{other, 0}, UserVariable{nullptr, 4}}) {
    m.Clear();
    ControlFeature(m.proxy, nullptr, kOpValue, L"Bytes", kTypeRegister, variable, m.ctx);
    EXPECT_EQ(m.TakeError(), "4430/3");
    EXPECT_EQ(m.port->bytes[256], 1);
  }
}

TEST(TypedAccess, InquiriesThatWouldOverrunShortVariablesWriteNothing) {
  ProxyMap m;
  wchar_t text[16] = {};
  ControlFeature(m.proxy, nullptr, kOpValue, L"Text", kTypeString,
                 {const_cast<wchar_t*>(L"hello"), 24}, m.ctx);
  EXPECT_EQ(m.Code(), 0);
  // Ten bytes hold two wide characters here: too few for "hello".
  InquireFeature(m.proxy, nullptr, kOpValue, L"Text", kTypeString, {text, 10}, m.ctx);
  EXPECT_EQ(m.TakeError(), "4430/3");
  EXPECT_EQ(text[0], L'\0');
  m.Clear();
  InquireFeature(m.proxy, nullptr, kFlagDefault, L"Text", kTypeAnyText, {text, 16}, m.ctx);
  EXPECT_EQ(m.Code(), 0);
  EXPECT_STREQ(text, L"hel");
  // A register copy takes the caller's size; a register of another length
  // refuses it and nothing is written.
  uint8_t two[3] = {9, 9, 9};
  InquireFeature(m.proxy, nullptr, kOpValue, L"Bytes", kTypeRegister, {two, 2}, m.ctx);
  EXPECT_EQ(m.Code(), 4427);
  EXPECT_EQ(std::vector<uint8_t>(two, two + 3), std::vector<uint8_t>(3, 9));
}

TEST(TypedAccess, ControlsTakeEachVariableTypeAndLimitAndRefuseOtherOperationsAndShortVariables) {
  ProxyMap m(false, std::string(kTestNodes) +
                        "<Enumeration Name=\"Mode\"><EnumEntry Name=\"A\"><Value>0</Value>"
                        "</EnumEntry><pValue>Zero</pValue></Enumeration>");
  struct Row {
    const char* name;
    int64_t flag;
    const wchar_t* feature;
    int64_t type;
    double value;
    int64_t code;
    int64_t sub;
    double after;  // the feature read back; the start values are Gain 1.5, Int 5
    int64_t size = 8;
  };
  const Row rows[] = {
      {"int32 into a float", kOpValue, L"Gain", kTypeInt32, 3, 0, 0, 3},
      {"boolean into a float", kOpValue, L"Gain", kTypeBoolean, 1, 0, 0, 1},
      {"int16 into a float", kOpValue, L"Gain", kTypeInt16, 4, 0, 0, 4},
      {"uint8 into a float", kOpValue, L"Gain", kTypeUInt8, 9, 0, 0, 9},
      {"float into a float", kOpValue, L"Gain", kTypeFloat, 2.5, 0, 0, 2.5},
      {"int64 by default", kFlagDefault, L"Gain", kTypeInt64, 6, 0, 0, 6},
      {"a type a float does not take", kOpValue, L"Gain", kTypeCategory, 7, kControlFlagError, 3,
       1.5},
      {"float executed", kOpExecute, L"Gain", kTypeDouble, 8, kControlFlagError, 1, 1.5},
      {"float maximum", kOpMax, L"Gain", kTypeDefault, 0, 0, 0, 10},
      {"float minimum", kOpMin, L"Gain", kTypeDefault, 0, 0, 0, 0},
      {"int32 maximum", kOpMax, L"Int", kTypeInt32, 0, 0, 0, 10},
      {"int32 minimum", kOpMin, L"Int", kTypeInt32, 0, 0, 0, 0},
      {"boolean executed", kOpExecute, L"Flag", kTypeBoolean, 1, kControlFlagError, 1, 1.5},
      {"register executed", kOpExecute, L"Bytes", kTypeRegister, 1, kControlFlagError, 1, 1.5},
      {"enumeration executed", kOpExecute, L"Mode", kTypeEnumeration, 1, kControlFlagError, 3, 1.5},
      // Variables shorter than their type: refused, the feature left as it was.
      {"int64 in four bytes into an integer", kOpValue, L"Int", kTypeInt64, 6, kInquireFlagError, 3,
       5, 4},
      {"int64 in four bytes", kOpValue, L"Gain", kTypeInt64, 6, kInquireFlagError, 3, 1.5, 4},
      {"int32 in two bytes", kOpValue, L"Gain", kTypeInt32, 6, kInquireFlagError, 3, 1.5, 2},
      {"int16 in one byte", kOpValue, L"Gain", kTypeInt16, 6, kInquireFlagError, 3, 1.5, 1},
      {"uint8 in none", kOpValue, L"Gain", kTypeUInt8, 6, kInquireFlagError, 3, 1.5, 0},
      {"double in four bytes", kOpValue, L"Gain", kTypeDouble, 6, kInquireFlagError, 3, 1.5, 4},
      {"float in two bytes", kOpValue, L"Gain", kTypeFloat, 6, kInquireFlagError, 3, 1.5, 2},
  };
  for (const Row& r : rows) {
    double start = 1.5;
    int64_t five = 5;
    ControlFeature(m.proxy, nullptr, kOpValue, L"Gain", kTypeDouble, Var(start), m.ctx);
    ControlFeature(m.proxy, nullptr, kOpValue, L"Int", kTypeInt64, Var(five), m.ctx);
    uint8_t raw[8] = {};
    const auto put = [&raw](auto v) { std::memcpy(raw, &v, sizeof(v)); };
    if (r.type == kTypeInt16)
      put(static_cast<int16_t>(r.value));
    else if (r.type == kTypeUInt8)
      put(static_cast<uint8_t>(r.value));
    else if (r.type == kTypeFloat)
      put(static_cast<float>(r.value));
    else if (r.type == kTypeInt64 || r.type == kTypeDouble)
      put(static_cast<int64_t>(r.value));
    else
      put(static_cast<int32_t>(r.value));
    ControlFeature(m.proxy, nullptr, r.flag, r.feature, r.type, {raw, r.size}, m.ctx);
    EXPECT_EQ(m.Code(), r.code) << r.name;
    EXPECT_EQ(m.Sub(), r.sub) << r.name;
    m.Clear();
    double after = -1;
    const bool gain = r.feature != std::wstring_view(L"Int");
    InquireFeature(m.proxy, nullptr, kOpValue, gain ? L"Gain" : L"Int", kTypeDouble, Var(after),
                   m.ctx);
    EXPECT_EQ(after, r.after) << r.name;
  }
}

// Each answer of an enumeration asked for as text: its value, its entries, and their lengths
// (an entry's only by the length field: the length flag lies among the index bits).
TEST(TypedAccess, TextEnumerationAnswersEachForm) {
  ProxyMap m(false,
             "<Enumeration Name=\"Mode\"><EnumEntry Name=\"Slow\"><Value>1</Value></EnumEntry>"
             "<EnumEntry Name=\"Fast\"><Value>4</Value></EnumEntry><Value>1</Value></Enumeration>");
  const std::pair<int64_t, std::wstring> rows[] = {
      {kFlagDefault, L"Slow"},
      {kOpCount, L"2"},
      {kFlagEntryAtIndex | 1, L"Fast"},
      {kFlagEntryAtIndex | kFlagLengthField | 1, L"5"},
      {kFlagLength, L"5"},
      {kFlagLengthField, L"5"},
      {kFlagEntryAtIndex | 2, L"!4422/3"},
  };
  for (const auto& [flag, expected] : rows) {
    wchar_t answer[8] = {};
    EXPECT_EQ(
        InquireFeatureSpecial(m.proxy, flag, "Mode", kTypeTextEnumeration, Var(answer), m.ctx), 1)
        << flag;
    int64_t number = 0;
    std::memcpy(&number, answer, sizeof(number));
    const bool text = expected == L"Slow" || expected == L"Fast";
    const std::string error = m.TakeError();
    EXPECT_EQ(error != "0/0" ? L"!" + std::wstring(error.begin(), error.end())
              : text         ? std::wstring(answer)
                             : std::to_wstring(number),
              expected)
        << flag;
  }
  // The length of the value's text through the general inquiry too.
  int64_t length = 0;
  InquireFeature(m.proxy, nullptr, kOpValueText | kFlagLength, L"Mode", kTypeInt64, Var(length),
                 m.ctx);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(m.Code(), 0);
}

TEST(NodeUtilities, SizesPollingAndIntegersOfEachKind) {
  ProxyMap m;
  ControlFeature(m.proxy, nullptr, kOpValue, L"Text", kTypeString,
                 {const_cast<wchar_t*>(L"abc"), 16}, m.ctx);
  EXPECT_EQ(GetFeatureDataSize(m.proxy, "Text", true, &m.ctx), 4);
  EXPECT_EQ(GetFeatureDataSize(m.proxy, "Text", false, &m.ctx),
            4 * static_cast<int64_t>(sizeof(wchar_t)));
  EXPECT_EQ(GetFeatureDataSize(m.proxy, "Flag", false, &m.ctx), 4);
  EXPECT_EQ(GetFeatureDataSize(m.proxy, "Bytes", false, &m.ctx), 4);
  // A read-only value node lends its polling time without an error.
  int64_t time = 0;
  EXPECT_EQ(GetNodePollingTime(m.proxy, m.proxy.NodeMap()->_GetNode("Polled"), time, &m.ctx), 0);
  EXPECT_EQ(time, 250);
  EXPECT_EQ(m.Code(), 0);
  EXPECT_EQ(m.ReadInteger("Int"), "0:5");
  EXPECT_EQ(m.ReadInteger("Flag"), "0:0");
  EXPECT_EQ(m.ReadInteger("Gain"), std::to_string(kGenICamFailed) + ":99");
  EXPECT_EQ(m.TakeError(), "4427/3");
  GenApi::INode* category = m.proxy.NodeMap()->_GetNode("Second");
  // "Hidden" is not implemented and is not counted.
  EXPECT_EQ(GetCategoryFeatureCount(m.proxy, category), 3);
  m.Clear();
  GenApi::INode* at = category;
  GetCategoryFeatureAt(m.proxy, at, category, -1, &m.ctx);
  EXPECT_EQ(at, nullptr);
  EXPECT_EQ(m.TakeError(), "4427/4");
}

TEST(NodeUtilities, ACommandThatNeverCompletesEndsTheWaitWithAnError) {
  ProxyMap m(true);
  ControlFeature(m.proxy, nullptr, kOpExecute, L"Never", kTypeCommand, {}, m.ctx);
  EXPECT_EQ(m.TakeError(), "4423/2");
  ProxyMap quick(false);
  ControlFeature(quick.proxy, nullptr, kOpExecute, L"Never", kTypeCommand, {}, quick.ctx);
  EXPECT_EQ(quick.Code(), 0);
}

TEST(FeatureErrors, TrialsWithdrawOnlyWhatTheyRecorded) {
  ProxyMap m;
  m.ctx.SetError(4300, 7, 0, 0);
  int32_t value = 1;
  EXPECT_EQ(ControlFeatureSpecial(m.proxy, kFlagDefault, "Nope", kTypeInt32, Var(value), m.ctx),
            -1);
  EXPECT_EQ(m.Code(), 4300);
  EXPECT_EQ(InquireFeatureSpecial(m.proxy, kFlagDefault, "Nope", kTypeInt32, Var(value), m.ctx),
            -1);
  EXPECT_EQ(m.Code(), 4300);
  int32_t present = 5;
  InquireFeature(m.proxy, nullptr, kOpExists, L"Nope", kTypeInt32, Var(present), m.ctx);
  EXPECT_EQ(m.Code(), 4300);
  // A mismatch report replaces only the conversion error of its own inquiry.
  int64_t number = 0;
  InquireFeature(m.proxy, nullptr, kOpValue, L"Text", kTypeInt64, Var(number), m.ctx);
  InquireFeature(m.proxy, nullptr, kOpValue, L"Int", kTypeAnyText + 1, Var(number), m.ctx);
  EXPECT_EQ(m.TakeError(), "4300/7");
  // Every road the special cases leave to the general way answers -1 and keeps nothing recorded.
  ProxyMap t(false, std::string(kTestNodes) +
                        "<Enumeration Name=\"Mode\"><EnumEntry Name=\"A\"><Value>0</Value>"
                        "</EnumEntry><pValue>Zero</pValue></Enumeration>");
  struct Road {
    const char* name;
    bool control;
    int64_t flag;
    const char* feature;
    int64_t type;
  };
  const Road roads[] = {
      {"set int32 by another op", true, kOpValue, "Int", kTypeInt32},
      {"set int32 enum limit", true, kOpMax, "Mode", kTypeInt32Enumeration},
      {"set missing int32 enum", true, kFlagDefault, "Nope", kTypeInt32Enumeration},
      {"set text limit", true, kOpMin, "Text", kTypeAnyText},
      {"set missing text", true, kFlagDefault, "Nope", kTypeAnyText},
      {"set text enum limit", true, kOpMin, "Mode", kTypeTextEnumeration},
      {"set missing text enum", true, kFlagDefault, "Nope", kTypeTextEnumeration},
      {"set register text limit", true, kOpMax, "Bytes", kTypeRegisterText},
      {"set missing register text", true, kFlagDefault, "Nope", kTypeRegisterText},
      {"set other type", true, kFlagDefault, "Int", kTypeInt64},
      {"inquire int32 by another op", false, kOpValue, "Int", kTypeInt32},
      {"inquire missing int32 enum", false, kFlagDefault, "Nope", kTypeInt32Enumeration},
      {"inquire int32 enum by another op", false, kOpValue, "Mode", kTypeInt32Enumeration},
      {"inquire missing text enum", false, kFlagDefault, "Nope", kTypeTextEnumeration},
      {"inquire text enum by another op", false, kOpValue, "Mode", kTypeTextEnumeration},
      {"inquire missing text", false, kFlagDefault, "Nope", kTypeAnyText},
      {"inquire missing register text", false, kFlagDefault, "Nope", kTypeRegisterText},
      {"inquire other type", false, kFlagDefault, "Int", kTypeInt64},
  };
  for (const Road& r : roads) {
    int64_t unused = 0;
    const auto special = r.control ? ControlFeatureSpecial : InquireFeatureSpecial;
    EXPECT_EQ(special(t.proxy, r.flag, r.feature, r.type, Var(unused), t.ctx), -1) << r.name;
    EXPECT_EQ(t.Code(), 0) << r.name;
  }
}

}  // namespace
}  // namespace zor::genicam
