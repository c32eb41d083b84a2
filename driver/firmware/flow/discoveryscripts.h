// The STAPL programs that discover the board's JTAG chain.
#pragma once

#include <string>

namespace zor::firmware {

// The STAPL programs that discover the board's JTAG chain, run through the STAPL player with the
// action "READ_IDCODE". Each is one line of text.

// Prints "Nombre device: " and the number of devices; exit code 2 for none or more than 100.
std::string DeviceCountScript();
// Prints the device count, the total instruction register length ("Register Length: ") and one
// "Numero du device: <n> Id code: <code>" line per device, the device nearest TDO first; a device
// without an IDCODE register prints the code 0.
std::string IdCodeScript();

}  // namespace zor::firmware
