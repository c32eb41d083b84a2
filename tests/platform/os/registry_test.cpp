#include "platform/os/registry/registry.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/core/handle.h"
#include "platform/os/core/paths.h"
#include "tests/platform/os/refused.h"
#include "tests/support/processfacts.h"

namespace os {
namespace {

// Every key the tests make lives below this one.
constexpr const wchar_t* kBase = L"Software\\ZorTest";

Handle Create(const wchar_t* path, uint32_t options = REG_OPTION_NON_VOLATILE,
              uint32_t* disposition = nullptr) {
  Handle key = kNullHandle;
  EXPECT_EQ(RegCreateKey(HKEY_CURRENT_USER, path, options, KEY_ALL_ACCESS, &key, disposition),
            ERROR_SUCCESS);
  return key;
}

uint32_t SetDword(Handle key, const wchar_t* name, uint32_t value) {
  return RegSetValue(key, name, REG_DWORD, &value, sizeof(value));
}

// A value as "type:data": numbers for the integer types, the characters of texts (a NUL shown as
// '|'), hex bytes for the others; or "error N" when the query fails.
std::string Read(Handle key, const wchar_t* name) {
  wchar_t data[64] = {};
  uint32_t type = 0;
  uint32_t size = sizeof(data);
  const uint32_t result = RegQueryValue(key, name, &type, data, &size);
  if (result != ERROR_SUCCESS) return "error " + std::to_string(result);
  std::string text = std::to_string(type) + ":";
  if (type == REG_DWORD || type == REG_QWORD) {
    uint64_t number = 0;
    std::memcpy(&number, data, size);
    return text + std::to_string(number);
  }
  for (uint32_t i = 0; type != REG_BINARY && i < size / sizeof(wchar_t); ++i) {
    text += data[i] == 0 ? '|' : static_cast<char>(data[i]);
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (uint32_t i = 0; type == REG_BINARY && i < size; ++i) {
    text += "0123456789abcdef"[bytes[i] >> 4];
    text += "0123456789abcdef"[bytes[i] & 15];
  }
  return text;
}

std::vector<std::wstring> SubKeys(Handle key) {
  std::vector<std::wstring> names;
  wchar_t name[256];
  for (uint32_t index = 0;; ++index) {
    uint32_t chars = 256;
    uint32_t result = RegEnumKey(key, index, name, &chars);
    if (result == ERROR_NO_MORE_ITEMS) break;
    EXPECT_EQ(result, ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, chars);
  }
  return names;
}

std::filesystem::path RootFolder() { return getenv("ZOR_REGISTRY_ROOT"); }

// How far the process's resident memory rose above what it held while `work` ran in a child of
// its own (at its peak); fails the test when `work` failed.
size_t PeakGrowthOfChild(const std::function<bool()>& work) {
  const std::string told = InChild([&work] {
    // Starts the peak anew from what the child holds now.
    std::ofstream("/proc/self/clear_refs") << "5";
    const size_t start = zortest::ResidentBytes();
    const bool done = work();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const size_t peak = static_cast<size_t>(usage.ru_maxrss) * 1024;
    return done ? std::to_string(peak > start ? peak - start : 0) : "failed";
  });
  EXPECT_NE(told, "failed");
  return told.empty() || told == "failed" ? SIZE_MAX : std::stoull(told);
}

TEST(Registry, NamesIgnoreCaseAndKeepIt) {
  uint32_t created = 0, opened = 0;
  Handle key = Create(L"Software\\ZorTest\\MixedCase", REG_OPTION_NON_VOLATILE, &created);
  Handle again = Create(L"SOFTWARE\\zortest\\MIXEDCASE", REG_OPTION_NON_VOLATILE, &opened);
  EXPECT_EQ(std::pair(created, opened),
            std::pair(uint32_t{REG_CREATED_NEW_KEY}, uint32_t{REG_OPENED_EXISTING_KEY}));
  uint32_t disposition = 0;
  // Each predefined hive is a tree of its own: the same path is new in every one.
  for (Handle hive : {HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
    Handle other = kNullHandle;
    ASSERT_EQ(RegCreateKey(hive, L"Software\\ZorTest\\MixedCase", 0, KEY_ALL_ACCESS, &other,
                           &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(other);
  }
  // Blanks inside a name, as in "Frame Rate", and the other escaped bytes survive the key's file;
  // Greek and Cyrillic capitals fold too, and a value may sit at a hive's root.
  const wchar_t* const names[] = {L"Count", L"Frame Rate", L"tab\tnew\nline", L"100%\x7F\x1F",
                                  L"\u03A1\u0416\u0401\u03A2"};
  for (uint32_t i = 0; i < std::size(names); ++i)
    EXPECT_EQ(SetDword(key, names[i], i), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(HKEY_USERS, L"AtTheRoot", 5), ERROR_SUCCESS);
  // U+03A2, no letter, stays apart from final sigma.
  std::string read;
  for (const wchar_t* name : {L"COUNT", L"frame rate", L"TAB\tNEW\nLINE", L"100%\x7F\x1F",
                              L"\u03C1\u0436\u0451\u03A2", L"\u03C1\u0436\u0451\u03C2"}) {
    read += Read(again, name) + ",";
  }
  EXPECT_EQ(read + Read(HKEY_USERS, L"attheroot"), "4:0,4:1,4:2,4:3,4:4,error 2,4:5");
  Handle base = Create(kBase);
  EXPECT_EQ(SubKeys(base), std::vector<std::wstring>{L"MixedCase"});
  for (Handle h : {key, again, base}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
}

TEST(Registry, TypedValuesRoundTripAndReportTheSizeNeeded) {
  Handle key = Create(L"Software\\ZorTest\\Values");
  const uint64_t qword = 0x1122334455667788ull;
  const wchar_t text[] = L"hello";
  const wchar_t multi[] = L"a\0bc\0";
  const unsigned char binary[] = {0x09, 0xaf, 0x10, 0xff};  // every end of the hex digits
  ASSERT_EQ(RegSetValue(key, L"Q", REG_QWORD, &qword, sizeof(qword)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValue(key, L"S", REG_SZ, text, sizeof(text)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValue(key, L"E", REG_EXPAND_SZ, text, sizeof(text)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValue(key, L"M", REG_MULTI_SZ, multi, sizeof(multi)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValue(key, L"B", REG_BINARY, binary, sizeof(binary)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValue(key, nullptr, REG_SZ, text, sizeof(text)), ERROR_SUCCESS);

  uint32_t type = 0, size = 0, needed = sizeof(wchar_t[2]);
  wchar_t small[2];
  EXPECT_EQ(
      (std::vector<uint32_t>{RegQueryValue(key, L"S", &type, nullptr, &size), type, size,
                             RegQueryValue(key, L"S", &type, small, &needed), needed}),
      (std::vector<uint32_t>{ERROR_SUCCESS, REG_SZ, sizeof(text), ERROR_MORE_DATA, sizeof(text)}));
  // REG_EXPAND_SZ is 2, as Windows and the key files number it.
  std::string read;
  for (const wchar_t* name : {L"E", L"", L"q", L"B", L"M", L"Missing"})
    read += Read(key, name) + " ";
  EXPECT_EQ(read, "2:hello| 1:hello| 11:1234605616436508552 3:09af10ff 7:a|bc|| error 2 ");
  EXPECT_EQ((std::vector<uint32_t>{RegDeleteValue(key, L"S"), RegDeleteValue(key, L"S")}),
            (std::vector<uint32_t>{ERROR_SUCCESS, ERROR_FILE_NOT_FOUND}));
  WithoutStandardInput([key] { EXPECT_EQ(SetDword(key, L"S", 1), ERROR_SUCCESS); });
  RegCloseKey(key);
}

TEST(Registry, EnumerationEndsWithNoMoreItems) {
  Handle key = Create(L"Software\\ZorTest\\Enum");
  for (const wchar_t* name : {L"b", L"A", L"c"}) {
    Handle child = kNullHandle;
    ASSERT_EQ(RegCreateKey(key, name, 0, KEY_READ, &child, nullptr), ERROR_SUCCESS);
    RegCloseKey(child);
  }
  EXPECT_EQ(SubKeys(key), (std::vector<std::wstring>{L"A", L"b", L"c"}));
  // On disk a name keeps letters, digits, '_', '-' and inner dots; every other byte is escaped.
  Handle odd = Create(L"Software\\ZorTest\\Enum\\.d_e-f.g h/\u00e9");
  EXPECT_TRUE(std::filesystem::is_directory(RootFolder() / "HKEY_CURRENT_USER" / "software" /
                                            "zortest" / "enum" / "%2ed_e-f.g%20h%2f%c3%a9"));
  RegCloseKey(odd);
  SetDword(key, L"second", 2);
  SetDword(key, L"first", 1);
  wchar_t name[16];
  uint32_t chars = 16;
  uint32_t value = 0;
  uint32_t size = sizeof(value);
  ASSERT_EQ(RegEnumValue(key, 0, name, &chars, nullptr, &value, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name, chars), L"second");
  chars = 3;
  EXPECT_EQ(RegEnumValue(key, 1, name, &chars, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  // "first" needs six characters with its terminator: five are too few, six just do.
  chars = 5;
  EXPECT_EQ(RegEnumValue(key, 1, name, &chars, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  chars = 6;
  ASSERT_EQ(RegEnumValue(key, 1, name, &chars, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(chars, 5u);
  EXPECT_STREQ(name, L"first");
  chars = 16;
  EXPECT_EQ(RegEnumValue(key, 2, name, &chars, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  Handle empty = Create(L"Software\\ZorTest\\Enum\\A");
  EXPECT_EQ(RegEnumKey(empty, 0, name, &chars), ERROR_NO_MORE_ITEMS);
  for (Handle h : {empty, key}) RegCloseKey(h);
}

TEST(Registry, AccessRightsDeletionAndBadHandles) {
  Handle writable = Create(L"Software\\ZorTest\\Access\\Child");
  Handle readOnly = kNullHandle;
  ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Access", KEY_READ, &readOnly),
            ERROR_SUCCESS);
  EXPECT_EQ(SetDword(readOnly, L"x", 1), ERROR_ACCESS_DENIED);
  Handle parent = Create(L"Software\\ZorTest");
  Handle below = kNullHandle, missing = kNullHandle, same = kNullHandle;
  // In order: the parent has a sub-key; the deleted key takes nothing more; a closed handle
  // and bad paths are refused; an empty sub-key names the key itself.
  const std::vector<uint32_t> codes = {
      RegDeleteKey(parent, L"Access"),
      RegDeleteKey(parent, L"Access\\Child"),
      SetDword(writable, L"x", 1),
      RegCreateKey(writable, L"Below", 0, KEY_ALL_ACCESS, &below, nullptr),
      RegOpenKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Access\\Child", KEY_READ, &missing),
      RegCloseKey(writable),
      RegCloseKey(writable),
      SetDword(writable, L"x", 1),
      RegOpenKey(kNullHandle, L"Software", KEY_READ, &missing),
      RegOpenKey(HKEY_CURRENT_USER, L"\\Software", KEY_READ, &missing),
      RegOpenKey(readOnly, L"", KEY_READ, &same),
      RegOpenKey(HKEY_CURRENT_USER, L"Software", KEY_READ, nullptr)};
  EXPECT_EQ(codes,
            (std::vector<uint32_t>{ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_KEY_DELETED,
                                   ERROR_KEY_DELETED, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS,
                                   ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE,
                                   ERROR_BAD_PATHNAME, ERROR_SUCCESS, ERROR_INVALID_PARAMETER}));
  EXPECT_EQ(missing, kNullHandle);
  RegCloseKey(same);
  for (Handle h : {readOnly, parent}) RegCloseKey(h);
}

TEST(Registry, OversizedNamesAndValuesAreRefused) {
  Handle key = Create(L"Software\\ZorTest\\Limits");
  std::wstring longName(kMaxKeyNameChars + 1, L'k');
  Handle child = kNullHandle;
  EXPECT_EQ(RegCreateKey(key, longName.c_str(), 0, KEY_ALL_ACCESS, &child, nullptr),
            ERROR_INVALID_PARAMETER);
  std::wstring fits(kMaxKeyNameChars, L'\x00e9');
  EXPECT_EQ(RegCreateKey(key, fits.c_str(), 0, KEY_ALL_ACCESS, &child, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(SubKeys(key), std::vector<std::wstring>{fits});
  RegCloseKey(child);
  std::vector<unsigned char> big(kMaxValueBytes + 1);
  EXPECT_EQ(RegSetValue(key, L"big", REG_BINARY, big.data(), static_cast<uint32_t>(big.size())),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValue(key, L"null", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  // Values of the most bytes each, until the key's file would pass its bound: that change is
  // refused, and the key stays readable with what it held.
  big.pop_back();
  const auto setBig = [&](const wchar_t* name) {
    return RegSetValue(key, name, REG_BINARY, big.data(), static_cast<uint32_t>(big.size()));
  };
  EXPECT_EQ(setBig(L"first"), ERROR_SUCCESS);
  EXPECT_EQ(setBig(L"second"), ERROR_CANTWRITE);
  uint32_t size = 0;
  EXPECT_EQ(RegQueryValue(key, L"first", nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, kMaxValueBytes);
  std::wstring longValue(kMaxValueNameChars + 1, L'v');
  EXPECT_EQ(SetDword(key, longValue.c_str(), 1), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

// Keys are made one level after another without recursion, many in one call. A path deeper
// than a registry tree may be is refused up front, one level beyond the limit as well as a
// hostile installer's thousands, before a single folder is made.
TEST(Registry, KeyPathsDeeperThanTheTreeAreRefused) {
  const auto levels = [](size_t depth) {
    std::wstring path;
    for (size_t i = 0; i < depth; ++i) path += i == 0 ? L"d" : L"\\d";
    return path;
  };
  Handle base = Create(L"Software\\ZorTest\\Deep");
  Handle key = kNullHandle;
  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKey(base, levels(64).c_str(), 0, KEY_ALL_ACCESS, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetDword(key, L"v", 1), ERROR_SUCCESS);
  RegCloseKey(key);
  // The base lies three levels below the hive.
  EXPECT_EQ(RegOpenKey(base, levels(kMaxKeyDepth - 3).c_str(), KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  for (size_t depth : {kMaxKeyDepth - 2, size_t{3000}, size_t{300000}}) {
    const std::wstring path = levels(depth);
    EXPECT_EQ(RegCreateKey(base, path.c_str(), 0, KEY_ALL_ACCESS, &key, nullptr),
              ERROR_INVALID_PARAMETER)
        << depth;
    EXPECT_EQ(RegOpenKey(base, path.c_str(), KEY_READ, &key), ERROR_INVALID_PARAMETER) << depth;
  }
  size_t made = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(RootFolder())) {
    made += entry.is_directory() ? 1 : 0;
  }
  EXPECT_LT(made, 80u);
  RegCloseKey(base);
}

TEST(Registry, VolatileKeysVanishAfterARestart) {
  setenv("ZOR_BOOT_ID", "boot-1", 1);
  Handle key = Create(L"Software\\ZorTest\\Volatile", REG_OPTION_VOLATILE);
  SetDword(key, L"v", 1);
  Handle child = kNullHandle;
  EXPECT_EQ(RegCreateKey(key, L"Lasting", 0, KEY_ALL_ACCESS, &child, nullptr),
            ERROR_CHILD_MUST_BE_VOLATILE);
  RegCloseKey(key);
  setenv("ZOR_BOOT_ID", "boot-2", 1);
  Handle gone = kNullHandle;
  EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Volatile", KEY_READ, &gone),
            ERROR_FILE_NOT_FOUND);
  Handle base = Create(kBase);
  EXPECT_TRUE(SubKeys(base).empty());
  // Created again after the restart, it starts empty.
  uint32_t disposition = 0;
  Handle fresh = Create(L"Software\\ZorTest\\Volatile", REG_OPTION_NON_VOLATILE, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(Read(fresh, L"v"), "error 2");
  for (Handle h : {fresh, base}) RegCloseKey(h);
  unsetenv("ZOR_BOOT_ID");
}

TEST(Registry, ProcessorKeysAreReadOnlyFromCpuInfo) {
  std::map<std::string, std::string> info;  // the last processor's fields
  size_t count = 0;
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("processor")) {
      info.clear();
      ++count;
    }
    info[line.substr(0, line.find('\t'))] = line.substr(std::min(line.find(':') + 2, line.size()));
  }
  const std::wstring all = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor";
  Handle cpu = kNullHandle;
  ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, (all + L"\\" + std::to_wstring(count - 1)).c_str(),
                       KEY_ALL_ACCESS, &cpu),
            ERROR_SUCCESS);
  const std::string& vendor = info["vendor_id"];
  EXPECT_EQ(Read(cpu, L"~MHz").substr(0, 2) + Read(cpu, L"VendorIdentifier") +
                Read(cpu, L"ProcessorNameString") + Read(cpu, L"Identifier"),
            "4:1:" + vendor + "|1:" + info["model name"] + "|1:" +
                (vendor == "AuthenticAMD" ? "AMD64" : "Intel64") + " Family " + info["cpu family"] +
                " Model " + info["model"] + " Stepping " + info["stepping"] + "|");
  EXPECT_EQ(SetDword(cpu, L"~MHz", 1), ERROR_ACCESS_DENIED);
  Handle created = kNullHandle;
  EXPECT_EQ(
      RegCreateKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\Other", 0, KEY_ALL_ACCESS, &created, nullptr),
      ERROR_ACCESS_DENIED);
  // The view's keys and their sub-keys; one key a processor, numbered from 0: none past the
  // last, nor another spelling of a number.
  const std::pair<std::wstring, std::vector<std::wstring>> view[] = {
      {L"HARDWARE", {L"DESCRIPTION", L"DEVICEMAP"}},
      {L"HARDWARE\\DESCRIPTION", {L"System"}},
      {L"hardware\\description\\system", {L"CentralProcessor"}},
      {all + L"\\0", {}}};
  for (const auto& [path, names] : view) {
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ, &created), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(created), names) << path;
    RegCloseKey(created);
  }
  ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, all.c_str(), KEY_READ, &created), ERROR_SUCCESS);
  const std::vector<std::wstring> processors = SubKeys(created);
  RegCloseKey(created);
  ASSERT_EQ(processors.size(), count);
  EXPECT_EQ(processors[0] + processors.back(), L"0" + std::to_wstring(count - 1));
  for (const std::wstring& bad :
       {all + L"\\" + std::to_wstring(count), all + L"\\00", all + L"\\x", all + L"\\12345",
        all + L"\\0\\0", std::wstring(L"HARDWARE\\DESCRIPTION\\Other")}) {
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, bad.c_str(), KEY_READ, &created), ERROR_FILE_NOT_FOUND)
        << bad;
  }
  Handle machine = kNullHandle;
  ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, nullptr, KEY_READ, &machine), ERROR_SUCCESS);
  EXPECT_EQ(SubKeys(machine), std::vector<std::wstring>{L"HARDWARE"});
  for (Handle h : {machine, cpu}) RegCloseKey(h);
}

TEST(Registry, MalformedKeyFilesGiveErrorsAndAreNotOverwritten) {
  Handle key = Create(L"Software\\ZorTest\\Broken");
  SetDword(key, L"v", 1);
  std::filesystem::path file =
      RootFolder() / "HKEY_CURRENT_USER" / "software" / "zortest" / "broken" / ".key";
  ASSERT_TRUE(std::filesystem::exists(file));
  const std::string named = "zor-registry-key 1\nname x\n";
  const std::string corrupt = "error 1015,1015";
  for (const std::string& garbage :
       {std::string(), named + "value 4 0z =v", named + "value 4 z0 =v", named + "value 4 010 =v",
        named + "value 4 0100 =%", named + "value 4 0100 =%1", named + "value 4 00 =%g1",
        named + "value 4 00 =%1g", named + "value 99999999999 00 =v", named + "value 4x 00 =v",
        named + "value 4 00 v", named + "value 4 00 =v w", named + "kind 4",
        std::string("zor-registry-key 1\nvalue 4 01000000 =v\n"),
        std::string("zor-registry-key 2\nname x\n"), std::string("zor-registry-key 1\nname %g1\n"),
        std::string("\x01\xff")}) {
    std::ofstream(file, std::ios::trunc) << garbage;
    EXPECT_EQ(Read(key, L"v") + "," + std::to_string(SetDword(key, L"w", 2)), corrupt) << garbage;
  }
  // A FIFO in the key file's place would hold a reader that waits for a writer for ever.
  std::filesystem::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(Read(key, L"v") + "," + std::to_string(SetDword(key, L"w", 2)), corrupt);
  EXPECT_TRUE(std::filesystem::is_fifo(file));
  // A key file of 2 GB (sparse) is refused by its size, unread: the process that asks stays
  // small, and the file stays as it was.
  std::filesystem::remove(file);
  std::ofstream(file) << "zor-registry-key 1\nname Broken\nvalue 4 01000000 =v\n";
  std::filesystem::resize_file(file, uintmax_t{2} << 30);
  const size_t grown = PeakGrowthOfChild([key] {
    uint32_t size = 0;
    return RegQueryValue(key, L"v", nullptr, nullptr, &size) == ERROR_REGISTRY_CORRUPT &&
           SetDword(key, L"w", 2) == ERROR_REGISTRY_CORRUPT;
  });
  std::printf("a 2 GB key file refused; the process grew by %zu bytes at most\n", grown);
  EXPECT_LT(grown, size_t{64} << 20);
  EXPECT_EQ(std::filesystem::file_size(file), uintmax_t{2} << 30);
  // A well-formed key of the bound's size is read; one byte more is refused.
  const std::string head = "zor-registry-key 1\nname Broken\nvalue 3 ";
  const std::string tail = (kMaxKeyFileBytes - head.size()) % 2 == 0 ? " =big\n" : " =bigg\n";
  std::string hex(kMaxKeyFileBytes - head.size() - tail.size(), '0');
  const std::wstring big = tail.size() == 6 ? L"big" : L"bigg";
  std::ofstream(file, std::ios::trunc) << head << hex << tail;
  ASSERT_EQ(std::filesystem::file_size(file), kMaxKeyFileBytes);
  uint32_t size = 0;
  EXPECT_EQ(RegQueryValue(key, big.c_str(), nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, hex.size() / 2);
  // A value that fills the key up to the bound is written.
  const std::string added = "value 4 01000000 =w\n";
  std::ofstream(file, std::ios::trunc) << head << hex.substr(added.size()) << tail;
  EXPECT_EQ(SetDword(key, L"w", 1), ERROR_SUCCESS);
  EXPECT_EQ(std::filesystem::file_size(file), kMaxKeyFileBytes);
  std::ofstream(file, std::ios::trunc) << head << hex << "00" << tail;
  EXPECT_EQ(RegQueryValue(key, big.c_str(), nullptr, nullptr, &size), ERROR_REGISTRY_CORRUPT);
  RegCloseKey(key);
}

TEST(Registry, TwoWriterProcessesLoseNothing) {
  Handle key = Create(L"Software\\ZorTest\\Shared");
  constexpr int kValues = 60;
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      for (int i = 0; i < kValues; ++i) {
        std::wstring name = L"w" + std::to_wstring(writer) + L"_" + std::to_wstring(i);
        if (SetDword(key, name.c_str(), static_cast<uint32_t>(i)) != ERROR_SUCCESS) _exit(1);
      }
      _exit(0);
    }
  }
  // Meanwhile a reader never meets a half-written key.
  int torn = 0;
  for (int read = 0; read < 200; ++read) {
    uint32_t size = 0;
    const uint32_t result = RegQueryValue(key, L"w0_0", nullptr, nullptr, &size);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) ++torn;
  }
  EXPECT_EQ(torn, 0);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kValues; ++i) {
      std::wstring name = L"w" + std::to_wstring(writer) + L"_" + std::to_wstring(i);
      EXPECT_EQ(Read(key, name.c_str()), "4:" + std::to_string(i));
    }
  }
  RegCloseKey(key);
}

TEST(Registry, CreatingWhileAnotherProcessDeletesNeverFailsNorOrphans) {
  constexpr int kRounds = 400;
  const pid_t deleter = fork();
  ASSERT_GE(deleter, 0);
  if (deleter == 0) {
    for (int i = 0; i < kRounds; ++i) {
      RegDeleteKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Race\\Child");
      RegDeleteKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Race");
    }
    _exit(0);
  }
  for (int i = 0; i < kRounds; ++i) {
    Handle key = kNullHandle;
    const uint32_t created = RegCreateKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Race\\Child", 0,
                                          KEY_ALL_ACCESS, &key, nullptr);
    if (created != ERROR_SUCCESS) {
      ADD_FAILURE() << "create failed with " << created;
      continue;
    }
    // Deleted in between or not: never a failed write.
    const uint32_t set = SetDword(key, L"v", 1);
    if (set != ERROR_SUCCESS && set != ERROR_KEY_DELETED)
      ADD_FAILURE() << "set failed with " << set;
    RegCloseKey(key);
  }
  int status = 0;
  ASSERT_EQ(waitpid(deleter, &status, 0), deleter);
  Handle child = kNullHandle;
  Handle parent = kNullHandle;
  if (RegOpenKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Race\\Child", KEY_READ, &child) ==
      ERROR_SUCCESS) {
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, L"Software\\ZorTest\\Race", KEY_READ, &parent),
              ERROR_SUCCESS)
        << "a sub-key outlived its parent";
    for (Handle h : {child, parent}) RegCloseKey(h);
  }
}

// The machine's hive: where an installation keeps it, and what a user who may only read it gets.
namespace fs = std::filesystem;

constexpr const wchar_t* kMachineKey = L"Software\\ZorTest\\Machine";
constexpr wchar_t kPath[] = L"/opt/zor/share/zor/dravionlyn/firmware";
// The path as Read gives it.
const std::string kPathRead = "1:/opt/zor/share/zor/dravionlyn/firmware|";
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
  if (Read(reading, L"FirmwarePath") != kPathRead) mismatches += "the value reads otherwise\n";
  Handle opened = kNullHandle;
  uint32_t disposition = 0;
  expect("create of a key that exists",
         RegCreateKey(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_ALL_ACCESS, &opened, &disposition),
         ERROR_SUCCESS);
  expect("its disposition", disposition, REG_OPENED_EXISTING_KEY);
  if (Read(opened, L"FirmwarePath") != kPathRead) mismatches += "the created key reads otherwise\n";
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
  for (Handle h : {opened, reading}) RegCloseKey(h);
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
  ASSERT_EQ(RegSetValue(key, L"FirmwarePath", REG_SZ, kPath, sizeof(kPath)), ERROR_SUCCESS);
  MakeReadOnly(root, true);

  EXPECT_EQ(InChild([] {
              // Root writes anything: the user is another one, as on a machine.
              if (geteuid() == 0 &&
                  (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
                   setresuid(kNobody, kNobody, kNobody) != 0)) {
                return std::string("no other user\n");
              }
              return ReadAsUser();
            }),
            "");

  MakeReadOnly(root, false);
  EXPECT_EQ(Read(key, L"FirmwarePath"), kPathRead);
  Handle leaf = kNullHandle;
  EXPECT_EQ(RegOpenKey(key, L"Leaf", KEY_READ, &leaf), ERROR_SUCCESS);
  for (Handle h : {leaf, key}) RegCloseKey(h);
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
