#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "platform/os/core/error.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/files.h"
#include "platform/os/process/library.h"
#include "platform/os/process/process_launch.h"
#include "platform/os/process/regular_file.h"
#include "platform/os/process/resource.h"
#include "platform/os/sync/wait.h"
#include "platform/os/text/convert.h"
#include "platform/os/ui/progress_bar.h"
#include "tests/platform/os/refused.h"
#include "tests/support/processfacts.h"

namespace os {
namespace {

TEST(Environment, LookUpIgnoresCaseWithWindowsSizes) {
  setenv("ZorTestVariable", "value", 1);
  EXPECT_EQ(GetEnvironmentVariable(L"ZORTESTVARIABLE", nullptr, 0), 6u);
  wchar_t small[5];
  EXPECT_EQ(GetEnvironmentVariable(L"zortestvariable", small, 5), 6u);
  wchar_t exact[6];
  EXPECT_EQ(GetEnvironmentVariable(L"zortestvariable", exact, 6), 5u);
  EXPECT_STREQ(exact, L"value");
  char narrow[6];
  EXPECT_EQ(GetEnvironmentVariableA("ZORTESTvariable", narrow, 6), 5u);
  EXPECT_STREQ(narrow, "value");

  // Setting through another spelling changes the existing variable.
  ASSERT_TRUE(SetEnvironmentVariable(L"ZORTESTVARIABLE", L"\u00e9t\u00e9"));
  EXPECT_STREQ(getenv("ZorTestVariable"), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(getenv("ZORTESTVARIABLE"), nullptr);
  ASSERT_TRUE(SetEnvironmentVariable(L"zortestvariable", nullptr));
  Refused(GetEnvironmentVariable(L"ZorTestVariable", exact, 6) == 0, ERROR_ENVVAR_NOT_FOUND);
  Refused(!SetEnvironmentVariable(L"A=B", L"x"), ERROR_INVALID_PARAMETER);
  Refused(!SetEnvironmentVariable(nullptr, L"x"), ERROR_INVALID_PARAMETER);
  for (bool wide : {true, false}) {
    Refused((wide ? GetEnvironmentVariable(nullptr, exact, 6)
                  : GetEnvironmentVariableA(nullptr, narrow, 6)) == 0u,
            ERROR_INVALID_PARAMETER);
  }
}

TEST(Files, AttributesFoldersAndFullPaths) {
  const std::filesystem::path root = getenv("ZOR_REGISTRY_ROOT");
  const std::wstring folder = Utf8ToWide((root / "made").string());
  Refused(GetFileAttributes(folder.c_str()) == INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(CreateDirectory(folder.c_str()));
  Refused(!CreateDirectory(folder.c_str()), ERROR_ALREADY_EXISTS);
  Refused(!CreateDirectory((folder + L"/a/b").c_str()), ERROR_PATH_NOT_FOUND);
  Refused(!CreateDirectory(L""), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetFileAttributes(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(PathExists(folder.c_str()));

  const std::wstring messy = folder + L"/x/../y/./file.txt";
  wchar_t full[512];
  wchar_t* part = nullptr;
  const uint32_t length = GetFullPathName(messy.c_str(), 512, full, &part);
  EXPECT_EQ(std::wstring(full, length), folder + L"/y/file.txt");
  ASSERT_NE(part, nullptr);
  EXPECT_STREQ(part, L"file.txt");
  EXPECT_EQ(GetFullPathName(messy.c_str(), length, full, nullptr), length + 1);
  EXPECT_EQ(GetFileAttributes(nullptr), INVALID_FILE_ATTRIBUTES);
}

TEST(Libraries, LoadResolveFree) {
  Module math = LoadLibrary(L"libm.so.6");
  ASSERT_NE(math, kNullModule);
  auto* cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(math, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  Refused(GetProcAddress(math, "no_such_function") == nullptr, ERROR_PROC_NOT_FOUND);
  wchar_t path[512];
  EXPECT_GT(GetModuleFileName(math, path, 512), 0u);
  EXPECT_NE(std::wstring(path).find(L"libm"), std::wstring::npos);
  EXPECT_EQ(GetModuleHandle(L"libm.so.6"), math);
  Refused(GetProcAddress(math, nullptr) == nullptr, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(FreeLibrary(math));
  Refused(!FreeLibrary(math), ERROR_INVALID_HANDLE);
  Refused(LoadLibrary(L"libdoes-not-exist.so") == kNullModule, ERROR_MOD_NOT_FOUND);
  for (const wchar_t* none : {static_cast<const wchar_t*>(nullptr), L""}) {
    Refused(LoadLibrary(none) == kNullModule, ERROR_INVALID_PARAMETER);
  }
  Refused(GetModuleHandle(L"libdoes-not-exist.so") == kNullModule, ERROR_MOD_NOT_FOUND);
  Refused(GetProcAddress(kNullModule, "cos") == nullptr, ERROR_INVALID_HANDLE);
}

TEST(Libraries, ModuleFileNameTruncatesLikeWindows) {
  wchar_t path[512];
  SetLastError(ERROR_INVALID_HANDLE);
  const uint32_t length = GetModuleFileName(kNullModule, path, 512);
  ASSERT_GT(length, 4u);
  EXPECT_EQ(std::make_pair(std::wstring(path).size(), GetLastError()),
            std::make_pair(size_t{length}, ERROR_SUCCESS));
  EXPECT_EQ(ThisModule(), GetModuleHandle(nullptr));
  wchar_t small[4];
  Refused(GetModuleFileName(kNullModule, small, 4) == 4u, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::wstring(small), std::wstring(path, 3));
  Refused(GetModuleFileName(kNullModule, nullptr, 0) == 0u, ERROR_INSUFFICIENT_BUFFER);
}

TEST(Resources, EmbeddedFilesByTypeAndName) {
  Resource resource;
  ASSERT_TRUE(FindResource(ThisModule(), L"sample", L"zor_test_data", &resource));
  const std::string text(static_cast<const char*>(resource.data), resource.size);
  EXPECT_EQ(text, "embedded sample\n");
  ASSERT_TRUE(FindResource(ThisModule(), L"Empty", L"ZOR_TEST_DATA", &resource));
  EXPECT_EQ(resource.size, 0u);
  std::vector<std::wstring> names;
  EXPECT_TRUE(EnumResourceNames(ThisModule(), L"ZOR_TEST_DATA", [&](const std::wstring& name) {
    names.push_back(name);
    return true;
  }));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Sample", L"Empty"}));
  Refused(!FindResource(ThisModule(), L"Other", L"ZOR_TEST_DATA", &resource),
          ERROR_RESOURCE_NAME_NOT_FOUND);
  Refused(!FindResource(ThisModule(), L"Sample", L"NONE", &resource),
          ERROR_RESOURCE_TYPE_NOT_FOUND);
  Refused(!FindResource(ThisModule(), L"Sample", L"ZOR_TEST_DATA", nullptr),
          ERROR_INVALID_PARAMETER);
  Refused(!EnumResourceNames(ThisModule(), L"NONE", [](const std::wstring&) { return true; }),
          ERROR_RESOURCE_TYPE_NOT_FOUND);
  Refused(!EnumResourceNames(ThisModule(), L"ZOR_TEST_DATA", nullptr), ERROR_INVALID_PARAMETER);
}

TEST(TextConversion, CountsIncludeTheNulWhenLengthIsMinusOne) {
  const char* text = "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\xF0\x9F\x98\x80";  // "grüß €😀"
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 8);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, nullptr, 0), 3);
  wchar_t wide[8];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, 8), 8);
  EXPECT_STREQ(wide, L"gr\u00fc\u00df \u20ac\U0001F600");
  EXPECT_EQ(WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                                nullptr),
            15);
  char back[15];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, 15, nullptr, nullptr), 15);
  EXPECT_STREQ(back, text);
  // Each encoded length's first and last code point, and those beside the surrogates.
  const std::string edges =
      "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
      "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(Utf8ToWide(edges), L"\u007f\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010FFFF");
  EXPECT_EQ(WideToUtf8(Utf8ToWide(edges)), edges);
}

TEST(TextConversion, TooSmallBuffersFailWithoutOverrun) {
  wchar_t wide[3] = {L'x', L'x', L'x'};
  Refused(MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, wide, 3) == 0, ERROR_INSUFFICIENT_BUFFER);
  char narrow[2];
  Refused(WideCharToMultiByte(CP_UTF8, 0, L"\u00e9", 1, narrow, 1, nullptr, nullptr) == 0,
          ERROR_INSUFFICIENT_BUFFER);
}

TEST(TextConversion, InvalidInputIsReplacedOrRefusedWhenAsked) {
  // Cut sequence, overlong slash, encoded surrogate, stray continuation byte.
  // Lead bytes C1 and F5, past U+10FFFF, overlong three- and four-byte.
  for (const char* bad :
       {"a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\x80z", "\xC1\xBF", "\xF5\x80\x80\x80",
        "\xF4\x90\x80\x80", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF"}) {
    SCOPED_TRACE(bad);
    Refused(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, nullptr, 0) == 0,
            ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, 0, bad, -1, nullptr, 0), 0);
  }
  wchar_t wide[4];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFFz", 3, wide, 4), 3);
  EXPECT_EQ(wide[1], L'\uFFFD');
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  Refused(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, surrogate, -1, nullptr, 0, nullptr,
                              nullptr) == 0,
          ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(WideToUtf8(surrogate), "a\xEF\xBF\xBD");
}

TEST(TextConversion, BadArgumentsAreRefused) {
  wchar_t wide[4];
  char narrow[4];
  bool used = false;
  const struct {
    const char* name;
    std::function<int()> call;
    uint32_t error;
  } cases[] = {
      {"no source", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"empty source", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"length -2", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"no destination", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
      {"negative room", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -1); },
       ERROR_INVALID_PARAMETER},
      {"code page 1252", [&] { return MultiByteToWideChar(1252, 0, "a", 1, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"unknown flag", [&] { return MultiByteToWideChar(CP_UTF8, 0x4, "a", 1, wide, 4); },
       ERROR_INVALID_FLAGS},
      {"wide, no source",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, nullptr, -1, narrow, 4, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"wide, code page 1252",
       [&] { return WideCharToMultiByte(1252, 0, L"a", 1, narrow, 4, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"wide, default character",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 4, "?", nullptr); },
       ERROR_INVALID_PARAMETER},
      {"wide, default used",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 4, nullptr, &used); },
       ERROR_INVALID_PARAMETER},
      {"wide, unknown flag",
       [&] { return WideCharToMultiByte(CP_UTF8, 0x4, L"a", 1, narrow, 4, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Refused(c.call() == 0, c.error);
  }
}

std::filesystem::path Folder() { return getenv("ZOR_REGISTRY_ROOT"); }

std::string Content(const std::filesystem::path& path) {
  std::string text;
  EXPECT_TRUE(ReadRegularFile(path, 1024, &text));
  return text;
}

// What a FIFO nobody opens, a device or a folder would do to fopen: hang, or take the writes.
// Every mode fails at once and says what the path names.
TEST(RegularFiles, AnythingButARegularFileFailsWithoutWaiting) {
  const std::filesystem::path fifo = Folder() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* kind;
  } cases[] = {{fifo, "a FIFO"}, {Folder(), "a folder"}, {"/dev/null", "a device"}};
  const size_t descriptors = zortest::CountDescriptors();
  for (const auto& c : cases) {
    for (const char* mode : {"r", "rb", "w", "a", "ab", "r+"}) {
      SCOPED_TRACE(c.path + " " + mode);
      std::string problem;
      EXPECT_EQ(OpenRegularFile(c.path, mode, &problem), nullptr);
      EXPECT_NE(problem.find(c.kind), std::string::npos) << problem;
    }
  }
  EXPECT_EQ(zortest::CountDescriptors(), descriptors);  // none left open by a refusal
  std::string text = "kept";
  EXPECT_FALSE(ReadRegularFile(fifo, 1024, &text));
  EXPECT_FALSE(WriteRegularFile(fifo, "lost"));
  EXPECT_EQ(text, "kept");
}

TEST(RegularFiles, ModesActAsFopensAndSizesAreBounded) {
  const std::filesystem::path file = Folder() / "file.txt";
  ASSERT_TRUE(WriteRegularFile(file, "first"));
  std::FILE* append = OpenRegularFile(file, "a");
  ASSERT_NE(append, nullptr);
  std::fputs(" second", append);
  std::fclose(append);
  EXPECT_EQ(Content(file), "first second");
  ASSERT_TRUE(WriteRegularFile(file, "new"));  // truncates
  EXPECT_EQ(Content(file), "new");
  std::string text;
  std::string problem;
  ASSERT_TRUE(ReadRegularFile(file, 3, &text, &problem)) << problem;  // the bound itself
  EXPECT_EQ(text, "new");
  WithoutStandardInput([&] {
    EXPECT_TRUE(ReadRegularFile(file, 3, &text, &problem)) << problem;
    EXPECT_TRUE(WriteRegularFile(file, "new"));
    std::FILE* opened = OpenRegularFile(file, "r");
    EXPECT_EQ(opened != nullptr && std::fclose(opened) == 0, true);
  });
  EXPECT_FALSE(ReadRegularFile(file, 2, &text, &problem));
  EXPECT_EQ(problem, "larger than 2 bytes");
  EXPECT_FALSE(ReadRegularFile(Folder() / "missing", 2, &text, &problem));
  EXPECT_EQ(problem, "No such file or directory");
  // /proc's files are regular but report no size: read on to their end, bound or no bound.
  ASSERT_TRUE(ReadRegularFile("/proc/self/status", SIZE_MAX, &text, &problem)) << problem;
  EXPECT_EQ(text.rfind("Name:", 0), 0u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_FALSE(ReadRegularFile("/proc/self/status", 16, &text, &problem));
  EXPECT_EQ(problem, "larger than 16 bytes");
  EXPECT_EQ(OpenRegularFile(file, "x", &problem), nullptr);
  EXPECT_EQ(OpenRegularFile(file, "rw", &problem), nullptr);
  // A write that the file size limit cuts short fails and says why.
  EXPECT_EQ(InChild([&] {
              signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{4, 4};
              setrlimit(RLIMIT_FSIZE, &limit);
              return WriteRegularFile(file, "longer than four", &problem) ? "written" : problem;
            }),
            "File too large");
}

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
