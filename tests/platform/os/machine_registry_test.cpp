// The machine's hive: where an installation keeps it, and what a user who may only read it gets.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/core/error.h"
#include "platform/os/core/paths.h"
#include "platform/os/registry/registry.h"

namespace os {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kMachineKey = L"Software\\ZorTest\\Machine";
constexpr wchar_t kPath[] = L"/opt/zor/share/zor/dravionlyn/firmware";
// The user that reads the machine's hive when the tests run as root.
constexpr uid_t kNobody = 65534;

TEST(MachineRegistry, FolderFollowsTheInstallationOfTheModule) {
  const struct {
    const char* module;
    const char* folder;
  } cases[] = {
      {"/usr/lib/libZOR.so.1", "/var/lib/zor/registry"},
      {"/usr/bin/zorregister", "/var/lib/zor/registry"},
      {"/lib/libZOR.so.1", "/var/lib/zor/registry"},  // /lib may be /usr/lib
      {"/opt/zor/lib/libZOR.so.1", "/opt/zor/var/lib/zor/registry"},
      {"/opt/zor/bin/../lib/libZOR.so.1", "/opt/zor/var/lib/zor/registry"},
      // A root that a package is unpacked below keeps its registry there too.
      {"/srv/root/usr/lib/libZOR.so.1", "/srv/root/var/lib/zor/registry"},
      {"/srv/usrlocal/lib/libZOR.so.1", "/srv/usrlocal/var/lib/zor/registry"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(detail::MachineRegistryFolder(row.module), fs::path(row.folder)) << row.module;
  }
}

TEST(MachineRegistry, ALinkedLibraryUsesTheRegistryOfTheInstallationItLinksTo) {
  const fs::path scratch = fs::path(getenv("ZOR_REGISTRY_ROOT"));
  const fs::path library = scratch / "opt" / "zor" / "lib" / "libZOR.so.1";
  fs::create_directories(library.parent_path());
  std::ofstream(library) << "library\n";
  const fs::path link = scratch / "local" / "lib" / "libZOR.so.1";
  fs::create_directories(link.parent_path());
  fs::create_symlink(library, link);
  EXPECT_EQ(detail::MachineRegistryFolder(link),
            scratch / "opt" / "zor" / "var" / "lib" / "zor" / "registry");
}

void SetText(Handle key, const wchar_t* name, const std::wstring& text) {
  ASSERT_EQ(RegSetValue(key, name, REG_SZ, text.c_str(),
                        static_cast<uint32_t>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

std::wstring ReadText(Handle key, const wchar_t* name) {
  wchar_t text[128] = {};
  uint32_t size = sizeof(text);
  if (RegQueryValue(key, name, nullptr, text, &size) != ERROR_SUCCESS) return L"(none)";
  return text;
}

// Every folder r-x and every file r-- for everyone: what a user sees of the machine's hive.
void MakeReadOnly(const fs::path& root, bool readOnly) {
  const auto folderMode = readOnly ? fs::perms(0555) : fs::perms(0755);
  const auto fileMode = readOnly ? fs::perms(0444) : fs::perms(0644);
  fs::permissions(root, folderMode);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    fs::permissions(entry.path(), entry.is_directory() ? folderMode : fileMode);
  }
}

// What a user who may only read the hive gets from each call; the mismatches, one a line.
std::string ReadAsUser() {
  std::string mismatches;
  auto expect = [&](const char* call, uint32_t got, uint32_t want) {
    if (got != want) {
      mismatches += std::string(call) + " gave " + std::to_string(got) + ", not " +
                    std::to_string(want) + "\n";
    }
  };
  Handle reading = kNullHandle;
  expect("open to read", RegOpenKey(HKEY_LOCAL_MACHINE, kMachineKey, KEY_READ, &reading),
         ERROR_SUCCESS);
  if (ReadText(reading, L"FirmwarePath") != kPath) mismatches += "the value reads otherwise\n";
  Handle opened = kNullHandle;
  uint32_t disposition = 0;
  expect("create of a key that exists",
         RegCreateKey(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_ALL_ACCESS, &opened, &disposition),
         ERROR_SUCCESS);
  expect("its disposition", disposition, REG_OPENED_EXISTING_KEY);
  if (ReadText(opened, L"FirmwarePath") != kPath) mismatches += "the created key reads otherwise\n";
  const wchar_t text[] = L"/elsewhere";
  expect("change of a value", RegSetValue(opened, L"FirmwarePath", REG_SZ, text, sizeof(text)),
         ERROR_ACCESS_DENIED);
  expect("new value", RegSetValue(opened, L"Other", REG_SZ, text, sizeof(text)),
         ERROR_ACCESS_DENIED);
  expect("deletion of a value", RegDeleteValue(opened, L"FirmwarePath"), ERROR_ACCESS_DENIED);
  Handle created = kNullHandle;
  expect("new sub-key", RegCreateKey(opened, L"New", 0, KEY_ALL_ACCESS, &created, nullptr),
         ERROR_ACCESS_DENIED);
  expect("new volatile sub-key",
         RegCreateKey(opened, L"New", REG_OPTION_VOLATILE, KEY_ALL_ACCESS, &created, nullptr),
         ERROR_ACCESS_DENIED);
  expect("deletion of a key", RegDeleteKey(opened, L"Leaf"), ERROR_ACCESS_DENIED);
  expect("value at the hive's root",
         RegSetValue(HKEY_LOCAL_MACHINE, L"x", REG_SZ, text, sizeof(text)), ERROR_ACCESS_DENIED);
  expect("a hive it may not make",
         RegCreateKey(HKEY_CURRENT_CONFIG, L"Software", 0, KEY_ALL_ACCESS, &created, nullptr),
         ERROR_ACCESS_DENIED);
  RegCloseKey(opened);
  RegCloseKey(reading);
  return mismatches;
}

TEST(MachineRegistry, AUserWhoMayOnlyReadIsDeniedEveryWriteAndLosesNothing) {
  // A root that another user may walk through, unlike the tests' own.
  std::string pattern = (fs::temp_directory_path() / "zormachine.XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;
  setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
  Handle key = kNullHandle;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\ZorTest\\Machine\\Leaf", 0, KEY_ALL_ACCESS,
                         &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, kMachineKey, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  SetText(key, L"FirmwarePath", kPath);
  MakeReadOnly(root, true);

  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    // Root writes anything: the user is another one, as on a machine.
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
         setresuid(kNobody, kNobody, kNobody) != 0)) {
      _exit(3);
    }
    const std::string mismatches = ReadAsUser();
    const bool sent = write(report[1], mismatches.data(), mismatches.size()) ==
                      static_cast<ssize_t>(mismatches.size());
    _exit(sent ? 0 : 4);
  }
  close(report[1]);
  std::string mismatches;
  char buffer[512];
  for (ssize_t count; (count = read(report[0], buffer, sizeof(buffer))) > 0;) {
    mismatches.append(buffer, static_cast<size_t>(count));
  }
  close(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(mismatches, "");

  MakeReadOnly(root, false);
  EXPECT_EQ(ReadText(key, L"FirmwarePath"), kPath);
  Handle leaf = kNullHandle;
  EXPECT_EQ(RegOpenKey(key, L"Leaf", KEY_READ, &leaf), ERROR_SUCCESS);
  RegCloseKey(leaf);
  RegCloseKey(key);
  // No half-made file or key is left behind.
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == ".key" || name == ".lock" || entry.is_directory()) << entry.path();
    EXPECT_NE(name, "new") << entry.path();
  }
  EXPECT_FALSE(fs::exists(root / "HKEY_CURRENT_CONFIG"));
  fs::remove_all(root);
}

}  // namespace
}  // namespace os
