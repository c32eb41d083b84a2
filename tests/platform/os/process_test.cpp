#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/os/core/error.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/files.h"
#include "platform/os/process/library.h"
#include "platform/os/process/resource.h"
#include "platform/os/text/convert.h"
#include "tests/platform/os/refused.h"

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
  EXPECT_FALSE(SetEnvironmentVariable(L"A=B", L"x"));
  EXPECT_FALSE(SetEnvironmentVariable(nullptr, L"x"));
  for (bool wide : {true, false}) {
    SetLastError(ERROR_SUCCESS);
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
    SetLastError(ERROR_MOD_NOT_FOUND);
    Refused(LoadLibrary(none) == kNullModule, ERROR_INVALID_PARAMETER);
  }
  SetLastError(ERROR_SUCCESS);
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
  SetLastError(ERROR_SUCCESS);
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

}  // namespace
}  // namespace os
