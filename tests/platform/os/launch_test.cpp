#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "platform/os/core/error.h"
#include "platform/os/process/process_launch.h"
#include "platform/os/sync/wait.h"
#include "platform/os/ui/progress_bar.h"
#include "tests/platform/os/refused.h"

namespace os {
namespace {

namespace fs = std::filesystem;

TEST(ProcessLaunch, StartsTheProgramItselfWithoutAShell) {
  std::string folder = (fs::temp_directory_path() / "zorlaunch.XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  // Blanks, quotes and a separator a shell would act on.
  const fs::path odd = fs::path(folder) / "a b; touch shell'd \"x\"";
  fs::create_directories(odd);
  const fs::path program = odd / "program";
  std::ofstream(program) << "#!/bin/sh\necho \"$#\" > \"$(dirname \"$0\")/ran\"\n";
  fs::permissions(program, fs::perms::owner_all);
  uint32_t id = 0;
  SetLastError(ERROR_GEN_FAILURE);
  ASSERT_TRUE(CreateProcess(program.wstring().c_str(), &id));
  EXPECT_EQ(std::make_pair(id != 0, GetLastError()), std::make_pair(true, ERROR_SUCCESS));
  const fs::path ran = odd / "ran";
  const auto written = [&ran] {
    std::error_code missing;
    const auto size = fs::file_size(ran, missing);
    return !missing && size > 0;
  };
  for (int i = 0; i < 1000 && !written(); ++i) Sleep(10);
  std::ifstream in(ran);
  std::string arguments;
  std::getline(in, arguments);
  EXPECT_EQ(arguments, "0");
  EXPECT_FALSE(fs::exists(fs::current_path() / "shell'd"));

  Refused(!CreateProcess((fs::path(folder) / "missing").wstring().c_str(), nullptr),
          ERROR_FILE_NOT_FOUND);
  for (const wchar_t* none : {L"", static_cast<const wchar_t*>(nullptr)}) {
    Refused(!CreateProcess(none, nullptr), ERROR_INVALID_PARAMETER);
  }
  fs::remove_all(folder);
}

TEST(ProcessLaunch, ExitProcessEndsWithTheCodeAndFlushesOutput) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::fputs("written before the end", stdout);
        std::fputs("unflushed", stderr);
        ExitProcess(3);
      },
      testing::ExitedWithCode(3), "unflushed");
}

TEST(ProgressBar, DrawsTitleAndPositionsOnItsStream) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    ProgressBar bar(L"Updating, please wait", out);
    bar.SetPosition(25);
    bar.SetPosition(250);  // beyond the range: full
    EXPECT_EQ(bar.Position(), 250u);
    bar.SetTitle(L"Verifying");
  }
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  const auto bar = [](int filled, const char* rest) {
    return "\r[" + std::string(filled, '#') + std::string(40 - filled, '.') + "] " + rest;
  };
  EXPECT_EQ(text, "Updating, please wait\n" + bar(0, "  0% |") + bar(10, " 25% /") +
                      bar(40, "100% -") + "\nVerifying\n" + bar(40, "100% \\") + "\n");
}

}  // namespace
}  // namespace os
