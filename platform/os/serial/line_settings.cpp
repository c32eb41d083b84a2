#include "platform/os/serial/line_settings.h"

#include <errno.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include "platform/os/core/error.h"
#include "platform/os/serial/baud_rate.h"

namespace os::detail {
namespace {

uint32_t FromErrno() { return errno == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_GEN_FAILURE; }

tcflag_t ByteSizeFlag(uint8_t size) {
  switch (size) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

// Sets or clears the RTS line; pseudo-terminals have none, which is fine.
void SetRts(int fd, bool on) {
  int bits = TIOCM_RTS;
  (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
}

// The far side of a pseudo-terminal pair (Unix98 slave majors 136 to 143).
bool IsPseudoTerminal(int fd) {
  struct stat status = {};
  return fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && major(status.st_rdev) >= 136 &&
         major(status.st_rdev) <= 143;
}

}  // namespace

uint32_t ApplyLineSettings(int fd, const DCB& dcb) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5)) {
    return ERROR_INVALID_PARAMETER;
  }
  struct termios settings = {};
  if (tcgetattr(fd, &settings) != 0) return FromErrno();
  cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  settings.c_cflag |= CLOCAL | CREAD | ByteSizeFlag(dcb.ByteSize);
  if (dcb.Parity != NOPARITY) settings.c_cflag |= PARENB;
  if (dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY) settings.c_cflag |= PARODD;
  if (dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY) settings.c_cflag |= CMSPAR;
  if (dcb.StopBits != ONESTOPBIT) settings.c_cflag |= CSTOPB;
  // A pseudo-terminal has no line: it carries 8-bit bytes and refuses other sizes and parity.
  // The port keeps reporting what was asked.
  if (IsPseudoTerminal(fd)) {
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR);
    settings.c_cflag |= CS8;
  }
  if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fOutxCtsFlow) settings.c_cflag |= CRTSCTS;
  settings.c_iflag &= ~(IXON | IXOFF | INPCK);
  if (dcb.fOutX) settings.c_iflag |= IXON;
  if (dcb.fInX) settings.c_iflag |= IXOFF;
  if (dcb.fParity) settings.c_iflag |= INPCK;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return FromErrno();
  if (!SetBaudRate(fd, dcb.BaudRate)) return FromErrno();
  if (dcb.fRtsControl == RTS_CONTROL_ENABLE) SetRts(fd, true);
  if (dcb.fRtsControl == RTS_CONTROL_DISABLE) SetRts(fd, false);
  return ERROR_SUCCESS;
}

uint32_t ReadLineSettings(int fd, DCB* dcb) {
  struct termios settings = {};
  if (tcgetattr(fd, &settings) != 0) return FromErrno();
  *dcb = DCB();
  dcb->fBinary = 1;
  if (!GetBaudRate(fd, &dcb->BaudRate)) return FromErrno();
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      dcb->ByteSize = 5;
      break;
    case CS6:
      dcb->ByteSize = 6;
      break;
    case CS7:
      dcb->ByteSize = 7;
      break;
    default:
      dcb->ByteSize = 8;
  }
  if ((settings.c_cflag & PARENB) != 0) {
    const bool odd = (settings.c_cflag & PARODD) != 0;
    if ((settings.c_cflag & CMSPAR) != 0) {
      dcb->Parity = odd ? MARKPARITY : SPACEPARITY;
    } else {
      dcb->Parity = odd ? ODDPARITY : EVENPARITY;
    }
  }
  dcb->StopBits = (settings.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
  dcb->fRtsControl = (settings.c_cflag & CRTSCTS) != 0 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
  dcb->fOutxCtsFlow = (settings.c_cflag & CRTSCTS) != 0;
  dcb->fOutX = (settings.c_iflag & IXON) != 0;
  dcb->fInX = (settings.c_iflag & IXOFF) != 0;
  return ERROR_SUCCESS;
}

}  // namespace os::detail
