// The read-only processor keys, built from /proc/cpuinfo:
// HARDWARE\DESCRIPTION\System\CentralProcessor\N under the local machine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/os/registry/key_file.h"

namespace os::detail {

// parts: the folded path parts below HKEY_LOCAL_MACHINE. Empty when the
// path is not one of the processor keys or their parents.
std::optional<KeyFile> ProcessorKey(const std::vector<std::wstring>& parts);
// The sub-key names of a processor key (parts as above).
std::vector<std::wstring> ProcessorSubKeys(const std::vector<std::wstring>& parts);

}  // namespace os::detail
