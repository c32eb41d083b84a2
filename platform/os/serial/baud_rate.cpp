#include "platform/os/serial/baud_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace os::detail {

bool SetBaudRate(int fd, uint32_t rate) {
  struct termios2 settings = {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = rate;
  settings.c_ospeed = rate;
  return ioctl(fd, TCSETS2, &settings) == 0;
}

bool GetBaudRate(int fd, uint32_t* rate) {
  struct termios2 settings = {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  *rate = settings.c_ospeed;
  return true;
}

}  // namespace os::detail
