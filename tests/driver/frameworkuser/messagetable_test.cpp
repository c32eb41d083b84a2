// The driver's message table and its two exports.
#include "driver/frameworkuser/errortable/messagetable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/errortable/errorexports.h"

namespace zor::frame {
namespace {

TEST(MessageTableTest, CodesInUseHaveHeadlinesAndTheRestHasNoText) {
  int codesWithText = 0;
  int texts = 0;
  std::map<std::wstring, int32_t> details;  // no code shows another's texts
  for (int32_t code = kFirstErrorCode; code <= kLastErrorCode; ++code) {
    const bool inUse =
        (code <= 4373) || (code >= 4400 && code <= 4416) || (code >= 4421 && code <= 4436);
    const wchar_t* headline = MessageText(code, 0);
    EXPECT_EQ(headline != nullptr, inUse) << code;
    if (headline != nullptr) {
      ++codesWithText;
      EXPECT_EQ(std::wstring(headline).back(), L':') << code;
      std::wstring all;
      std::set<std::wstring> own;  // nor shows one text of its own twice
      for (int sub = 0; sub < 5; ++sub) {
        const wchar_t* text = MessageText(code, sub);
        all += std::wstring(text == nullptr ? L"" : text) + L'|';
        EXPECT_TRUE(text == nullptr || own.insert(text).second) << code << "/" << sub;
      }
      const auto [kept, fresh] = details.emplace(all, code);
      EXPECT_TRUE(fresh) << code << " shows the texts of " << kept->second;
    }
    for (int sub = 0; sub < 5; ++sub) texts += MessageText(code, sub) != nullptr;
    for (int sub = 5; sub <= 8; ++sub) EXPECT_EQ(MessageText(code, sub), nullptr);
  }
  for (const auto& [code, sub] :
       {std::pair{kFirstErrorCode - 1, 0}, {kLastErrorCode + 1, 0}, {4300, -1}}) {
    EXPECT_EQ(MessageText(code, sub), nullptr) << code << "/" << sub;
  }
  EXPECT_EQ(codesWithText, 107);
  EXPECT_EQ(texts, 465);
}

TEST(MessageTableTest, EveryCodeWithTextsHasExactlyOneNameAndEveryNameHasTexts) {
  std::map<int64_t, std::string> names;
#define ZOR_ADD_NAME(name, code)                                                            \
  EXPECT_TRUE(names.emplace(code, #name).second)                                            \
      << #name << " shares " << code << " with another name";                               \
  EXPECT_NE(MessageText(code, 0), nullptr) << #name << " (" << code << ") has no headline"; \
  EXPECT_NE(MessageText(code, 1), nullptr) << #name << " (" << code << ") has no detail";
  ZOR_ERROR_CODES(ZOR_ADD_NAME)
#undef ZOR_ADD_NAME
  for (int32_t code = kFirstErrorCode; code <= kLastErrorCode; ++code) {
    if (MessageText(code, 0) != nullptr) {
      EXPECT_TRUE(names.contains(code)) << code << " has no name";
    }
  }
}

TEST(MessageTableTest, TextsThatOtherPartsRecord) {
  const struct {
    int32_t code, sub;
    const wchar_t* text;
  } rows[] = {
      {4300, 0, L"Invalid parameter error:"},
      {4300, 1, L"Too many systems have already been allocated."},
      {4305, 3, L"Shutdown and power-off the computer to complete the operation."},
      {4334, 3, L"Watchdog thread creation failed."},
      {4336, 2, L"DeviceIoControl failed."},
      {4339, 1, L"Invalid UART instance."},
      {4344, 0, L"Grab Continuous error:"},
      {4345, 0, L"Grab Continuous Error:"},
      {4348, 0, L"QdigProcess()Grab Monitor thread:"},
      {4351, 3, L"Firmware Details: "},
      {4371, 3, L"Cannot allocate an onboard named buffer"},
      {4402, 4,
       L"Firmware has been updated. Shutdown and power-off your computer to complete the "
       L"operation."},
      {4427, 4, L"Element could not be found."},
      {4436, 3, L"There are no features to publish."},
  };
  for (const auto& row : rows) {
    const wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorMessage(row.code, row.sub, &text), 0) << row.code << "/" << row.sub;
    EXPECT_STREQ(text, row.text);
  }
}

TEST(MessageTableTest, GetErrorMessageResults) {
  const wchar_t* text = L"unchanged";
  for (int32_t sub : {5, 6, 7}) EXPECT_EQ(GetErrorMessage(4320, sub, &text), -2);
  EXPECT_EQ(GetErrorMessage(4374, 0, &text), -2);
  EXPECT_EQ(GetErrorMessage(4336, 3, &text), -2);
  for (int32_t code = 4446; code <= 4499; ++code) EXPECT_EQ(GetErrorMessage(code, 0, &text), -2);
  EXPECT_EQ(GetErrorMessage(4299, 0, &text), -1);
  EXPECT_EQ(GetErrorMessage(4500, 0, &text), -1);
  EXPECT_EQ(GetErrorMessage(4300, 8, &text), -1);
  EXPECT_EQ(GetErrorMessage(4300, -1, &text), -1);
  EXPECT_STREQ(text, L"unchanged");
  // A text cannot be handed to nowhere.
  EXPECT_EQ(GetErrorMessage(4300, 0, nullptr), -1);
}

// Each range whole; past them only the sub-code count is answered.
TEST(MessageTableTest, GetErrorRangeResults) {
  const struct {
    int32_t index, result;
    uint32_t first, last;
    const wchar_t* name;
  } rows[] = {
      {0, 0, 4300, 4420, L"Driver general"},
      {1, 0, 4421, 4445, L"Driver GenICam"},
      {2, 0, 4446, 4499, L"Driver Specific"},
      {3, -1, 1, 2, L"none"},
      {-1, -1, 1, 2, L"none"},
  };
  for (const auto& row : rows) {
    uint32_t first = 1, last = 2, subs = 0;
    const wchar_t* name = L"none";
    EXPECT_EQ(GetErrorRange(row.index, &first, &last, &subs, &name), row.result) << row.index;
    EXPECT_EQ((std::tuple{first, last, subs, std::wstring(name)}),
              (std::tuple{row.first, row.last, 8u, std::wstring(row.name)}))
        << row.index;
  }
  uint32_t last = 0;
  EXPECT_EQ(GetErrorRange(2, nullptr, &last, nullptr, nullptr), 0);
  EXPECT_EQ(last, 4499u);
}

}  // namespace
}  // namespace zor::frame
