// Where the stand-ins keep their files.
#pragma once

#include <filesystem>

namespace os::detail {

// The user's registry root (every hive but HKEY_LOCAL_MACHINE, and named
// objects): ZOR_REGISTRY_ROOT, else $XDG_CONFIG_HOME/zor/registry, else
// $HOME/.config/zor/registry. Read at every call: tests change it.
std::filesystem::path RegistryRoot();
// The registry root that holds HKEY_LOCAL_MACHINE: ZOR_REGISTRY_ROOT when set,
// else the machine's folder of the installation this module belongs to.
std::filesystem::path MachineRegistryRoot();
// The machine's registry folder of the installation that holds a module
// (a library in PREFIX/lib or a program in PREFIX/bin): PREFIX/var/lib/zor/registry,
// or ROOT/var/lib/zor/registry when PREFIX is ROOT/usr (/var/lib/zor/registry
// for /usr), so that a moved tree takes its registry along.
std::filesystem::path MachineRegistryFolder(const std::filesystem::path& module);
// Named objects live beside the registry so one root isolates a test.
std::filesystem::path ObjectFolder();

}  // namespace os::detail
