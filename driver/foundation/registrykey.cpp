// CRegistryKey: opening, creating and closing keys, by location index or by text path.
#include "driver/foundation/registrykey.h"

#include <cwchar>
#include <cwctype>
#include <string>

#include "driver/foundation/registrylocations.h"

namespace zor::foundation {

namespace {

bool ContainsVolatile(const CZORString& path) {
  std::wstring lower(path.CStr());
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  return lower.find(L"volatile") != std::wstring::npos;
}

}  // namespace

CRegistryKey::CRegistryKey(int32_t location, const wchar_t* subPath, bool create) {
  Open(location, subPath, create);
}

CRegistryKey::~CRegistryKey() {
  if (written_ && key_ != os::kNullHandle) os::RegFlushKey(key_);
  Close();
}

bool CRegistryKey::Open(int32_t location, const wchar_t* subPath, bool create) {
  Close();
  ClearState();
  const RegistryLocation* row = FindRegistryLocation(location);
  if (row == nullptr || (row->flags & kRegLocationClosed) != 0) return false;
  const bool volatileLocation = (row->flags & kRegLocationVolatile) != 0;
  if (volatileLocation && create && !RegisterPathCreator(location)) return false;
  const std::wstring sub = subPath != nullptr ? subPath : L"";

  os::Handle hive = row->hive;
  std::wstring path;
  if (location == 0) {
    const size_t slash = sub.find(L'\\');
    if (slash == std::wstring::npos || !HiveFromName(sub.substr(0, slash).c_str(), hive)) {
      return false;
    }
    path = sub.substr(slash + 1);
  } else if ((row->flags & kRegLocationServiceName) != 0) {
    if (sub.empty()) return false;
    const size_t slash = sub.find(L'\\');
    const std::wstring service = sub.substr(0, slash);
    const std::wstring rest = slash == std::wstring::npos ? L"" : sub.substr(slash);
    path = row->path;
    path.replace(path.find(L"%s"), 2, service);
    path += rest;
  } else {
    path = row->path;
    if (!sub.empty()) path += L"\\" + sub;
  }
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  const CZORString zorPath(path.c_str());
  const bool volatileKey = volatileLocation || ContainsVolatile(zorPath);
  // A volatile key may only be created where the table says so.
  if (create && volatileKey && !volatileLocation) return false;
  return OpenPath(hive, zorPath, create, volatileKey);
}

bool CRegistryKey::OpenPath(os::Handle hive, const CZORString& path, bool create,
                            bool volatileKey) {
  volatile_ = volatileKey;
  namedHive_ = hive;
  hive_ = hive;
  path_ = path;
  if (hive == os::HKEY_CURRENT_USER) {
    os::Handle userHive = os::kNullHandle;
    if (os::RegOpenCurrentUser(os::KEY_ALL_ACCESS, &userHive) == os::ERROR_SUCCESS) {
      hive_ = userHive;
      userHiveOpened_ = true;
    }
  }
  uint32_t result;
  if (create) {
    const uint32_t options = volatile_ ? os::REG_OPTION_VOLATILE : os::REG_OPTION_NON_VOLATILE;
    result =
        os::RegCreateKey(hive_, path_.CStr(), options, os::KEY_READ | extraAccess_, &key_, nullptr);
    written_ = true;
  } else {
    result = os::RegOpenKey(hive_, path_.CStr(), os::KEY_READ | extraAccess_, &key_);
  }
  if (result != os::ERROR_SUCCESS) {
    key_ = os::kNullHandle;
    Close();
    ClearState();
    return false;
  }
  return true;
}

bool CRegistryKey::Close() {
  bool ok = true;
  if (key_ != os::kNullHandle) ok = os::RegCloseKey(key_) == os::ERROR_SUCCESS;
  key_ = os::kNullHandle;
  if (userHiveOpened_) ok = os::RegCloseKey(hive_) == os::ERROR_SUCCESS && ok;
  userHiveOpened_ = false;
  hive_ = namedHive_;
  return ok;
}

void CRegistryKey::ClearState() {
  volatile_ = false;
  namedHive_ = os::kNullHandle;
  hive_ = os::kNullHandle;
  written_ = false;
  path_.Assign(L"");
  dataLength_ = 0;
}

bool CRegistryKey::KeyExists(int32_t location) {
  CRegistryKey key;
  return key.Open(location, L"", false);
}

bool CRegistryKey::SubKeyExists(const wchar_t* name) const {
  const wchar_t* hiveName = HiveToName(namedHive_);
  if (hiveName == nullptr || name == nullptr) return false;
  CZORString text(hiveName);
  if (path_.Length() > 0) text.Append(L"\\");
  text.Append(path_);
  text.Append(L"\\");
  text.Append(name);
  CRegistryKey probe;
  return probe.Open(0, text.CStr(), false);
}

bool CRegistryKey::OpenSubKey(const wchar_t* relativePath) {
  if (hive_ == os::kNullHandle) return false;
  const CZORString saved(path_);
  if (!ChangePath(relativePath) || !ReopenKey(os::KEY_READ)) {
    path_ = saved;
    if (key_ != os::kNullHandle) os::RegCloseKey(key_);
    key_ = os::kNullHandle;
    return false;
  }
  return true;
}

bool CRegistryKey::ChangePath(const wchar_t* relativePath) {
  if (relativePath == nullptr || relativePath[0] == L'\0') return false;
  std::wstring rest = relativePath;
  std::wstring path = path_.CStr();
  while (!rest.empty()) {
    if (rest[0] == L'\\') {
      path.clear();
      rest.erase(0, 1);
    } else if (rest == L".." || rest.rfind(L"..\\", 0) == 0) {
      if (path.empty()) return false;
      const size_t slash = path.rfind(L'\\');
      path.erase(slash == std::wstring::npos ? 0 : slash);
      rest.erase(0, rest.size() > 2 ? 3 : 2);
    } else {
      if (!path.empty()) path += L'\\';
      path += rest;
      rest.clear();
    }
  }
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  path_.Assign(path.c_str());
  return true;
}

// Reopens the key at its path with the given access; on failure the key stays closed.
bool CRegistryKey::ReopenKey(uint32_t access) {
  if (key_ != os::kNullHandle) os::RegCloseKey(key_);
  key_ = os::kNullHandle;
  if (os::RegOpenKey(hive_, path_.CStr(), access | extraAccess_, &key_) != os::ERROR_SUCCESS) {
    key_ = os::kNullHandle;
    return false;
  }
  return true;
}

bool CRegistryKey::CreateSubKey(const wchar_t* name) {
  if (key_ == os::kNullHandle || name == nullptr || name[0] == L'\0') return false;
  // Created from the hive: the open key itself is only readable.
  CZORString path(path_);
  if (path.Length() > 0) path.Append(L"\\");
  path.Append(name);
  os::Handle sub = os::kNullHandle;
  const uint32_t options = volatile_ ? os::REG_OPTION_VOLATILE : os::REG_OPTION_NON_VOLATILE;
  if (os::RegCreateKey(hive_, path.CStr(), options, os::KEY_READ, &sub, nullptr) !=
      os::ERROR_SUCCESS) {
    return false;
  }
  os::RegCloseKey(sub);
  written_ = true;
  return true;
}

CZORString CRegistryKey::GetFullPath() const {
  const wchar_t* hiveName = HiveToName(namedHive_);
  CZORString full(hiveName != nullptr ? hiveName : L"");
  full.Append(L"\\");
  full.Append(path_);
  return full;
}

bool CRegistryKey::UnderCurrentUser() const {
  return namedHive_ == os::HKEY_CURRENT_USER || userHiveOpened_;
}

}  // namespace zor::foundation
