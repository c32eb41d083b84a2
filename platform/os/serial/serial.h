// Serial ports over termios. "COMn" opens the device path mapped to it
// (default: the machine device it names, port_paths.h; a pseudo-terminal in
// tests) through CreateFile;
// reads, writes and event waits go through ReadFile, WriteFile,
// DeviceIoControl and GetOverlappedResult like any device request.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os/core/handle.h"
#include "platform/os/device/overlapped.h"

namespace os {

struct DCB {
  uint32_t DCBlength = sizeof(DCB);
  uint32_t BaudRate = 0;
  uint32_t fBinary : 1 = 0;
  uint32_t fParity : 1 = 0;
  uint32_t fOutxCtsFlow : 1 = 0;
  uint32_t fOutxDsrFlow : 1 = 0;
  uint32_t fDtrControl : 2 = 0;
  uint32_t fDsrSensitivity : 1 = 0;
  uint32_t fTXContinueOnXoff : 1 = 0;
  uint32_t fOutX : 1 = 0;
  uint32_t fInX : 1 = 0;
  uint32_t fErrorChar : 1 = 0;
  uint32_t fNull : 1 = 0;
  uint32_t fRtsControl : 2 = 0;
  uint32_t fAbortOnError : 1 = 0;
  uint32_t fDummy2 : 17 = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
};
static_assert(sizeof(DCB) == 28);

struct COMMTIMEOUTS {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

struct COMSTAT {
  uint32_t flags = 0;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// The answer of IOCTL_SERIAL_GET_COMMSTATUS.
struct SERIAL_STATUS {
  uint32_t Errors = 0;
  uint32_t HoldReasons = 0;
  uint32_t AmountInInQueue = 0;
  uint32_t AmountInOutQueue = 0;
  uint8_t EofReceived = 0;
  uint8_t WaitForImmediate = 0;
};
static_assert(sizeof(SERIAL_STATUS) == 20);

inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;
inline constexpr uint32_t RTS_CONTROL_DISABLE = 0;
inline constexpr uint32_t RTS_CONTROL_ENABLE = 1;
inline constexpr uint32_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr uint32_t RTS_CONTROL_TOGGLE = 3;

inline constexpr uint32_t PURGE_TXABORT = 0x1;
inline constexpr uint32_t PURGE_RXABORT = 0x2;
inline constexpr uint32_t PURGE_TXCLEAR = 0x4;
inline constexpr uint32_t PURGE_RXCLEAR = 0x8;

inline constexpr uint32_t EV_RXCHAR = 0x0001;

inline constexpr uint32_t CE_RXOVER = 0x0001;
inline constexpr uint32_t CE_OVERRUN = 0x0002;
inline constexpr uint32_t CE_RXPARITY = 0x0004;
inline constexpr uint32_t CE_FRAME = 0x0008;
inline constexpr uint32_t CE_BREAK = 0x0010;
inline constexpr uint32_t CE_TXFULL = 0x0100;
inline constexpr uint32_t CE_MODE = 0x8000;

inline constexpr uint32_t IOCTL_SERIAL_SET_WAIT_MASK = 0x1B0044;
inline constexpr uint32_t IOCTL_SERIAL_WAIT_ON_MASK = 0x1B0048;
inline constexpr uint32_t IOCTL_SERIAL_GET_COMMSTATUS = 0x1B006C;

// Maps "COMn" (ignoring case) to a device path for later opens; an empty path
// removes the mapping.
void SetSerialPortPath(const std::wstring& name, const std::string& devicePath);

// Any baud rate the line accepts (non-standard ones through BOTHER), byte
// size 5 to 8, parity none/odd/even/mark/space, one or two stop bits, RTS
// handshake, enable or disable. ERROR_INVALID_PARAMETER for others.
bool GetCommState(Handle port, DCB* dcb);
bool SetCommState(Handle port, const DCB* dcb);
bool GetCommTimeouts(Handle port, COMMTIMEOUTS* timeouts);
bool SetCommTimeouts(Handle port, const COMMTIMEOUTS* timeouts);
bool PurgeComm(Handle port, uint32_t flags);
// Hands out and clears the pending line errors (CE_*); status may be null.
bool ClearCommError(Handle port, uint32_t* errors, COMSTAT* status);
bool SetCommMask(Handle port, uint32_t mask);
// Completes when an event of the mask happens; pending on overlapped.
bool WaitCommEvent(Handle port, uint32_t* events, Overlapped* overlapped);

// Adds line errors that a pseudo-terminal cannot produce (CE_* bits).
bool InjectCommErrors(Handle port, uint32_t errors);

}  // namespace os
