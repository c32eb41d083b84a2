#include "driver/firmware/flow/descriptionline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/firmware/flow/tempfolder.h"
#include "platform/os/process/environment.h"

namespace {

using zor::firmware::DescriptionOption;
using zor::firmware::GetTempFolderAscii;
using zor::firmware::MatchDescriptionLine;

std::vector<std::string> Options(const std::string& line) {
  std::vector<DescriptionOption> options;
  std::vector<std::string> out;
  if (!MatchDescriptionLine(line, "[0x0d1a1093]", options)) return {"no match"};
  for (const DescriptionOption& option : options) out.push_back(option.kind + (":" + option.value));
  return out;
}

TEST(DescriptionLine, ReadsTheOptionsOfTheMatchingDevice) {
  EXPECT_EQ(zor::firmware::IdCodeToken(0x0D1A1093), "[0x0d1a1093]");
  EXPECT_EQ(Options("[0x0d1a1093] -i 8 -b flash.bsd -d * *\n"),
            (std::vector<std::string>{"i:8", "b:flash.bsd", "d:*"}));
  // A lone "*" ends the options; unknown tokens are skipped; runs of spaces split once.
  EXPECT_EQ(Options(" [0x0d1a1093]  -q  -i 8 * -b late.bsd"), (std::vector<std::string>{"i:8"}));
  // The line break is no part of a file name, whatever the line end.
  EXPECT_EQ(Options("[0x0d1a1093] -b flash.bsd\r\n"), (std::vector<std::string>{"b:flash.bsd"}));
  EXPECT_EQ(Options("[0x0d1a1093] -d patch\n"), (std::vector<std::string>{"d:patch"}));
  // An option without its value is dropped.
  EXPECT_EQ(Options("[0x0d1a1093] -i\n"), std::vector<std::string>{});
  EXPECT_EQ(Options("[0x0d1a1093] \n"), std::vector<std::string>{});
}

TEST(DescriptionLine, OnlyTheExactIdcodeTokenMatches) {
  for (const char* line : {"* [0x0d1a1093] -i 8", "[0X0D1A1093] -i 8", "[0x0d1a1093]-i 8", ""}) {
    EXPECT_EQ(Options(line), std::vector<std::string>{"no match"}) << line;
  }
}

TEST(DescriptionLine, TheTemporaryFolderEndsWithOneSeparator) {
  os::SetEnvironmentVariable(L"TEMP", L"/var/tmp/zor//");
  EXPECT_EQ(GetTempFolderAscii(), "/var/tmp/zor/");
  os::SetEnvironmentVariable(L"TEMP", L"/var/tmp/zor");
  EXPECT_EQ(GetTempFolderAscii(), "/var/tmp/zor/");
  // Unset, it is the system's temporary folder, never the root.
  os::SetEnvironmentVariable(L"TEMP", nullptr);
  const std::string fallback = GetTempFolderAscii();
  EXPECT_NE(fallback, "/");
  EXPECT_EQ(fallback.back(), '/');
  EXPECT_NE(fallback.substr(fallback.size() - 2), "//");
}

}  // namespace
