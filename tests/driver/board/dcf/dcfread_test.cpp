// The file format: board line, section, comments, line limits, and what fails a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "driver/board/dcf/dcffile.h"
#include "driver/board/dcf/dcfregisterparser.h"
#include "tests/driver/board/dcf/dcftestfiles.h"

using namespace zor::board;
using namespace dcftest;

namespace {

class DcfRead : public testing::Test {
 protected:
  std::optional<std::wstring> Read(const std::string& text) {
    return ReadDcfFile(folder_.Write("cam.dcf", text).wstring(), kDcfSearchFolders);
  }
  DcfFolder folder_;
};

TEST_F(DcfRead, NormalisesTheSectionAndDropsComments) {
  const auto text = Read(
      "/ header comment\n"
      "DRAVIONLYN\n"
      "[OTHER]\n"
      "ignored line\n"
      "[REG_DIGIT]\r\n"
      "/ comment line\n"
      "INFO_GAIN 10 / trailing comment\r\n"
      "XmlFile a/b.xml\n"
      "ADV7180_HUECTL 3\n"
      "[EOF]\n"
      "anything after the end\n\n");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, L"[REG_DIGIT]\nINFO_GAIN 10 \nXmlFile a/b.xml\nADV7180_HUECTL 3\n[EOF]\n");
}

TEST_F(DcfRead, BoardLineMayFollowTheSection) {
  EXPECT_TRUE(Read("[REG_DIGIT]\nINFO_GAIN 1\n[X]\nDRAVIONLYN\n[EOF]").has_value());
}

TEST_F(DcfRead, CutsLongLinesAt127Characters) {
  const std::string longValue = "INFO_GAIN 1" + std::string(200, ' ') + "ADV7180_HUECTL 5";
  const auto text = Read(DcfWith(longValue + "\nADV7180_CONTCTL 7\n"));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, L"[REG_DIGIT]\nINFO_GAIN 1" + std::wstring(116, L' ') +
                       L"\nADV7180_CONTCTL 7\n[EOF]\n");
}

TEST_F(DcfRead, MalformedFilesGiveNoText) {
  const struct {
    const char* text;
    const char* why;
  } cases[] = {
      {"[REG_DIGIT]\nINFO_GAIN 1\n[EOF]\n", "no board line"},
      {"DRAVIONLYN \n[REG_DIGIT]\nINFO_GAIN 1\n[EOF]\n", "board line with a trailing blank"},
      {"dravionlyn\n[REG_DIGIT]\nINFO_GAIN 1\n[EOF]\n", "board line in lower case"},
      {"DRAVIONLYN\n[OTHER]\nINFO_GAIN 1\n[EOF]\n", "no section"},
      {"DRAVIONLYN\n[REG_DIGIT]\n\nINFO_GAIN 1\n[EOF]\n", "blank line in the section"},
      {"DRAVIONLYN\n\n[REG_DIGIT]\nINFO_GAIN 1\n[EOF]\n", "blank line outside the section"},
      {"DRAVIONLYN\n[REG_DIGIT]\nINFO_GAIN 1\n", "no [EOF]"},
      {"[EOF]\nDRAVIONLYN\n[REG_DIGIT]\n[EOF]\n", "[EOF] first"},
      {"DRAVIONLYN\n[REG_DIGIT]\n/ comment\n/ comment", "a file that ends in comments"},
      {"DRAVIONLYN\n[REG_DIGIT]\nINFO_GAIN 1 /\n/ c\n", "a section that runs to the end"},
      {"", "an empty file"},
  };
  for (const auto& c : cases) EXPECT_FALSE(Read(c.text).has_value()) << c.why;
}

// Section lines that come to so many characters with their line feeds.
std::string SectionLines(size_t characters) {
  std::string lines;
  while (characters > 0) {
    const size_t line = std::min<size_t>(characters, 101);
    lines += "INFO_GAIN 1" + std::string(line - 12, ' ') + "\n";
    characters -= line;
  }
  return lines;
}

// The text with its "[REG_DIGIT]\n" header, "[EOF]\n" and terminator holds 62,080 characters:
// the last accepted and the first refused section, and a second, empty section past the bound.
TEST_F(DcfRead, RefusesATextBeyondItsBound) {
  constexpr size_t kLongest = 62080 - 12 - 6 - 1;
  const std::string full = SectionLines(kLongest);
  const auto text = Read(DcfWith(full));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), 62079u);
  EXPECT_FALSE(Read(DcfWith(SectionLines(kLongest + 1))).has_value());
  const auto twoSections = [](const std::string& lines) {
    return "DRAVIONLYN\n[REG_DIGIT]\n" + lines + "[REG_DIGIT]\n[EOF]\n";
  };
  EXPECT_TRUE(Read(twoSections(SectionLines(101))).has_value());
  EXPECT_FALSE(Read(twoSections(full)).has_value());
}

TEST_F(DcfRead, EveryFailureOfTheParserIs4312Sub1) {
  Block block = NewBlock();
  const std::wstring missing = (folder_.Path() / "missing.dcf").wstring();
  const std::wstring malformed = folder_.Write("bad.dcf", "DRAVIONLYN\n[EOF]\n").wstring();
  for (const std::wstring& name : {missing, malformed}) {
    DcfRegisterParser parser(name.c_str(), block.data(), 0);
    EXPECT_EQ(std::make_tuple(parser.errorSet, parser.code, parser.subCode),
              std::make_tuple(1, 4312u, 1u));
  }
}

}  // namespace
