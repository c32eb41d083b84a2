#include "platform/os/core/paths.h"

#include <stdlib.h>

namespace os::detail {

std::filesystem::path RegistryRoot() {
  if (const char* root = getenv("ZOR_REGISTRY_ROOT"); root != nullptr && *root != '\0') {
    return root;
  }
  if (const char* config = getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return std::filesystem::path(config) / "zor" / "registry";
  }
  const char* home = getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "/tmp") / ".config" / "zor" / "registry";
}

std::filesystem::path ObjectFolder() { return RegistryRoot() / ".objects"; }

}  // namespace os::detail
