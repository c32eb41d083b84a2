#include "platform/os/core/paths.h"

#include "platform/os/process/environment.h"

namespace os::detail {

std::filesystem::path RegistryRoot() {
  if (std::string root = Setting("ZOR_REGISTRY_ROOT"); !root.empty()) return root;
  if (std::string config = Setting("XDG_CONFIG_HOME"); !config.empty()) {
    return std::filesystem::path(config) / "zor" / "registry";
  }
  const std::string home = Setting("HOME");
  return std::filesystem::path(home.empty() ? "/tmp" : home) / ".config" / "zor" / "registry";
}

std::filesystem::path ObjectFolder() { return RegistryRoot() / ".objects"; }

}  // namespace os::detail
