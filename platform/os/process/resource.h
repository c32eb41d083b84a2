// Resources embedded at build time (cmake/ZorResources.cmake), looked up by
// module, type and name. Names and types compare ignoring case.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/os/process/library.h"

namespace os {

struct Resource {
  const void* data = nullptr;
  std::size_t size = 0;
};

// Called by the generated code when a module loads; not for direct use.
void RegisterResource(Module module, const wchar_t* type, const wchar_t* name, const void* data,
                      std::size_t size);

// Every name of the type in the module, in embedding order; the callback
// returns false to stop. False with ERROR_RESOURCE_TYPE_NOT_FOUND when the
// module holds none of that type, ERROR_INVALID_PARAMETER without a callback.
bool EnumResourceNames(Module module, const wchar_t* type,
                       const std::function<bool(const std::wstring& name)>& callback);
// False with ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND.
bool FindResource(Module module, const wchar_t* name, const wchar_t* type, Resource* resource);

}  // namespace os
