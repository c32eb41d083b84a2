// A registry of keys and typed values stored in files under ZOR_REGISTRY_ROOT.
// Functions return a Windows error code, like the Reg* family.
// HKEY_LOCAL_MACHINE\HARDWARE\DESCRIPTION\System\CentralProcessor\N is a
// read-only view of /proc/cpuinfo ("~MHz", "VendorIdentifier",
// "ProcessorNameString", "Identifier"), and HARDWARE\DEVICEMAP\SERIALCOMM one
// of the machine's serial ports (serial/port_list.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os/core/handle.h"

namespace os {

// Predefined roots.
inline constexpr Handle HKEY_CLASSES_ROOT{0x80000000};
inline constexpr Handle HKEY_CURRENT_USER{0x80000001};
inline constexpr Handle HKEY_LOCAL_MACHINE{0x80000002};
inline constexpr Handle HKEY_USERS{0x80000003};
inline constexpr Handle HKEY_CURRENT_CONFIG{0x80000005};

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

// Access rights: a key opened without KEY_SET_VALUE / KEY_CREATE_SUB_KEY
// refuses writes with ERROR_ACCESS_DENIED.
inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_WRITE = 0x20006;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

// Creation options and dispositions.
inline constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr uint32_t REG_OPTION_VOLATILE = 1;
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// Limits: key name parts and value names in characters, value data in bytes,
// and the parts of a key's path below its hive.
inline constexpr uint32_t kMaxKeyNameChars = 255;
inline constexpr uint32_t kMaxValueNameChars = 16383;
inline constexpr uint32_t kMaxValueBytes = 1u << 20;
inline constexpr size_t kMaxKeyDepth = 512;
// A key's file in bytes: a larger one reads as corrupt without being read, and a change that
// would make one is refused (ERROR_CANTWRITE).
inline constexpr size_t kMaxKeyFileBytes = size_t{4} << 20;

// Sub-key paths use '\\' between parts; a null or empty path names the key
// itself. Names ignore case and keep the case they were created with.
// Volatile keys vanish when the machine restarts (the boot id changes; it is
// read from /proc/sys/kernel/random/boot_id or from ZOR_BOOT_ID when set).
uint32_t RegCreateKey(Handle parent, const wchar_t* subKey, uint32_t options, uint32_t access,
                      Handle* result, uint32_t* disposition);
uint32_t RegOpenKey(Handle parent, const wchar_t* subKey, uint32_t access, Handle* result);
// The current user's root, as a handle that must be closed.
uint32_t RegOpenCurrentUser(uint32_t access, Handle* result);
uint32_t RegCloseKey(Handle key);
// Every write is on disk when it returns; kept for callers that flush.
uint32_t RegFlushKey(Handle key);

// A null or empty name is the key's default value.
uint32_t RegSetValue(Handle key, const wchar_t* name, uint32_t type, const void* data,
                     uint32_t size);
// size is in/out in bytes. data null: the size needed. Too small: the size
// needed and ERROR_MORE_DATA. type may be null.
uint32_t RegQueryValue(Handle key, const wchar_t* name, uint32_t* type, void* data, uint32_t* size);
uint32_t RegDeleteValue(Handle key, const wchar_t* name);
// Deletes a key that has no sub-keys.
uint32_t RegDeleteKey(Handle parent, const wchar_t* subKey);

// Enumeration in a stable order (sub-keys by name ignoring case, values in
// creation order) ending with ERROR_NO_MORE_ITEMS. nameChars is in/out: the
// buffer's size in characters, then the name's length without the NUL; a
// buffer too small gives ERROR_MORE_DATA.
uint32_t RegEnumKey(Handle key, uint32_t index, wchar_t* name, uint32_t* nameChars);
uint32_t RegEnumValue(Handle key, uint32_t index, wchar_t* name, uint32_t* nameChars,
                      uint32_t* type, void* data, uint32_t* size);

}  // namespace os
