// Key/value pairs of the section: where values land, what counts as a bad pair.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "driver/board/dcf/dcfregisterparser.h"
#include "driver/board/dcf/dcfregistertable.h"
#include "tests/driver/board/dcf/dcftestfiles.h"

using namespace zor::board;
using namespace dcftest;

namespace {

constexpr size_t kBrightness = 336 + 0x0A;
constexpr size_t kHue = 336 + 0x0B;
constexpr size_t kContrast = 336 + 0x08;
constexpr size_t kGain = 4 * 13;

// Parses a normalised section text; true when the parser holds no error.
bool ParseText(const std::wstring& pairs, Block& block) {
  const std::wstring text = L"[REG_DIGIT]\n" + pairs + L"[EOF]\n";
  DcfRegisterParser parser(text.c_str(), block.data(), kDcfNameIsText);
  if (parser.errorSet != 0) {
    EXPECT_EQ(parser.code, 4312u);
    EXPECT_EQ(parser.subCode, 1u);
  }
  return parser.errorSet == 0;
}

TEST(DcfRegisterTable, LaysOutInfoWordsAndDecoderRegisters) {
  const auto table = DcfRegisterTable();
  ASSERT_EQ(table.size(), 167u);
  EXPECT_EQ(table[15].position, 60u);
  EXPECT_EQ(table[16].position, 68u);  // offset 64 belongs to no key
  EXPECT_EQ(table[82].position, 332u);
  EXPECT_STREQ(FindDcfRow(L"ADV7180_CORINGTHRES")->name, L"ADV7180_CORINGTHRES");
  EXPECT_EQ(FindDcfRow(L"ADV7180_CORINGTHRES")->position, 336u + 0xFC);
  EXPECT_EQ(FindDcfRow(L"INFO_Q_GRAB_EXPOSURE_3_TRIGGER_SOURCE")->position, 4u * 79);
  EXPECT_EQ(table[166].kind, kDcfKindEnd);
  EXPECT_EQ(FindDcfRow(L"LAST_REGISTER"), nullptr);
  // The decoder's sub-addresses, row by row from the first ADV7180_ key.
  constexpr uint8_t kSubAddresses[] = {
      0x00, 0x01, 0x03, 0x04, 0x07, 0x08, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
      0x12, 0x13, 0x14, 0x15, 0x17, 0x18, 0x19, 0x1D, 0x27, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
      0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3D, 0x41, 0x48,
      0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x50, 0x51, 0x58, 0x59, 0x8F, 0x99, 0x9A, 0x9B,
      0x9C, 0x9D, 0xB2, 0xC3, 0xC4, 0xDC, 0xDD, 0xDE, 0xDF, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5,
      0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xF3, 0xF4, 0xF8, 0xF9, 0xFB, 0xFC,
  };
  ASSERT_EQ(std::size(kSubAddresses), table.size() - kDcfInfoRowCount - 1);
  for (size_t i = 0; i < std::size(kSubAddresses); ++i) {
    const DcfRegisterRow& row = table[kDcfInfoRowCount + i];
    EXPECT_EQ(row.position, 336u + kSubAddresses[i]) << row.name;
  }
  // Every key finds its own row, and the places grow row by row: no name stands for two places,
  // no place for two names.
  for (size_t row = 0; row + 1 < table.size(); ++row) {
    EXPECT_EQ(FindDcfRow(table[row].name), &table[row]) << row;
  }
  for (size_t row = 1; row + 1 < table.size(); ++row) {
    EXPECT_GT(table[row].position, table[row - 1].position) << row;
  }
}

// The whole block after a good section: each value stored little-endian in its register's width
// and flagged, nothing else written; a caller's preset survives where the file is silent.
TEST(DcfPairs, StoreEachValueWithItsWidthAndFlagIt) {
  struct Stored {
    size_t offset;
    uint32_t value;
    size_t width;
  };
  const struct {
    const char* name;
    const wchar_t* pairs;
    std::vector<Stored> stored;
  } rows[] = {
      {"widths, an 8-bit register writes one byte",
       L"ADV7180_BRIGHTCTL 1F\nINFO_XSIZE 280\nADV7180_HUECTL ffffffff\n",
       {{kBrightness, 0x1F, 1}, {4, 0x280, 4}, {kHue, 0xFF, 1}}},
      // 18 characters are the longest value taken (a 19th is refused).
      {"prefixes, several pairs on a line, the longest value",
       L"INFO_GAIN 0x10 ADV7180_BRIGHTCTL 0X2a  \nINFO_YSIZE 0000000000000001E0\n",
       {{kGain, 0x10, 4}, {kBrightness, 0x2A, 1}, {8, 0x1E0, 4}}},
      {"unknown keys ignored, the first occurrence of an INFO_ key wins",
       L"INFO_NOT_A_KEY 5\nINFO_GAIN 7\nINFO_GAIN 9\nADV7180_HUECTL 3\n",
       {{kGain, 7, 4}, {kHue, 3, 1}}},
      {"saturation only for values that spell f",
       L"INFO_GAIN 1FFFFFFFF\n",
       {{kGain, 0xFFFFFFFF, 4}}},
      {"a section without pairs", L"", {}},
  };
  for (const auto& row : rows) {
    Block block = NewBlock();
    block[kContrast] = 0x55;
    Block expected = block;
    for (const Stored& s : row.stored) {
      for (size_t byte = 0; byte < s.width; ++byte) {
        expected[s.offset + byte] = static_cast<uint8_t>(s.value >> (8 * byte));
      }
      expected[kDcfFlagsOffset + s.offset] = 1;
    }
    EXPECT_TRUE(ParseText(row.pairs, block)) << row.name;
    EXPECT_EQ(block, expected) << row.name;
  }
}

// A bad pair fails the whole file instead of silently dropping the registers after it.
TEST(DcfPairs, BadPairsFailTheParseAndStoreNothingAfterThem) {
  struct Case {
    const wchar_t* bad;
    const char* why;
  };
  const Case cases[] = {
      {L"ADV7180_NOSUCH 1\n", "a key no row names"},
      {L"ADV7180_BRIGHTCTL 2\n", "a repeated register"},
      {L"ADV7180_CONTCTL 1234567890123456789\n", "a 19-character value"},
      {L"ADV7180_CONTCTL zz\n", "a value without digits"},
      {L"ADV7180_CONTCTL 1G\n", "trailing non-digits"},
      {L"ADV7180_CONTCTL 0x\n", "a bare prefix"},
      {L"ADV7180_CONTCTL -1\n", "a sign"},
      {L"ADV7180_CONTCTL 100000000\n", "an overflow that spells no f"},
      {L"ADV7180_CONTCTL\n", "a key without value"},
  };
  for (const Case& c : cases) {
    Block block = NewBlock();
    EXPECT_FALSE(
        ParseText(std::wstring(L"ADV7180_BRIGHTCTL 1\n") + c.bad + L"ADV7180_HUECTL 4\n", block))
        << c.why;
    EXPECT_EQ(block[kHue], 0) << c.why;
    EXPECT_EQ(block[kDcfFlagsOffset + kHue], 0) << c.why;
  }
}

TEST(DcfPairs, GivenTextNeedsTheSectionHeader) {
  Block block = NewBlock();
  DcfRegisterParser noSection(L"[OTHER]\nINFO_GAIN 1\n", block.data(), kDcfNameIsText);
  EXPECT_EQ(noSection.code, 4312u);
  DcfRegisterParser noBracket(L"INFO_GAIN 1\n", block.data(), kDcfNameIsText);
  EXPECT_EQ(noBracket.code, 4312u);
  DcfRegisterParser noName(nullptr, block.data(), 0);
  EXPECT_EQ(noName.code, 4312u);
}

}  // namespace
