// Machine keys that the driver only reads, prepared straight through the registry.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/os/registry/registry.h"

namespace foundationtest {

// Creates the key, and with a name sets its value.
inline void SetMachineValue(const std::wstring& path, const wchar_t* name, uint32_t type,
                            const void* data, uint32_t size) {
  os::Handle key = os::kNullHandle;
  ASSERT_EQ(os::RegCreateKey(os::HKEY_LOCAL_MACHINE, path.c_str(), os::REG_OPTION_NON_VOLATILE,
                             os::KEY_ALL_ACCESS, &key, nullptr),
            os::ERROR_SUCCESS);
  if (name != nullptr) {
    ASSERT_EQ(os::RegSetValue(key, name, type, data, size), os::ERROR_SUCCESS);
  }
  os::RegCloseKey(key);
}

inline void SetMachineDword(const std::wstring& path, const wchar_t* name, uint32_t value) {
  SetMachineValue(path, name, os::REG_DWORD, &value, sizeof(value));
}

inline void SetMachineString(const std::wstring& path, const wchar_t* name,
                             const std::wstring& value) {
  SetMachineValue(path, name, os::REG_SZ, value.c_str(),
                  static_cast<uint32_t>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace foundationtest
