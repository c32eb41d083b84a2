#include "platform/os/process/library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cwchar>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/text/convert.h"

namespace os {
namespace {

// Libraries loaded through LoadLibrary, by base address; one dlopen
// handle per load, so FreeLibrary undoes exactly one.
struct Loaded {
  std::mutex mutex;
  std::map<Module, std::vector<void*>> handles;
};

Loaded& AllLoaded() {
  static Loaded& loaded = *new Loaded;
  return loaded;
}

Module ModuleOfHandle(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return kNullModule;
  return ModuleFromAddress(map->l_ld);
}

Module MainModule() {
  void* self = dlopen(nullptr, RTLD_LAZY);
  Module module = ModuleOfHandle(self);
  dlclose(self);
  return module;
}

// Windows system libraries that have a counterpart here; names ignore case.
struct LibraryAlias {
  const wchar_t* windowsName;
  const char* soname;
};
constexpr LibraryAlias kLibraryAliases[] = {
    {L"xmllite.dll", "libxml2.so.2"},     // the XML reader the GenICam runtime uses
    {L"zorgrabc.dll", "libzorgrabc.so"},  // the optional grab-control library
};

std::string LibraryName(const wchar_t* path) {
  for (const LibraryAlias& alias : kLibraryAliases) {
    if (wcscasecmp(path, alias.windowsName) == 0) return alias.soname;
  }
  return WideToUtf8(path);
}

}  // namespace

Module ModuleFromAddress(const void* address) {
  Dl_info info = {};
  if (address == nullptr || dladdr(address, &info) == 0) return kNullModule;
  return static_cast<Module>(reinterpret_cast<std::uintptr_t>(info.dli_fbase));
}

Module GetModuleHandle(const wchar_t* name) {
  if (name == nullptr) return MainModule();
  void* handle = dlopen(WideToUtf8(name).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return kNullModule;
  }
  Module module = ModuleOfHandle(handle);
  dlclose(handle);
  return module;
}

Module LoadLibrary(const wchar_t* path) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return kNullModule;
  }
  // Loads on several threads are serialised: the loader's own lock is one that the
  // race detector cannot see, and its link map is read right after.
  Loaded& loaded = AllLoaded();
  std::lock_guard lock(loaded.mutex);
  void* handle = dlopen(LibraryName(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return kNullModule;
  }
  Module module = ModuleOfHandle(handle);
  loaded.handles[module].push_back(handle);
  return module;
}

void* GetProcAddress(Module module, const char* name) {
  if (module == kNullModule || name == nullptr) {
    SetLastError(module == kNullModule ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Dl_info info = {};
  if (dladdr(reinterpret_cast<const void*>(module), &info) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* handle = module == MainModule() ? dlopen(nullptr, RTLD_LAZY)
                                        : dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = dlsym(handle, name);
  dlclose(handle);
  if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return symbol;
}

bool FreeLibrary(Module module) {
  void* handle = nullptr;
  {
    Loaded& loaded = AllLoaded();
    std::lock_guard lock(loaded.mutex);
    auto found = loaded.handles.find(module);
    if (found == loaded.handles.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    handle = found->second.back();
    found->second.pop_back();
    if (found->second.empty()) loaded.handles.erase(found);
  }
  dlclose(handle);
  return true;
}

uint32_t GetModuleFileName(Module module, wchar_t* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string path;
  if (module == kNullModule || module == MainModule()) {
    char link[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", link, sizeof(link));
    if (length > 0) path.assign(link, static_cast<size_t>(length));
  } else if (Dl_info info = {}; dladdr(reinterpret_cast<const void*>(module), &info) != 0 &&
                                info.dli_fname != nullptr) {
    path = info.dli_fname;
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::wstring wide = Utf8ToWide(path);
  if (wide.size() >= size) {
    wide.copy(buffer, size - 1);
    buffer[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  wide.copy(buffer, wide.size());
  buffer[wide.size()] = L'\0';
  SetLastError(ERROR_SUCCESS);
  return static_cast<uint32_t>(wide.size());
}

}  // namespace os
