#include "driver/foundation/asciitext.h"

#include <gtest/gtest.h>

using namespace zor::foundation;

TEST(AsciiText, CaseChangesTouchAsciiLettersOnly) {
  EXPECT_EQ(ToLowerAscii("Xc2V_Pro[9]@Z"), "xc2v_pro[9]@z");
  EXPECT_EQ(ToUpperAscii("idcode `{|}~"), "IDCODE `{|}~");
  EXPECT_EQ(ToUpperAscii("az@[AZ"), "AZ@[AZ");  // both ends of each alphabet
  EXPECT_EQ(ToLowerAscii("AZ`{az"), "az`{az");
  const std::string utf8 = "\xC3\x84rger";  // "Ärger": the UTF-8 bytes stay as they are
  EXPECT_EQ(ToLowerAscii(utf8), "\xC3\x84rger");
  EXPECT_EQ(ToUpperAscii(utf8), "\xC3\x84RGER");
}

TEST(AsciiText, EqualsIgnoreCaseComparesWholeTexts) {
  EXPECT_TRUE(EqualsIgnoreCase("Recommended", "RECOMMENDED"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
  EXPECT_FALSE(EqualsIgnoreCase("OPTION", "OPTIONAL"));
  EXPECT_FALSE(EqualsIgnoreCase("[", "{"));  // 0x5B and 0x7B differ by the case bit only
  EXPECT_FALSE(EqualsIgnoreCase("\xC3\xA4", "\xC3\x84"));
}
