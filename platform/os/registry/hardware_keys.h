// The read-only keys under HKEY_LOCAL_MACHINE\HARDWARE: the processor keys
// (DESCRIPTION\System\CentralProcessor\N) and the serial-port map
// (DEVICEMAP\SERIALCOMM), made from the machine's state at each read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/os/registry/key_file.h"

namespace os::detail {

// parts: the folded path parts below HKEY_LOCAL_MACHINE. Empty when the path
// is not one of the hardware keys.
std::optional<KeyFile> HardwareKey(const std::vector<std::wstring>& parts);
// The sub-key names of a hardware key, or of the local machine's root.
std::vector<std::wstring> HardwareSubKeys(const std::vector<std::wstring>& parts);
// Whether the path lies in the hardware view (where nothing can be written).
bool InHardwareView(const std::vector<std::wstring>& parts);

}  // namespace os::detail
