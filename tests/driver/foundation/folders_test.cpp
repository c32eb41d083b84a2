#include "driver/foundation/folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "driver/foundation/registrykey.h"
#include "platform/os/process/environment.h"
#include "tests/driver/foundation/machinekeys.h"
#include "tests/support/ownprocess.h"

using namespace zor::foundation;

namespace {

namespace fs = std::filesystem;

using foundationtest::SetMachineString;

void SetUserString(const wchar_t* path, const wchar_t* name, const std::wstring& value) {
  CRegistryKey key(2, path, true);
  ASSERT_TRUE(key.WriteValue(name, kRegTypeString, value.c_str(),
                             static_cast<uint32_t>((value.size() + 1) * sizeof(wchar_t))));
}

class Folders : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("zorfolders" + std::to_string(getpid()));
    fs::create_directories(root_ / "env");
    fs::create_directories(root_ / "machine");
    for (const wchar_t* name : {L"TEMP", L"TMPDIR", L"TRACEFOLDER", L"ZOR_PATH", L"ZOR_PATH64"}) {
      os::SetEnvironmentVariable(name, nullptr);
    }
  }
  void TearDown() override { fs::remove_all(root_); }
  std::wstring Path(const char* leaf) const { return (root_ / leaf).wstring(); }
  static std::wstring Get(const wchar_t* name) {
    CZORString out, twin;  // the result-first twin answers the same
    const std::wstring found = GetFolderVariable(name, out) ? out.CStr() : L"<none>";
    EXPECT_EQ(GetFolderVariable(twin, name) ? twin.CStr() : L"<none>", found) << name;
    return found;
  }

  fs::path root_;
};

constexpr const wchar_t* kDebugSettings = L"Settings\\Debug";
constexpr const wchar_t* kMachineDebug =
    L"Software\\Velant\\Velant Zor Library\\Runtime\\Settings\\Debug";

}  // namespace

TEST_F(Folders, RegistryFolderComesFirstWhenItExists) {
  os::SetEnvironmentVariable(L"TEMP", Path("env").c_str());
  SetUserString(kDebugSettings, L"TempFolder", Path("missing"));
  SetMachineString(kMachineDebug, L"TempFolder", Path("machine"));
  EXPECT_EQ(Get(L"temp"), Path("env"));  // the user's setting wins and does not exist

  SetMachineString(kMachineDebug, L"TraceFolder", Path("machine"));
  EXPECT_EQ(Get(L"TRACEFOLDER"), Path("machine"));
}

TEST_F(Folders, FallBacks) {
  EXPECT_EQ(Get(L"TEMP"), L"/tmp");
  CZORStringAscii narrow;
  for (const char* name : {"TraceFolder", "temp"})
    EXPECT_STREQ(GetEnvironmentVariableAscii(name, narrow) ? narrow.CStr() : "<none>", "/tmp")
        << name;
  EXPECT_FALSE(GetEnvironmentVariableAscii("NO_SUCH_VARIABLE_X", narrow));
  CZORString none;
  EXPECT_FALSE(GetFolderVariable(nullptr, none) || GetEnvironmentVariableAscii(nullptr, narrow) ||
               ReadDebugFolderSetting(nullptr, none, false));
  os::SetEnvironmentVariable(L"ZOR_PATH", L"");
  EXPECT_EQ(Get(L"ZOR_PATH"), L"<none>");  // set empty is not set
  os::SetEnvironmentVariable(L"TMPDIR", Path("env").c_str());
  EXPECT_EQ(Get(L"TEMP"), Path("env"));
  EXPECT_EQ(Get(L"TRACEFOLDER"), Path("env"));
  os::SetEnvironmentVariable(L"TEMP", Path("machine").c_str());
  EXPECT_EQ(Get(L"TRACEFOLDER"), Path("machine"));
  EXPECT_EQ(Get(L"NO_SUCH_VARIABLE_X"), L"<none>");

  os::SetEnvironmentVariable(L"ZOR_PATH", L"/opt/zor");
  EXPECT_EQ(Get(L"ZOR_PATH"), L"/opt/zor");
  os::SetEnvironmentVariable(L"ZOR_PATH64", L"/opt/zor64");
  EXPECT_EQ(Get(L"zor_path"), L"/opt/zor64");

  SetUserString(kDebugSettings, L"TempFolder", Path("env"));
  ASSERT_TRUE(GetEnvironmentVariableAscii("temp", narrow));
  EXPECT_EQ(std::string(narrow.CStr()), (root_ / "machine").string());
  ASSERT_TRUE(GetEnvironmentVariableAscii("ZOR_PATH", narrow));
  EXPECT_STREQ(narrow.CStr(), "/opt/zor64");
}

TEST_F(Folders, DebugSettingWithSubPathAndQword) {
  SetUserString(L"Settings\\Debug\\Sub", L"Name", L"value");
  CZORString out;
  ASSERT_TRUE(ReadDebugFolderSetting(L"Sub\\Name", out, false));
  EXPECT_STREQ(out.CStr(), L"value");
  CRegistryKey key(2, kDebugSettings, true);
  const uint64_t number = 1ull << 40;
  ASSERT_TRUE(key.WriteValue(L"Big", kRegTypeQword, &number, sizeof(number)));
  ASSERT_TRUE(ReadDebugFolderSetting(L"Big", out, true));
  EXPECT_STREQ(out.CStr(), L"1099511627776");
  EXPECT_FALSE(ReadDebugFolderSetting(L"Nothing", out, false));
  EXPECT_FALSE(ReadDebugFolderSetting(L"Sub\\Name", out, true));  // text is no number
}

TEST_F(Folders, InstallAndToolsFolders) {
  SetMachineString(L"Software\\Velant\\Velant Zor Library\\Runtime\\Install", L"INSTALLDIR",
                   L"/opt/velant/");
  EXPECT_STREQ(GetInstallDir().CStr(), L"/opt/velant");
  EXPECT_STREQ(GetToolsDir().CStr(), L"/opt/velant/tools");
  std::ofstream(root_ / "env" / "file") << 'x';
  const std::tuple<std::wstring, bool, bool> kPaths[] = {{Path("env"), true, false},
                                                         {Path("env/file"), false, true},
                                                         {Path("missing"), false, false},
                                                         {L"", false, false}};
  for (const auto& [path, directory, file] : kPaths) {
    EXPECT_EQ(DirectoryExists(path.c_str()), directory) << path;
    EXPECT_EQ(FileExists(path.c_str()), file) << path;
  }
}

TEST_F(Folders, CachesFillOnceUnderConcurrentFirstCalls) {
  SetMachineString(L"Software\\Velant\\Velant Zor Library\\Runtime\\Install", L"INSTALLDIR",
                   L"/opt/velant");
  std::vector<std::wstring> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = GetToolsDir().CStr(); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::wstring& tools : seen) EXPECT_EQ(tools, L"/opt/velant/tools");
}

// A folder found is kept for the process: a process of its own has none yet.
TEST(FoldersWithoutInstall, ToolsFolderStaysRelative) {
  zortest::InProcessOfItsOwn([] {
    EXPECT_STREQ(GetToolsDir().CStr(), L"tools");
    EXPECT_STREQ(GetInstallDir().CStr(), L"");
    EXPECT_STREQ(GetToolsDir().CStr(), L"tools");
    // An install folder written empty, or as the root alone, is none.
    for (const wchar_t* written : {L"", L"/"}) {
      SetMachineString(L"Software\\Velant\\Velant Zor Library\\Runtime\\Install", L"INSTALLDIR",
                       written);
      EXPECT_STREQ(GetInstallDir().CStr(), L"") << written;
    }
  });
}
