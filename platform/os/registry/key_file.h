// One registry key on disk: a folder holding the key's file ".key" (its
// name, volatility and values) and a lock file ".lock"; sub-keys are
// sub-folders. Writers lock the key and replace the file by renaming, so a
// reader never sees a torn file and concurrent writers lose nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace os::detail {

struct RegistryValue {
  std::wstring name;
  uint32_t type = 0;
  std::vector<unsigned char> data;
};

struct KeyFile {
  std::wstring name;
  // The boot id the key belongs to; empty for a lasting key.
  std::string bootId;
  std::vector<RegistryValue> values;

  RegistryValue* FindValue(const std::wstring& name);
};

// Result codes are Windows error codes. A volatile key of an earlier boot
// reads as ERROR_FILE_NOT_FOUND.
uint32_t LoadKey(const std::filesystem::path& folder, KeyFile* key);

// Answered by a change that leaves the key as it is.
inline constexpr uint32_t kKeyUnchanged = 0xFFFFFFFF;

// Holds the key's lock file locked for the life of the object (create makes
// the folder when it is missing). A key is moved away with its lock file
// while locked, so a waiter that then gets the lock of a removed file starts
// again (and finds the key gone, or makes it anew when create is set).
class KeyLock {
 public:
  KeyLock(const std::filesystem::path& folder, bool create);
  ~KeyLock();
  KeyLock(const KeyLock&) = delete;
  KeyLock& operator=(const KeyLock&) = delete;
  bool locked() const { return fd_ >= 0; }
  // Why the lock was not taken: a key that is not there, or one this user may not change.
  uint32_t failure(bool create) const;

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Under the key's lock: loads the key (missing or stale ones start empty
// when create is set, else ERROR_FILE_NOT_FOUND), lets change edit it and
// writes it back when change answers ERROR_SUCCESS. existed tells whether a
// live key was found.
uint32_t ChangeKey(const std::filesystem::path& folder, bool create,
                   const std::function<uint32_t(KeyFile& key, bool existed)>& change);
// The same with the key's lock already held by the caller.
uint32_t ChangeLockedKey(const std::filesystem::path& folder, bool create,
                         const std::function<uint32_t(KeyFile& key, bool existed)>& change);

// Removes the key's folder under its lock; ERROR_ACCESS_DENIED when live
// sub-keys remain.
uint32_t RemoveKey(const std::filesystem::path& folder);

// The result of a change that failed with errno error: ERROR_ACCESS_DENIED when
// the file system refuses it to this user (a user in the machine's hive), else
// ERROR_CANTWRITE.
uint32_t WriteFailure(int error);

// The folder name of a key name: case folded and escaped.
std::string FolderName(const std::wstring& name);
// Case folding used to compare names.
std::wstring FoldCase(const std::wstring& name);

// The current boot id: ZOR_BOOT_ID when set, else the kernel's.
std::string CurrentBootId();

}  // namespace os::detail
