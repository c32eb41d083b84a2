#include "driver/foundation/registrykey.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/foundation/registrylocations.h"
#include "platform/os/core/handle.h"
#include "platform/os/registry/registry.h"
#include "platform/os/sync/thread.h"
#include "tests/driver/foundation/machinekeys.h"
#include "tests/support/testdata/testdata.h"

using namespace zor::foundation;

namespace {

void MachineKey(const wchar_t* path) {
  foundationtest::SetMachineValue(path, nullptr, 0, nullptr, 0);
}

uint32_t HandleCount() {
  uint32_t count = 0;
  os::GetProcessHandleCount(os::GetCurrentProcess(), &count);
  return count;
}

// What each read answers (1 or 0: ReadValue, ReadDword, ReadDwordToInt64, ReadQword, ReadString,
// ValueExists, EnumSubKeys, EnumValues), then the value's type, the names listed and the outputs.
std::string Reads(CRegistryKey& key, const wchar_t* value) {
  int32_t dword = -3;
  int64_t wide = -3;
  uint64_t qword = 3;
  CZORString text(L"old");
  CTable1D<CZORString> subKeys, values;
  subKeys.Add(text);
  values.Add(text);
  std::ostringstream out;
  out << key.ReadValue(value, kRegTypeDword) << key.ReadDword(value, dword)
      << key.ReadDwordToInt64(value, wide) << key.ReadQword(value, qword)
      << key.ReadString(value, text) << key.ValueExists(value) << key.EnumSubKeys(subKeys)
      << key.EnumValues(values) << " " << key.GetValueType(value) << " " << subKeys.Size()
      << values.Size() << " " << dword << " " << wide << " " << qword << " " << text.Length();
  return out.str();
}

}  // namespace

// A closed key, a missing value and a value of another type each fail every read, leaving the
// caller's outputs as they were; a present value passes.
TEST(RegistryKey, ReadsReportBothResults) {
  CRegistryKey user(2, L"Reads", true);
  ASSERT_TRUE(user.WriteDword(L"Dword", 7));
  const uint64_t eight = 8;
  ASSERT_TRUE(user.WriteValue(L"Qword", kRegTypeQword, &eight, 8));
  // Each type with the other's length.
  ASSERT_TRUE(user.WriteValue(L"LongDword", kRegTypeDword, &eight, 8));
  ASSERT_TRUE(user.WriteValue(L"ShortQword", kRegTypeQword, &eight, 4));
  CRegistryKey closed;
  const struct {
    CRegistryKey* key;
    const wchar_t* value;
    std::string calls;
  } cases[] = {{&closed, L"Dword", "00000000 0 00 -3 -3 3 3"},
               {&user, L"Missing", "00000011 0 04 -3 -3 3 3"},
               {&user, L"Qword", "00010111 4 04 -3 -3 8 3"},
               {&user, L"LongDword", "10000111 1 04 -3 -3 3 3"},
               {&user, L"ShortQword", "00000111 4 04 -3 -3 3 3"},
               {&user, L"Dword", "11100111 1 04 7 7 3 3"}};
  for (const auto& c : cases) EXPECT_EQ(Reads(*c.key, c.value), c.calls) << c.value;
  EXPECT_FALSE(user.IsVolatile());
  EXPECT_TRUE(CRegistryKey::KeyExists(2));
  EXPECT_FALSE(CRegistryKey::KeyExists(14));  // no defaults were written
  // Nothing may be written or created through a closed key, and closing it again is no failure.
  EXPECT_FALSE(closed.WriteDword(L"Dword", 1));
  EXPECT_FALSE(closed.CreateSubKey(L"Sub"));
  EXPECT_FALSE(closed.OpenSubKey(L"Sub"));
  EXPECT_TRUE(closed.Close());
  EXPECT_TRUE(user.Close());
}

// Each key, sub-key and user hive that a call opens is closed again, also on failure roads.
TEST(RegistryKey, LeavesNoHandleOpen) {
  const uint32_t before = HandleCount();
  // A volatile location created, then found.
  ASSERT_TRUE(CRegistryKey::RegisterPathCreator(16) && CRegistryKey::RegisterPathCreator(16));
  EXPECT_EQ(HandleCount(), before);
  {
    CRegistryKey user(2, L"Handles", true);
    const uint32_t open = HandleCount();  // the key and the user's hive
    ASSERT_TRUE(user.CreateSubKey(L"Sub"));
    ASSERT_TRUE(user.WriteDword(L"Value", 1));
    EXPECT_TRUE(user.SubKeyExists(L"Sub"));
    EXPECT_EQ(HandleCount(), open);
    EXPECT_FALSE(user.OpenSubKey(L"Missing"));
    EXPECT_EQ(HandleCount(), open - 1);
    EXPECT_FALSE(user.Open(2, L"Missing", false));
    EXPECT_EQ(HandleCount(), before);
    ASSERT_TRUE(user.Open(2, L"Handles\\Sub", false));
    EXPECT_EQ(HandleCount(), open);
  }
  EXPECT_EQ(HandleCount(), before);
}

// The whole table, one location a line ("index hive path flags", "-" outside it), then each hive
// handle's name and whether the name reads back to it.
TEST(RegistryLocations, TableBounds) {
  std::wstring table;
  for (int32_t index = -1; index <= kRegistryLocationCount; ++index) {
    const RegistryLocation* row = FindRegistryLocation(index);
    const wchar_t* hive = row != nullptr ? HiveToName(row->hive) : nullptr;
    table += std::to_wstring(index) + L" " + (hive != nullptr ? hive : L"-") + L" " +
             (row != nullptr ? row->path + (L" " + std::to_wstring(row->flags)) : L"-") + L"\n";
  }
  for (const uint32_t handle : {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u, 0x80000004u,
                                0x80000005u, 0x80000006u, 0x80000007u}) {
    const wchar_t* name = HiveToName(os::Handle{handle});
    os::Handle hive{0};
    table += (name != nullptr ? name : L"-") + std::wstring(L" ") +
             (name != nullptr && HiveFromName(name, hive) && hive == os::Handle{handle} ? L"1\n"
                                                                                        : L"0\n");
  }
  EXPECT_EQ(std::string(table.begin(), table.end()),
            zortest::ReadTestData("foundation/registrylocations.txt"));
  CRegistryKey key;
  EXPECT_FALSE(key.Open(24, L"", true));
  EXPECT_FALSE(key.Open(-5, L"", false));
  EXPECT_FALSE(key.Open(7, L"", true));
}

TEST(RegistryKey, ServiceLocationsTakeTheFirstComponent) {
  MachineKey(L"SYSTEM\\CurrentControlSet\\Services\\DRAVIONLYN\\Parameters\\X");
  CRegistryKey key(15, L"DRAVIONLYN\\X", false);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_STREQ(
      key.GetFullPath().CStr(),
      L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\DRAVIONLYN\\Parameters\\X");
  EXPECT_FALSE(key.Open(15, L"", false));
  EXPECT_TRUE(key.Open(18, L"DRAVIONLYN", false));
  EXPECT_STREQ(key.GetPath().CStr(), L"SYSTEM\\CurrentControlSet\\Services\\DRAVIONLYN");
}

TEST(RegistryKey, TextPathsNameTheirHive) {
  MachineKey(L"Software\\Velant\\Child");
  CRegistryKey key;
  EXPECT_TRUE(key.Open(0, L"hkey_local_machine\\Software", false));
  EXPECT_FALSE(key.Open(0, L"HKLM\\Software", false));
  EXPECT_FALSE(key.Open(0, L"HKEY_LOCAL_MACHINE", false));
  EXPECT_TRUE(key.Open(13, L"", false));
  EXPECT_TRUE(key.SubKeyExists(L"child"));
  EXPECT_FALSE(key.SubKeyExists(L"Missing"));
  // No name is no sub-key, not the key itself; a closed key has none.
  EXPECT_FALSE(key.SubKeyExists(nullptr));
  EXPECT_FALSE(CRegistryKey().SubKeyExists(L"Software"));
}

TEST(RegistryKey, VolatileKeysOnlyWhereTheTableSaysAndStamped) {
  CRegistryKey key;
  EXPECT_FALSE(key.Open(1, L"Volatile\\X", true));
  EXPECT_FALSE(key.Open(0, L"HKEY_CURRENT_USER\\Software\\Volatile", true));
  ASSERT_TRUE(key.Open(9, L"X", true));
  EXPECT_TRUE(key.IsVolatile());

  CRegistryKey stamped(9, L"", false);
  int32_t created = 0;
  EXPECT_TRUE(stamped.ReadDword(L"Creation Time", created));
  EXPECT_NE(created, 0);
  CZORString text;
  ASSERT_TRUE(stamped.ReadString(L"PathCreator", text));
  EXPECT_STREQ(text.CStr(), L"Software\\Velant\\Velant Zor Library\\Runtime\\Volatile");
  ASSERT_TRUE(stamped.ReadString(L"Process Name", text));
  EXPECT_STREQ(text.CStr(), L"foundation_tests");

  // Machine-wide volatile keys are created, but the write rule keeps them unstamped.
  ASSERT_TRUE(key.Open(16, L"X", true));
  CRegistryKey machine(16, L"", false);
  EXPECT_FALSE(machine.ValueExists(L"PathCreator"));
  EXPECT_FALSE(CRegistryKey::RegisterPathCreator(10));
  EXPECT_FALSE(key.Open(10, L"Service", true));  // nothing may create it
}

TEST(RegistryKey, WritesOnlyUnderTheCurrentUser) {
  MachineKey(L"Software\\Velant\\Velant Zor Library\\Runtime");
  CRegistryKey machine(1, L"", false);
  ASSERT_TRUE(machine.IsOpen());
  EXPECT_FALSE(machine.WriteDword(L"Value", 5));
  EXPECT_FALSE(machine.ValueExists(L"Value"));

  CRegistryKey user(2, L"", true);
  ASSERT_TRUE(user.WriteDword(L"Value", 0xFFFFFFFF));
  int64_t wide = 0;
  EXPECT_TRUE(user.ReadDwordToInt64(L"Value", wide));
  EXPECT_EQ(wide, -1);
  uint64_t qword = 0;
  EXPECT_TRUE(user.WriteDwordFromInt64(L"Small", 0x100000007));
  int32_t small = 0;
  EXPECT_TRUE(user.ReadDword(L"Small", small));
  EXPECT_EQ(small, 7);
  const wchar_t multi[] = L"a\0b\0";
  EXPECT_FALSE(user.WriteValue(L"Multi", kRegTypeMultiString, multi, sizeof(multi)));
  EXPECT_FALSE(user.WriteValue(L"Odd", kRegTypeUnknown, multi, 4));
  // Each type is written as its own registry type and read back as itself.
  for (const uint32_t type :
       {kRegTypeDword, kRegTypeString, kRegTypeBinary, kRegTypeQword, kRegTypeExpandString}) {
    ASSERT_TRUE(user.WriteValue(L"Typed", type, multi, type == kRegTypeDword ? 4 : 8)) << type;
    EXPECT_EQ(user.GetValueType(L"Typed"), type) << type;
  }
  ASSERT_TRUE(user.WriteValue(L"Typed", kRegTypeQword, multi, 4));  // too short for a qword
  EXPECT_FALSE(user.ReadQword(L"Typed", qword));
}

TEST(RegistryKey, ReadsStringsWithinTheirData) {
  CRegistryKey user(2, L"Strings", true);
  const std::vector<uint8_t> big(2000, 0x5A);
  ASSERT_TRUE(user.WriteValue(L"Big", kRegTypeBinary, big.data(), 2000));
  EXPECT_TRUE(user.ReadValue(L"Big", kRegTypeBinary));
  EXPECT_FALSE(user.ReadValue(L"Big", kRegTypeString));

  const wchar_t unterminated[] = {L'a', L'b', L'c'};
  ASSERT_TRUE(user.WriteValue(L"Raw", kRegTypeString, unterminated, sizeof(unterminated)));
  CZORString text;
  ASSERT_TRUE(user.ReadString(L"Raw", text));
  EXPECT_STREQ(text.CStr(), L"abc");
  const wchar_t expand[] = L"%TEMP%\\x";
  ASSERT_TRUE(user.WriteValue(L"Expand", kRegTypeExpandString, expand, sizeof(expand)));
  ASSERT_TRUE(user.ReadString(L"Expand", text));
  EXPECT_STREQ(text.CStr(), expand);

  os::Handle raw = os::kNullHandle;
  ASSERT_EQ(os::RegOpenKey(os::HKEY_CURRENT_USER,
                           L"Software\\Velant\\Velant Zor Library\\Runtime\\Strings",
                           os::KEY_ALL_ACCESS, &raw),
            os::ERROR_SUCCESS);
  const wchar_t multi[] = L"a\0b\0";
  os::RegSetValue(raw, L"Multi", os::REG_MULTI_SZ, multi, sizeof(multi));
  os::RegSetValue(raw, L"Empty", os::REG_MULTI_SZ, L"", sizeof(wchar_t));
  os::RegCloseKey(raw);
  ASSERT_TRUE(user.ReadString(L"Multi", text));
  EXPECT_STREQ(text.CStr(), L"<a> <b>");
  ASSERT_TRUE(user.ReadString(L"Empty", text));
  EXPECT_STREQ(text.CStr(), L"<>");
  EXPECT_FALSE(user.ReadString(L"Big", text));
}

TEST(RegistryKey, SubKeyWalkAndEnumeration) {
  CRegistryKey user(2, L"Tree", true);
  ASSERT_TRUE(user.CreateSubKey(L"B"));
  ASSERT_TRUE(user.CreateSubKey(L"A"));
  EXPECT_FALSE(user.CreateSubKey(L"C\\\\D"));  // the registry refuses an empty name
  user.WriteDword(L"One", 1);
  user.WriteDword(L"Two", 2);
  // Each listing as "answer: name name ...", the table emptied first.
  CTable1D<CZORString> names;
  const auto listed = [&names](bool answer) {
    std::wstring text = answer ? L"1:" : L"0:";
    for (int64_t i = 0; i < names.Size(); ++i) text += L" " + std::wstring(names[i].CStr());
    return text;
  };
  EXPECT_EQ(listed(user.EnumSubKeys(names)), L"1: A B");
  EXPECT_EQ(listed(user.EnumValues(names)), L"1: One Two");
  ASSERT_TRUE(user.OpenSubKey(L"A"));
  EXPECT_EQ(listed(user.EnumValues(names)), L"1:");
  ASSERT_TRUE(user.OpenSubKey(L"..\\B"));
  EXPECT_STREQ(user.GetPath().CStr(), L"Software\\Velant\\Velant Zor Library\\Runtime\\Tree\\B");
  EXPECT_FALSE(user.OpenSubKey(L""));
  ASSERT_TRUE(user.OpenSubKey(L"\\Software"));
  EXPECT_STREQ(user.GetPath().CStr(), L"Software");
  EXPECT_FALSE(user.OpenSubKey(L"Missing"));
  EXPECT_FALSE(user.IsOpen());
  EXPECT_STREQ(user.GetPath().CStr(), L"Software");
}
