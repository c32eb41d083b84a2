// The serial ports that the machine has, as Windows lists them under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace os::detail {

// (device path, "COMn") pairs by device path: the serial devices of the device folder
// (ttyS* that the kernel reports as a real port, ttyUSB*, ttyACM*) and the mappings of
// SetSerialPortPath, which take the place of a device of the same name or path.
std::vector<std::pair<std::wstring, std::wstring>> ListSerialPorts();

}  // namespace os::detail
