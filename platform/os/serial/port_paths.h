// Which device path a "COMn" name opens, and the names that machine devices get.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace os::detail {

// Names compare ignoring case; an empty path removes the mapping.
void MapSerialPortPath(const std::wstring& name, const std::string& devicePath);
// The mapped path, else the machine device that the number names (DeviceComName).
std::string SerialPortPath(const std::wstring& name);
// The mappings, by upper-case name.
std::map<std::wstring, std::string> MappedSerialPorts();

// The folder that holds the machine's serial devices: ZOR_SERIAL_DEVICES, else /dev.
std::string SerialDeviceFolder();
// "COMn" of a device file name of that folder: ttyS<k> is COM<k+1>, ttyUSB<k> COM<k+101>,
// ttyACM<k> COM<k+201>, for k up to 99. None for other names.
std::optional<std::wstring> DeviceComName(const std::string& fileName);

}  // namespace os::detail
