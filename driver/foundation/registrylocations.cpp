// The table of the driver's registry locations, and hive names to and from handles.
#include "driver/foundation/registrylocations.h"

#include <cwchar>

namespace zor::foundation {

namespace {

constexpr os::Handle kNoHive{0};
constexpr const wchar_t* kRuntime = L"Software\\Velant\\Velant Zor Library\\Runtime";

constexpr RegistryLocation kLocations[kRegistryLocationCount] = {
    {kNoHive, L"", 0},
    {os::HKEY_LOCAL_MACHINE, kRuntime, 0},
    {os::HKEY_CURRENT_USER, kRuntime, 0},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Velant Zor Library\\Runtime\\Install", 0},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Velant Zor Library\\Runtime\\MP", 0},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Velant Zor Library", 0},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Imaging Board", 0},
    {kNoHive, L"", kRegLocationClosed},
    {kNoHive, L"", kRegLocationClosed},
    {os::HKEY_CURRENT_USER, L"Software\\Velant\\Velant Zor Library\\Runtime\\Volatile",
     kRegLocationVolatile},
    {os::HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\%s\\Volatile",
     kRegLocationVolatile | kRegLocationServiceName},
    {kNoHive, L"", kRegLocationClosed},
    {kNoHive, L"", kRegLocationClosed},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant", 0},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Velant Zor Library\\Runtime\\Defaults", 0},
    {os::HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\%s\\Parameters",
     kRegLocationServiceName},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Velant Zor Library\\Runtime\\Volatile",
     kRegLocationVolatile},
    {os::HKEY_CURRENT_USER, L"Software\\Velant", 0},
    {os::HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\%s", kRegLocationServiceName},
    {os::HKEY_USERS, L"S-1-5-18\\Software\\Velant\\Velant Zor Library\\Runtime", 0},
    {os::HKEY_USERS, L"S-1-5-19\\Software\\Velant\\Velant Zor Library\\Runtime", 0},
    {os::HKEY_USERS, L"S-1-5-20\\Software\\Velant\\Velant Zor Library\\Runtime", 0},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant Zor Library\\Runtime\\Volatile",
     kRegLocationVolatile},
    {os::HKEY_LOCAL_MACHINE, L"Software\\Velant Zor Library\\Runtime", 0},
};

struct HiveName {
  os::Handle hive;
  const wchar_t* name;
};

constexpr HiveName kHiveNames[] = {
    {os::HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},
    {os::HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
    {os::HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"},
    {os::HKEY_USERS, L"HKEY_USERS"},
    {os::HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG"},
    {HKEY_DYN_DATA, L"HKEY_DYN_DATA"},
    {HKEY_PERFORMANCE_DATA, L"HKEY_PERFORMANCE_DATA"},
};

}  // namespace

const RegistryLocation* FindRegistryLocation(int32_t index) {
  if (index < 0 || index >= kRegistryLocationCount) return nullptr;
  return &kLocations[index];
}

const wchar_t* HiveToName(os::Handle hive) {
  for (const HiveName& entry : kHiveNames) {
    if (entry.hive == hive) return entry.name;
  }
  return nullptr;
}

bool HiveFromName(const wchar_t* name, os::Handle& hive) {
  for (const HiveName& entry : kHiveNames) {
    if (wcscasecmp(entry.name, name) == 0) {
      hive = entry.hive;
      return true;
    }
  }
  return false;
}

}  // namespace zor::foundation
