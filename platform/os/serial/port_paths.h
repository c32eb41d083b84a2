// Which device path a "COMn" name opens.
#pragma once

#include <string>

namespace os::detail {

// Names compare ignoring case.
void MapSerialPortPath(const std::wstring& name, const std::string& devicePath);
// The mapped path, else /dev/ttyS<n-1>.
std::string SerialPortPath(const std::wstring& name);

}  // namespace os::detail
