#include "driver/foundation/hextext.h"

#include <gtest/gtest.h>

using namespace zor::foundation;

TEST(HexText, DigitsOfEitherCaseAndNothingElse) {
  EXPECT_EQ(HexDigitValue('0'), 0);
  EXPECT_EQ(HexDigitValue('9'), 9);
  EXPECT_EQ(HexDigitValue('a'), 10);
  EXPECT_EQ(HexDigitValue('F'), 15);
  for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '-', '\0', static_cast<char>(0xC1)}) {
    EXPECT_EQ(HexDigitValue(c), -1) << static_cast<int>(c);
  }
  EXPECT_TRUE(IsHexText("0AafF"));  // both ends of each range of letters
  EXPECT_FALSE(IsHexText(""));
  EXPECT_FALSE(IsHexText("12 "));
}

TEST(HexText, WholeTextsUpToSixtyFourBits) {
  EXPECT_EQ(ParseHex("fFfe"), 0xFFFEu);
  EXPECT_EQ(ParseHex("0"), 0u);
  EXPECT_EQ(ParseHex("00000000000000000000001"), 1u);  // leading zeros cost no bits
  EXPECT_EQ(ParseHex("FFFFFFFFFFFFFFFF"), UINT64_MAX);
  EXPECT_EQ(ParseHex("10000000000000000"), std::nullopt);  // 65 bits: no silent wrap
  for (const char* text : {"", "0x10", "-1", "+1", " 1", "1 ", "12g"}) {
    EXPECT_EQ(ParseHex(text), std::nullopt) << '"' << text << '"';
  }
}
