#include "driver/foundation/zorstring.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "driver/foundation/zorstringascii.h"

using namespace zor::foundation;

namespace {

// A string as "text/size/allocated".
std::wstring Shown(const CZORString& text) {
  return text.CStr() + (L"/" + std::to_wstring(text.Size())) + L"/" +
         std::to_wstring(text.Allocated());
}

}  // namespace

TEST(Table1D, SetSizeAllocatesExactlyAndKeepsOnRequest) {
  CTable1D<wchar_t> table(3);
  EXPECT_EQ(std::pair(table.Size(), table.Allocated()), std::pair(int64_t{3}, int64_t{3}));
  table[0] = L'a';
  table[2] = L'c';
  table.SetSize(5, true);
  EXPECT_EQ(table.Allocated(), 5);
  EXPECT_EQ(table[0], L'a');
  EXPECT_EQ(table[2], L'c');
  CTable1D<wchar_t> moved(1);
  moved = std::move(table);  // takes the elements over and leaves its own behind
  EXPECT_EQ(moved[2], L'c');
  table = std::move(moved);
  table.SetSize(0, true);
  EXPECT_EQ(std::tuple(table.Data(), table.Size(), table.Allocated()),
            std::tuple(static_cast<wchar_t*>(nullptr), int64_t{0}, int64_t{0}));
  EXPECT_EQ(CTable1D<wchar_t>(0).Data(), nullptr);
}

TEST(Table1D, TableOfStringsConstructsAssignsAndReserves) {
  CTable1D<CZORString> table;
  table.Reserve(4);
  EXPECT_EQ(table.Size(), 0);
  EXPECT_EQ(table.Allocated(), 4);
  table.Add(CZORString(L"one"));
  table.Add(CZORString(L"two"));
  table.Add(table[0]);  // an element of the table itself survives the growth
  table.Add(table[1]);
  table.Add(table[0]);
  std::wstring texts;
  for (int64_t i = 0; i < table.Size(); ++i) texts += table[i].CStr() + std::wstring(L",");
  EXPECT_EQ(texts, L"one,two,one,two,one,");
  table.SetSize(1, true);
  EXPECT_STREQ(table[0].CStr(), L"one");
}

TEST(Table1DDeathTest, SizePastAddressableMemoryIsFatal) {
  CTable1D<wchar_t> table;
  EXPECT_EXIT(table.SetSize(INT64_MAX / 2, false), testing::ExitedWithCode(1),
              "Not enough heap memory");
  CZORString wide;
  EXPECT_EXIT(wide.Resize(INT64_MAX, L'x'), testing::ExitedWithCode(1), "Not enough heap memory");
  CZORStringAscii narrow;
  EXPECT_EXIT(narrow.Resize(INT64_MAX, 'x'), testing::ExitedWithCode(1), "Not enough heap memory");
}

TEST(ZorString, SizeAndCapacityRules) {
  CZORString empty;
  EXPECT_EQ(Shown(empty), L"/1/32");
  empty.Append(CZORString());
  EXPECT_EQ(Shown(empty), L"/1/32");

  const CZORString forty(std::wstring(40, L'x').c_str());
  EXPECT_EQ(Shown(CZORString(forty)), std::wstring(40, L'x') + L"/41/64");
  EXPECT_EQ(Shown(CZORString(static_cast<const wchar_t*>(nullptr))), L"/1/32");

  CZORString formatted;
  ASSERT_TRUE(formatted.Format(L"%0100d", 7));
  EXPECT_EQ(Shown(formatted), std::wstring(99, L'0') + L"7/101/128");
}

TEST(ZorString, JoiningKeepsOneTerminator) {
  CZORString text(L"ab");
  text.Append(L"cd");
  text.Append("é");
  text.Append(text);
  EXPECT_EQ(Shown(text), L"abcdéabcdé/11/32");
  EXPECT_EQ(Shown(CZORString(L"x") + CZORString(L"yz")), L"xyz/4/32");
  text.Assign(text.CStr() + 4);  // own text
  EXPECT_EQ(Shown(text), L"éabcdé/7/32");
}

TEST(ZorString, NarrowTextSizesToTheConvertedLength) {
  CZORString text("aé€");  // five bytes, three characters
  EXPECT_EQ(Shown(text), L"aé€/4/32");
  text.Append(L"!");
  EXPECT_STREQ(text.CStr(), L"aé€!");
  CZORString invalid("a\xff");
  EXPECT_EQ(Shown(invalid), L"/1/32");
  invalid.Assign(static_cast<const char*>(nullptr));
  EXPECT_EQ(Shown(invalid), L"/1/32");
}

TEST(ZorString, AppendPathInsertsOneSeparator) {
  const wchar_t* const kCases[][3] = {{L"D:", L"x", L"D:/x"},
                                      {L"D:/", L"x", L"D:/x"},
                                      {L"D", L"x", L"Dx"},
                                      {L"/tmp", L"/x", L"/tmp/x"}};
  for (const auto& [base, added, joined] : kCases) {
    CZORString text(base);
    EXPECT_TRUE(text.AppendPath(added)) << base;
    EXPECT_STREQ(text.CStr(), joined);
  }
}

TEST(ZorString, FailedFormatLeavesTheEmptyString) {
  CZORString text(L"old");
  EXPECT_FALSE(text.Format(L"%n", nullptr));
  EXPECT_EQ(Shown(text), L"/1/32");
  EXPECT_FALSE(text.Format(L"bad %"));
  EXPECT_STREQ(text.CStr(), L"");
  EXPECT_STREQ(CZORString::FormatZorString(L"%s=%ld", L"v", 5).CStr(), L"v=5");
}

TEST(ZorString, SubStringStaysInsideTheText) {
  const CZORString text(L"abcdef");
  std::wstring pieces;
  for (const auto& [start, count] :
       {std::pair{3, -1}, {1, 2}, {4, 100}, {6, -1}, {7, 1}, {-1, 2}, {0, -2}}) {
    pieces += text.SubString(start, count).CStr() + std::wstring(L"|");
  }
  EXPECT_EQ(pieces, L"def|bc|ef|||||");
}

// The pieces, then the room the table took: counted first, it is reserved once, exactly.
TEST(ZorString, SplitKeepsOrDropsEmptyPieces) {
  const auto joined = [](const CTable1D<CZORString>& pieces) {
    std::wstring out;
    for (int64_t i = 0; i < pieces.Size(); ++i) out += pieces[i].CStr() + std::wstring(L"|");
    return out + std::to_wstring(pieces.Allocated());
  };
  EXPECT_EQ(joined(CZORString(L"a,,b").Split(L",", false)), L"a||b|3");
  EXPECT_EQ(joined(CZORString(L"a,,b").Split(L",;", true)), L"a|b|2");
  EXPECT_EQ(joined(CZORString(L"a;b,").Split(L",;", false)), L"a|b||3");
}

TEST(ZorString, ResizeAndTrimRight) {
  CZORString text(L"ab");
  text.Resize(4, L'-');
  EXPECT_STREQ(text.CStr(), L"ab--");
  text.TrimRight(3);
  EXPECT_STREQ(text.CStr(), L"a");
  text.TrimRight(5);
  EXPECT_EQ(Shown(text), L"/1/32");
}

TEST(ZorStringAscii, NarrowOperations) {
  CZORStringAscii text;
  EXPECT_EQ(text.Size(), 1);
  EXPECT_EQ(text.Allocated(), 32);
  text.Assign("a-b-c");
  EXPECT_EQ(text.RemoveChar('-'), 2);
  EXPECT_STREQ(text.CStr(), "abc");
  EXPECT_EQ(text.Size(), 4);
  text.Resize(5, 'z');
  EXPECT_STREQ(text.CStr(), "abczz");
  text.Shrink(2);
  text.AppendText("!");
  text.Append(text);
  EXPECT_STREQ(text.CStr(), "abc!abc!");
  text.Assign(nullptr);
  EXPECT_STREQ(text.CStr(), "");
  const CZORStringAscii copy = CZORStringAscii::Format("%s %S %ld", "n", L"w", 3);
  EXPECT_STREQ(copy.CStr(), "n w 3");
  EXPECT_STREQ(CZORStringAscii::Format("%n", nullptr).CStr(), "");
}

// Text taken from the string's own buffer survives the growth it causes, in both twins.
TEST(ZorStringTwins, OwnTextAcrossGrowth) {
  CZORString wide(L"0123456789012345678901234567890");  // 31 characters: the next append grows
  wide.Append(wide.CStr() + 20);
  EXPECT_STREQ(wide.CStr(), L"012345678901234567890123456789001234567890");
  EXPECT_EQ(wide.Allocated(), 64);
  CZORStringAscii narrow;
  narrow.Assign("0123456789012345678901234567890");
  narrow.AppendText(narrow.CStr() + 20);
  EXPECT_STREQ(narrow.CStr(), "012345678901234567890123456789001234567890");
  EXPECT_EQ(narrow.Allocated(), 64);
  narrow.Assign(narrow.CStr() + 30);
  EXPECT_STREQ(narrow.CStr(), "001234567890");
  EXPECT_EQ(narrow.Length(), 12);
}
