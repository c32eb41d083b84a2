// Folder and environment look-ups, with folders named in the registry's debug settings first.
#include "driver/foundation/folders.h"

#include <strings.h>

#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/files.h"

namespace zor::foundation {

namespace {

// Made on first use, so that no thread can see the cache before it is initialised.
struct FolderCache {
  // Guards the two folders; held while they are looked up (the OS's registry and environment
  // locks come under it).
  Ranked<std::mutex, LockId::kFolderCache> lock;
  std::wstring installDir ZOR_GUARDED_BY(lock);
  std::wstring toolsDir ZOR_GUARDED_BY(lock);
};

FolderCache& Cache() {
  static FolderCache cache;
  return cache;
}

// Wide or narrow: get is the os call for the character type.
template <class Char, class String>
bool ReadVariable(uint32_t (*get)(const Char*, Char*, uint32_t), const Char* name, String& out) {
  const uint32_t needed = get(name, nullptr, 0);
  if (needed == 0) return false;
  std::vector<Char> value(needed);
  const uint32_t length = get(name, value.data(), needed);
  if (length == 0 || length >= needed) return false;
  out.Assign(value.data());
  return true;
}

bool ReadEnvironment(const wchar_t* name, CZORString& out) {
  return ReadVariable(&os::GetEnvironmentVariable, name, out);
}

bool ReadEnvironmentAscii(const char* name, CZORStringAscii& out) {
  return ReadVariable(&os::GetEnvironmentVariableA, name, out);
}

bool RegistryFolder(const wchar_t* setting, CZORString& out) {
  CZORString folder;
  if (!ReadDebugFolderSetting(setting, folder, false) || !DirectoryExists(folder.CStr())) {
    return false;
  }
  out = folder;
  return true;
}

}  // namespace

bool GetFolderVariable(const wchar_t* name, CZORString& out) {
  if (name == nullptr) return false;
  if (wcscasecmp(name, L"TEMP") == 0 && RegistryFolder(L"TempFolder", out)) return true;
  if (wcscasecmp(name, L"TRACEFOLDER") == 0 && RegistryFolder(L"TraceFolder", out)) return true;
  if (wcscasecmp(name, L"ZOR_PATH") == 0 && GetFolderVariable(L"ZOR_PATH64", out)) return true;
  if (ReadEnvironment(name, out)) return true;
  if (wcscasecmp(name, L"TRACEFOLDER") == 0) return GetFolderVariable(L"TEMP", out);
  if (wcscasecmp(name, L"TEMP") == 0) {
    // Linux names its temporary folder differently.
    if (!ReadEnvironment(L"TMPDIR", out)) out.Assign(L"/tmp");
    return true;
  }
  return false;
}

bool GetEnvironmentVariableAscii(const char* name, CZORStringAscii& out) {
  if (name == nullptr) return false;
  if (strcasecmp(name, "ZOR_PATH") == 0 && GetEnvironmentVariableAscii("ZOR_PATH64", out)) {
    return true;
  }
  if (ReadEnvironmentAscii(name, out)) return true;
  if (strcasecmp(name, "TRACEFOLDER") == 0) return GetEnvironmentVariableAscii("TEMP", out);
  if (strcasecmp(name, "TEMP") == 0) {
    if (!ReadEnvironmentAscii("TMPDIR", out)) out.Assign("/tmp");
    return true;
  }
  return false;
}

bool ReadDebugFolderSetting(const wchar_t* valueName, CZORString& out, bool asQword) {
  if (valueName == nullptr) return false;
  const std::wstring full = valueName;
  std::wstring keyPath = L"Settings\\Debug";
  std::wstring value = full;
  const size_t slash = full.rfind(L'\\');
  if (slash != std::wstring::npos) {
    keyPath += L"\\" + full.substr(0, slash);
    value = full.substr(slash + 1);
  }
  for (const int32_t location : {kUserRuntimeLocation, kMachineRuntimeLocation}) {
    CRegistryKey key(location, keyPath.c_str(), false);
    if (!key.ValueExists(value.c_str())) continue;
    if (!asQword) return key.ReadString(value.c_str(), out);
    uint64_t number = 0;
    if (!key.ReadQword(value.c_str(), number)) return false;
    out.Format(L"%llu", static_cast<unsigned long long>(number));
    return true;
  }
  return false;
}

CZORString GetInstallDir() {
  FolderCache& cache = Cache();
  const foundation::ScopedLock lock(cache.lock);
  if (cache.installDir.empty()) {
    CRegistryKey key(kInstallLocation, L"", false);
    CZORString folder;
    if (key.ReadString(L"INSTALLDIR", folder)) {
      if (folder.Length() > 0 && folder.CStr()[folder.Length() - 1] == L'/') folder.TrimRight(1);
      cache.installDir = folder.CStr();
    }
  }
  return CZORString(cache.installDir.c_str());
}

CZORString GetToolsDir() {
  const CZORString install = GetInstallDir();
  FolderCache& cache = Cache();
  const foundation::ScopedLock lock(cache.lock);
  if (cache.toolsDir.empty()) {
    CZORString tools = install;
    tools.AppendPath(L"tools");
    cache.toolsDir = tools.CStr();
  }
  return CZORString(cache.toolsDir.c_str());
}

bool DirectoryExists(const wchar_t* path) {
  if (path == nullptr || path[0] == L'\0') return false;
  const uint32_t attributes = os::GetFileAttributes(path);
  return attributes != os::INVALID_FILE_ATTRIBUTES &&
         (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const wchar_t* path) {
  if (path == nullptr || path[0] == L'\0') return false;
  const uint32_t attributes = os::GetFileAttributes(path);
  return attributes != os::INVALID_FILE_ATTRIBUTES &&
         (attributes & os::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace zor::foundation
