// The serial ports that the machine lists under the local machine's registry key
// "HARDWARE\DEVICEMAP\SERIALCOMM": one value per port whose data is its "COMn" name.
#pragma once

#include <string>
#include <vector>

namespace zor::frame {

// The port names in value-name order; none when the key is missing.
std::vector<std::wstring> ReadSerialPortNames();

}  // namespace zor::frame
