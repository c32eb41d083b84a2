// Line settings of a terminal device: a DCB applied to termios and read back.
#pragma once

#include <cstdint>

#include "platform/os/serial/serial.h"

namespace os::detail {

// Raw mode with the DCB's byte size, parity, stop bits, flow control and
// baud rate (any rate through BOTHER). A Windows error code.
uint32_t ApplyLineSettings(int fd, const DCB& dcb);
// The device's current settings as a DCB.
uint32_t ReadLineSettings(int fd, DCB* dcb);

}  // namespace os::detail
