// CRegistryKey's value reads, writes and listings, with own value types mapped to the registry's.
#include <cstring>
#include <string>

#include "driver/foundation/registrykey.h"

namespace zor::foundation {

namespace {

constexpr uint32_t kMaxEnumName = 1024;

// Own value types and the registry's; the multi-string is read but never written.
struct ValueType {
  uint32_t own;
  uint32_t registry;
};

constexpr ValueType kValueTypes[] = {
    {kRegTypeDword, os::REG_DWORD},
    {kRegTypeString, os::REG_SZ},
    {kRegTypeBinary, os::REG_BINARY},
    {kRegTypeQword, os::REG_QWORD},
    {kRegTypeExpandString, os::REG_EXPAND_SZ},
    {kRegTypeMultiString, os::REG_MULTI_SZ},
};

uint32_t OwnType(uint32_t registryType) {
  for (const ValueType& type : kValueTypes) {
    if (type.registry == registryType) return type.own;
  }
  return kRegTypeUnknown;
}

bool RegistryType(uint32_t ownType, uint32_t& registryType) {
  if (ownType == kRegTypeMultiString) return false;
  for (const ValueType& type : kValueTypes) {
    if (type.own == ownType) {
      registryType = type.registry;
      return true;
    }
  }
  return false;
}

// Empties the table, then appends every name that next(key, index, buffer, chars) gives until
// the registry has no more; true when it ended that way.
template <typename Next>
bool EnumNames(CTable1D<CZORString>& names, os::Handle key, Next next) {
  names.SetSize(0, false);
  if (key == os::kNullHandle) return false;
  wchar_t name[kMaxEnumName + 1];
  for (uint32_t index = 0;; ++index) {
    uint32_t chars = kMaxEnumName + 1;
    const uint32_t result = next(key, index, name, &chars);
    if (result == os::ERROR_NO_MORE_ITEMS) return true;
    if (result != os::ERROR_SUCCESS) return false;
    names.Add(CZORString(name));
  }
}

}  // namespace

bool CRegistryKey::ReadValue(const wchar_t* name, uint32_t type) {
  dataLength_ = 0;
  if (key_ == os::kNullHandle) return false;
  uint32_t registryType = 0;
  uint32_t size = 0;
  if (os::RegQueryValue(key_, name, &registryType, nullptr, &size) != os::ERROR_SUCCESS) {
    return false;
  }
  if (size > valueBuffer_.size()) valueBuffer_.resize(size);
  for (;;) {
    size = static_cast<uint32_t>(valueBuffer_.size());
    const uint32_t result =
        os::RegQueryValue(key_, name, &registryType, valueBuffer_.data(), &size);
    if (result == os::ERROR_MORE_DATA && size > valueBuffer_.size()) {
      valueBuffer_.resize(size);
      continue;
    }
    if (result != os::ERROR_SUCCESS) return false;
    break;
  }
  dataLength_ = size;
  return OwnType(registryType) == type;
}

bool CRegistryKey::ReadDword(const wchar_t* name, int32_t& value) {
  if (!ReadValue(name, kRegTypeDword) || dataLength_ != 4) return false;
  memcpy(&value, valueBuffer_.data(), 4);
  return true;
}

bool CRegistryKey::ReadDwordToInt64(const wchar_t* name, int64_t& value) {
  int32_t dword = 0;
  if (!ReadDword(name, dword)) return false;
  value = dword;
  return true;
}

bool CRegistryKey::ReadQword(const wchar_t* name, uint64_t& value) {
  if (!ReadValue(name, kRegTypeQword) || dataLength_ != 8) return false;
  memcpy(&value, valueBuffer_.data(), 8);
  return true;
}

bool CRegistryKey::ReadString(const wchar_t* name, CZORString& value) {
  const uint32_t type = GetValueType(name);
  if (type != kRegTypeString && type != kRegTypeExpandString && type != kRegTypeMultiString) {
    return false;
  }
  if (!ReadValue(name, type)) return false;
  // The stored data need not end with a NUL: read only what is there.
  std::wstring data(dataLength_ / sizeof(wchar_t), L'\0');
  memcpy(data.data(), valueBuffer_.data(), data.size() * sizeof(wchar_t));
  if (type != kRegTypeMultiString) {
    value.Assign(data.c_str());
    return true;
  }
  std::wstring joined = L"<";
  bool first = true;
  for (size_t at = 0; at < data.size();) {
    const size_t end = data.find(L'\0', at);
    const std::wstring piece = data.substr(at, end == std::wstring::npos ? end : end - at);
    if (piece.empty()) break;  // the empty string ends the list
    if (!first) joined += L"> <";
    joined += piece;
    first = false;
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  joined += L">";
  value.Assign(joined.c_str());
  return true;
}

uint32_t CRegistryKey::GetValueType(const wchar_t* name) const {
  if (key_ == os::kNullHandle) return kRegTypeUnknown;
  uint32_t registryType = 0;
  uint32_t size = 0;
  if (os::RegQueryValue(key_, name, &registryType, nullptr, &size) != os::ERROR_SUCCESS) {
    return kRegTypeUnknown;
  }
  return OwnType(registryType);
}

bool CRegistryKey::ValueExists(const wchar_t* name) const {
  uint32_t size = 0;
  return key_ != os::kNullHandle &&
         os::RegQueryValue(key_, name, nullptr, nullptr, &size) == os::ERROR_SUCCESS;
}

bool CRegistryKey::WriteValue(const wchar_t* name, uint32_t type, const void* data,
                              uint32_t length) {
  uint32_t registryType = 0;
  if (key_ == os::kNullHandle || !UnderCurrentUser() || !RegistryType(type, registryType)) {
    return false;
  }
  if (!ReopenKey(os::KEY_ALL_ACCESS)) {
    ReopenKey(os::KEY_READ);
    return false;
  }
  const bool written = os::RegSetValue(key_, name, registryType, data, length) == os::ERROR_SUCCESS;
  if (written) written_ = true;
  return ReopenKey(os::KEY_READ) && written;
}

bool CRegistryKey::WriteDword(const wchar_t* name, uint32_t value) {
  return WriteValue(name, kRegTypeDword, &value, sizeof(value));
}

bool CRegistryKey::WriteDwordFromInt64(const wchar_t* name, int64_t value) {
  return WriteDword(name, static_cast<uint32_t>(value));
}

bool CRegistryKey::EnumSubKeys(CTable1D<CZORString>& names) {
  return EnumNames(names, key_, [](os::Handle key, uint32_t index, wchar_t* name, uint32_t* chars) {
    return os::RegEnumKey(key, index, name, chars);
  });
}

bool CRegistryKey::EnumValues(CTable1D<CZORString>& names) {
  return EnumNames(names, key_, [](os::Handle key, uint32_t index, wchar_t* name, uint32_t* chars) {
    return os::RegEnumValue(key, index, name, chars, nullptr, nullptr, nullptr);
  });
}

}  // namespace zor::foundation
