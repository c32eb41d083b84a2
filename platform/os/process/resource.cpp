#include "platform/os/process/resource.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/text/upper_case.h"

namespace os {
namespace {

struct Entry {
  std::wstring name;
  Resource resource;
};

struct Resources {
  std::mutex mutex;
  std::map<std::pair<Module, std::wstring>, std::vector<Entry>> byType;
};

Resources& AllResources() {
  static Resources& resources = *new Resources;
  return resources;
}

std::wstring Upper(const wchar_t* text) { return detail::UpperCase(text == nullptr ? L"" : text); }

}  // namespace

void RegisterResource(Module module, const wchar_t* type, const wchar_t* name, const void* data,
                      std::size_t size) {
  Resources& resources = AllResources();
  std::lock_guard lock(resources.mutex);
  resources.byType[{module, Upper(type)}].push_back({name, {data, size}});
}

bool EnumResourceNames(Module module, const wchar_t* type,
                       const std::function<bool(const std::wstring& name)>& callback) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::vector<std::wstring> names;
  {
    Resources& resources = AllResources();
    std::lock_guard lock(resources.mutex);
    auto found = resources.byType.find({module, Upper(type)});
    if (found == resources.byType.end()) {
      SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
      return false;
    }
    for (const Entry& entry : found->second) names.push_back(entry.name);
  }
  for (const std::wstring& name : names) {
    if (!callback(name)) break;
  }
  return true;
}

bool FindResource(Module module, const wchar_t* name, const wchar_t* type, Resource* resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  Resources& resources = AllResources();
  std::lock_guard lock(resources.mutex);
  auto found = resources.byType.find({module, Upper(type)});
  if (found == resources.byType.end()) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
  }
  const std::wstring wanted = Upper(name);
  for (const Entry& entry : found->second) {
    if (Upper(entry.name.c_str()) == wanted) {
      *resource = entry.resource;
      return true;
    }
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return false;
}

}  // namespace os
