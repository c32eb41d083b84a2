// Where the stand-ins keep their files.
#pragma once

#include <filesystem>

namespace os::detail {

// ZOR_REGISTRY_ROOT, else $XDG_CONFIG_HOME/zor/registry, else
// $HOME/.config/zor/registry. Read at every call: tests change it.
std::filesystem::path RegistryRoot();
// Named objects live beside the registry so one root isolates a test.
std::filesystem::path ObjectFolder();

}  // namespace os::detail
