// The driver's registry locations, addressed by index, and the names of the hives.
#pragma once

#include <cstdint>

#include "platform/os/registry/registry.h"

namespace zor::foundation {

// The driver's registry locations, addressed by index.
struct RegistryLocation {
  os::Handle hive;  // null for location 0, whose sub-path is a full text path
  const wchar_t* path;
  uint32_t flags;
};

inline constexpr uint32_t kRegLocationServiceName = 0x1;  // the path's %s takes a service name
inline constexpr uint32_t kRegLocationVolatile = 0x100;
inline constexpr uint32_t kRegLocationClosed = 0x10000;  // cannot be opened
inline constexpr int32_t kRegistryLocationCount = 24;

// The locations the driver's parts open by index.
inline constexpr int32_t kMachineRuntimeLocation = 1;   // the library's runtime settings
inline constexpr int32_t kUserRuntimeLocation = 2;      // the same, the user's own
inline constexpr int32_t kInstallLocation = 3;          // where the library is installed
inline constexpr int32_t kImagingBoardLocation = 6;     // the imaging boards' settings
inline constexpr int32_t kVolatileRuntimeLocation = 9;  // the user's, gone at restart

// Hives the registry here does not keep; named so that text paths can still be parsed.
inline constexpr os::Handle HKEY_PERFORMANCE_DATA{0x80000004};
inline constexpr os::Handle HKEY_DYN_DATA{0x80000006};

// Null for an index outside the table.
const RegistryLocation* FindRegistryLocation(int32_t index);

// "HKEY_LOCAL_MACHINE" and the like; null for a handle that is not a predefined hive.
const wchar_t* HiveToName(os::Handle hive);
// The hive named (ignoring case); false for an unknown name.
bool HiveFromName(const wchar_t* name, os::Handle& hive);

}  // namespace zor::foundation
