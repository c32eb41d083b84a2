// Baud rates through termios2, which takes any rate; kept apart because its
// kernel header cannot meet <termios.h> in one file.
#pragma once

#include <cstdint>

namespace os::detail {

// Both directions; false with errno set when the device refuses.
bool SetBaudRate(int fd, uint32_t rate);
bool GetBaudRate(int fd, uint32_t* rate);

}  // namespace os::detail
