#include "platform/os/registry/registry.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/core/object.h"
#include "platform/os/core/paths.h"
#include "platform/os/registry/hardware_keys.h"
#include "platform/os/registry/key_file.h"

namespace os::detail {
namespace {

struct Hive {
  Handle handle;
  const char* folder;
};

// Constant-initialised: a thread may call in while another still loads the library.
constexpr Hive kHives[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

// The folder of a predefined hive; null for any other handle.
const char* HiveFolder(Handle handle) {
  for (const Hive& hive : kHives) {
    if (hive.handle == handle) return hive.folder;
  }
  return nullptr;
}

// An open key: its hive, its path parts as created and its access rights.
struct KeyPath {
  Handle hive{};
  std::vector<std::wstring> parts;
  uint32_t access = KEY_ALL_ACCESS;

  std::vector<std::wstring> Folded() const {
    std::vector<std::wstring> folded;
    for (const auto& part : parts) folded.push_back(FoldCase(part));
    return folded;
  }
  bool Overlay() const { return hive == HKEY_LOCAL_MACHINE && InHardwareView(Folded()); }
  std::filesystem::path Folder(size_t depth) const {
    const std::filesystem::path root =
        hive == HKEY_LOCAL_MACHINE ? MachineRegistryRoot() : RegistryRoot();
    std::filesystem::path folder = root / HiveFolder(hive);
    for (size_t i = 0; i < depth; ++i) folder /= FolderName(parts[i]);
    return folder;
  }
  std::filesystem::path Folder() const { return Folder(parts.size()); }
};

class Key : public Object {
 public:
  static constexpr Kind kKind = Kind::kKey;
  explicit Key(KeyPath path) : Object(kKind), path(std::move(path)) {}
  const KeyPath path;
};

std::optional<KeyPath> Resolve(Handle handle) {
  if (HiveFolder(handle) != nullptr) return KeyPath{handle, {}, KEY_ALL_ACCESS};
  std::shared_ptr<Key> key = Lookup<Key>(handle);
  if (key == nullptr) return std::nullopt;
  return key->path;
}

// Appends the parts of subKey; a trailing backslash is allowed. A path deeper than a registry
// tree may be is refused before anything is made of it.
uint32_t Append(KeyPath& path, const wchar_t* subKey) {
  if (subKey == nullptr) return ERROR_SUCCESS;
  std::wstring rest = subKey;
  if (!rest.empty() && rest.front() == L'\\') return ERROR_BAD_PATHNAME;
  while (!rest.empty() && rest.back() == L'\\') rest.pop_back();
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find(L'\\', start);
    if (end == std::wstring::npos) end = rest.size();
    if (end == start) return ERROR_BAD_PATHNAME;
    if (end - start > kMaxKeyNameChars || path.parts.size() == kMaxKeyDepth) {
      return ERROR_INVALID_PARAMETER;
    }
    path.parts.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

uint32_t Load(const KeyPath& path, KeyFile* key) {
  if (path.Overlay()) {
    std::optional<KeyFile> view = HardwareKey(path.Folded());
    if (!view) return ERROR_FILE_NOT_FOUND;
    *key = std::move(*view);
    return ERROR_SUCCESS;
  }
  uint32_t result = LoadKey(path.Folder(), key);
  if (result == ERROR_FILE_NOT_FOUND && path.parts.empty()) {
    *key = KeyFile{};
    return ERROR_SUCCESS;
  }
  return result;
}

// Loads an open key; one that vanished since it was opened is deleted.
uint32_t LoadOpen(const KeyPath& path, KeyFile* key) {
  uint32_t result = Load(path, key);
  return result == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : result;
}

// Resolves and loads an open key whose access holds the right.
uint32_t LoadForReading(Handle handle, uint32_t right, KeyPath* path, KeyFile* key) {
  std::optional<KeyPath> resolved = Resolve(handle);
  if (!resolved) return ERROR_INVALID_HANDLE;
  if ((resolved->access & right) == 0) return ERROR_ACCESS_DENIED;
  *path = std::move(*resolved);
  return LoadOpen(*path, key);
}

// Creates or opens each key of the path in turn. A key is made while its parent's lock is held,
// so that the parent cannot be deleted under it; holding the parent alone is enough, as a key
// with a live sub-key cannot be deleted.
uint32_t CreateKeys(const KeyPath& path, bool isVolatile, uint32_t* disposition) {
  std::unique_ptr<KeyLock> parentLock;
  bool parentVolatile = false;
  for (size_t depth = 1; depth <= path.parts.size(); ++depth) {
    const std::filesystem::path folder = path.Folder(depth);
    auto lock = std::make_unique<KeyLock>(folder, true);
    if (!lock->locked()) return lock->failure(true);
    bool keyVolatile = false;
    const uint32_t result = ChangeLockedKey(folder, true, [&](KeyFile& key, bool existed) {
      if (existed) {
        keyVolatile = !key.bootId.empty();
        return kKeyUnchanged;
      }
      if (parentVolatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
      key.name = path.parts[depth - 1];
      key.bootId = isVolatile ? CurrentBootId() : std::string();
      keyVolatile = isVolatile;
      if (depth == path.parts.size()) *disposition = REG_CREATED_NEW_KEY;
      return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS) return result;
    parentLock = std::move(lock);
    parentVolatile = keyVolatile;
  }
  return ERROR_SUCCESS;
}

// The hive's folder, made when it is missing.
uint32_t MakeHiveFolder(const KeyPath& path) {
  std::error_code error;
  std::filesystem::create_directories(path.Folder(0), error);
  return error ? WriteFailure(error.value()) : ERROR_SUCCESS;
}

uint32_t CreatePath(const KeyPath& path, bool isVolatile, uint32_t* disposition) {
  *disposition = REG_OPENED_EXISTING_KEY;
  if (path.Overlay()) {
    KeyFile view;
    return Load(path, &view) == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  }
  if (uint32_t made = MakeHiveFolder(path); made != ERROR_SUCCESS) return made;
  if (path.parts.empty()) return ERROR_SUCCESS;
  const uint32_t status = CreateKeys(path, isVolatile, disposition);
  // One who may not write there (a user in the machine's hive) still opens a key that exists.
  KeyFile existing;
  if (status == ERROR_ACCESS_DENIED && LoadKey(path.Folder(), &existing) == ERROR_SUCCESS) {
    return ERROR_SUCCESS;
  }
  return status;
}

uint32_t ChangeValues(Handle handle, const std::function<uint32_t(KeyFile&)>& change) {
  std::optional<KeyPath> path = Resolve(handle);
  if (!path) return ERROR_INVALID_HANDLE;
  if ((path->access & KEY_SET_VALUE) == 0 || path->Overlay()) return ERROR_ACCESS_DENIED;
  if (path->parts.empty()) {
    if (uint32_t made = MakeHiveFolder(*path); made != ERROR_SUCCESS) return made;
  }
  bool found = false;
  uint32_t result = ChangeKey(path->Folder(), path->parts.empty(), [&](KeyFile& key, bool) {
    found = true;
    return change(key);
  });
  return found || result != ERROR_FILE_NOT_FOUND ? result : ERROR_KEY_DELETED;
}

// Copies data with the size conventions of RegQueryValueEx.
uint32_t DeliverData(const RegistryValue& value, uint32_t* type, void* data, uint32_t* size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if (type != nullptr) *type = value.type;
  if (size == nullptr) return ERROR_SUCCESS;
  const auto needed = static_cast<uint32_t>(value.data.size());
  if (data == nullptr) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed > 0) std::memcpy(data, value.data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

uint32_t DeliverName(const std::wstring& text, wchar_t* name, uint32_t* nameChars) {
  if (name == nullptr || nameChars == nullptr) return ERROR_INVALID_PARAMETER;
  if (*nameChars <= text.size()) return ERROR_MORE_DATA;
  text.copy(name, text.size());
  name[text.size()] = L'\0';
  *nameChars = static_cast<uint32_t>(text.size());
  return ERROR_SUCCESS;
}

std::vector<std::wstring> SubKeyNames(const KeyPath& path) {
  std::vector<std::wstring> names;
  if (path.Overlay()) {
    names = HardwareSubKeys(path.Folded());
  } else {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path.Folder(), ignored)) {
      KeyFile child;
      if (entry.is_directory(ignored) && LoadKey(entry.path(), &child) == ERROR_SUCCESS) {
        names.push_back(child.name);
      }
    }
    if (path.hive == HKEY_LOCAL_MACHINE && path.parts.empty()) {
      std::vector<std::wstring> view = HardwareSubKeys({});
      names.insert(names.end(), view.begin(), view.end());
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::wstring& a, const std::wstring& b) { return FoldCase(a) < FoldCase(b); });
  return names;
}

std::wstring ValueName(const wchar_t* name) { return name == nullptr ? std::wstring() : name; }

}  // namespace
}  // namespace os::detail

namespace os {

using detail::KeyFile;
using detail::KeyPath;

uint32_t RegCreateKey(Handle parent, const wchar_t* subKey, uint32_t options, uint32_t access,
                      Handle* result, uint32_t* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = kNullHandle;
  std::optional<KeyPath> path = detail::Resolve(parent);
  if (!path) return ERROR_INVALID_HANDLE;
  if ((options & ~REG_OPTION_VOLATILE) != 0) return ERROR_INVALID_PARAMETER;
  KeyFile parentKey;
  if (uint32_t status = detail::LoadOpen(*path, &parentKey); status != ERROR_SUCCESS) {
    return status;
  }
  if (uint32_t status = detail::Append(*path, subKey); status != ERROR_SUCCESS) return status;
  if ((path->access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
  uint32_t created = 0;
  uint32_t status = detail::CreatePath(*path, (options & REG_OPTION_VOLATILE) != 0, &created);
  if (status != ERROR_SUCCESS) return status;
  path->access = access;
  *result = detail::InsertHandle(std::make_shared<detail::Key>(std::move(*path)));
  if (disposition != nullptr) *disposition = created;
  return ERROR_SUCCESS;
}

uint32_t RegOpenKey(Handle parent, const wchar_t* subKey, uint32_t access, Handle* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = kNullHandle;
  std::optional<KeyPath> path = detail::Resolve(parent);
  if (!path) return ERROR_INVALID_HANDLE;
  if (uint32_t status = detail::Append(*path, subKey); status != ERROR_SUCCESS) return status;
  KeyFile key;
  if (uint32_t status = detail::Load(*path, &key); status != ERROR_SUCCESS) return status;
  path->access = access;
  *result = detail::InsertHandle(std::make_shared<detail::Key>(std::move(*path)));
  return ERROR_SUCCESS;
}

uint32_t RegOpenCurrentUser(uint32_t access, Handle* result) {
  return RegOpenKey(HKEY_CURRENT_USER, nullptr, access, result);
}

uint32_t RegCloseKey(Handle key) {
  if (detail::HiveFolder(key) != nullptr) return ERROR_SUCCESS;
  if (detail::Lookup<detail::Key>(key) == nullptr) return ERROR_INVALID_HANDLE;
  return CloseHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

uint32_t RegFlushKey(Handle key) {
  return detail::Resolve(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

uint32_t RegSetValue(Handle key, const wchar_t* name, uint32_t type, const void* data,
                     uint32_t size) {
  if ((data == nullptr && size != 0) || size > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  const std::wstring valueName = detail::ValueName(name);
  if (valueName.size() > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
  const auto* bytes = static_cast<const unsigned char*>(data);
  return detail::ChangeValues(key, [&](KeyFile& file) {
    detail::RegistryValue* value = file.FindValue(valueName);
    if (value == nullptr) {
      file.values.push_back({valueName, type, {}});
      value = &file.values.back();
    }
    value->type = type;
    value->data.assign(bytes, bytes + size);
    return ERROR_SUCCESS;
  });
}

uint32_t RegQueryValue(Handle key, const wchar_t* name, uint32_t* type, void* data,
                       uint32_t* size) {
  KeyPath path;
  KeyFile file;
  const uint32_t loaded = detail::LoadForReading(key, KEY_QUERY_VALUE, &path, &file);
  if (loaded != ERROR_SUCCESS) return loaded;
  const detail::RegistryValue* value = file.FindValue(detail::ValueName(name));
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  return detail::DeliverData(*value, type, data, size);
}

uint32_t RegDeleteValue(Handle key, const wchar_t* name) {
  const std::wstring valueName = detail::ValueName(name);
  return detail::ChangeValues(key, [&](KeyFile& file) {
    detail::RegistryValue* value = file.FindValue(valueName);
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    file.values.erase(file.values.begin() + (value - file.values.data()));
    return ERROR_SUCCESS;
  });
}

uint32_t RegDeleteKey(Handle parent, const wchar_t* subKey) {
  std::optional<KeyPath> path = detail::Resolve(parent);
  if (!path) return ERROR_INVALID_HANDLE;
  if (subKey == nullptr || *subKey == L'\0') return ERROR_INVALID_PARAMETER;
  if (uint32_t status = detail::Append(*path, subKey); status != ERROR_SUCCESS) return status;
  if (path->Overlay()) return ERROR_ACCESS_DENIED;
  return detail::RemoveKey(path->Folder());
}

uint32_t RegEnumKey(Handle key, uint32_t index, wchar_t* name, uint32_t* nameChars) {
  KeyPath path;
  KeyFile file;
  const uint32_t loaded = detail::LoadForReading(key, KEY_ENUMERATE_SUB_KEYS, &path, &file);
  if (loaded != ERROR_SUCCESS) return loaded;
  std::vector<std::wstring> names = detail::SubKeyNames(path);
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  return detail::DeliverName(names[index], name, nameChars);
}

uint32_t RegEnumValue(Handle key, uint32_t index, wchar_t* name, uint32_t* nameChars,
                      uint32_t* type, void* data, uint32_t* size) {
  KeyPath path;
  KeyFile file;
  const uint32_t loaded = detail::LoadForReading(key, KEY_QUERY_VALUE, &path, &file);
  if (loaded != ERROR_SUCCESS) return loaded;
  if (index >= file.values.size()) return ERROR_NO_MORE_ITEMS;
  const detail::RegistryValue& value = file.values[index];
  if (uint32_t status = detail::DeliverName(value.name, name, nameChars); status != ERROR_SUCCESS) {
    return status;
  }
  return detail::DeliverData(value, type, data, size);
}

}  // namespace os
