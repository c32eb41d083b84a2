#include "platform/os/core/paths.h"

#include <climits>
#include <string>

#include "platform/os/process/environment.h"
#include "platform/os/process/library.h"
#include "platform/os/text/convert.h"

namespace os::detail {

std::filesystem::path RegistryRoot() {
  if (std::string root = Setting("ZOR_REGISTRY_ROOT"); !root.empty()) return root;
  if (std::string config = Setting("XDG_CONFIG_HOME"); !config.empty()) {
    return std::filesystem::path(config) / "zor" / "registry";
  }
  const std::string home = Setting("HOME");
  return std::filesystem::path(home.empty() ? "/tmp" : home) / ".config" / "zor" / "registry";
}

std::filesystem::path MachineRegistryFolder(const std::filesystem::path& module) {
  std::error_code ignored;
  // Symbolic links resolved: /lib may be /usr/lib, and bin/../lib the prefix's lib.
  std::filesystem::path folder = std::filesystem::weakly_canonical(module, ignored).parent_path();
  if (folder.empty()) folder = module.lexically_normal().parent_path();
  std::filesystem::path base = folder.parent_path();
  if (base.filename() == "usr") base = base.parent_path();
  return base / "var" / "lib" / "zor" / "registry";
}

std::filesystem::path MachineRegistryRoot() {
  if (std::string root = Setting("ZOR_REGISTRY_ROOT"); !root.empty()) return root;
  // The module does not move while it is loaded.
  static const std::filesystem::path folder = [] {
    wchar_t path[PATH_MAX];
    const uint32_t length = GetModuleFileName(ThisModule(), path, PATH_MAX);
    if (length == 0 || length >= PATH_MAX) return std::filesystem::path("/var/lib/zor/registry");
    return MachineRegistryFolder(WideToUtf8(std::wstring(path, length)));
  }();
  return folder;
}

std::filesystem::path ObjectFolder() { return RegistryRoot() / ".objects"; }

}  // namespace os::detail
