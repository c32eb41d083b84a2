// Line settings, transfer lengths, delimiter and time-outs of a port.
#include <algorithm>
#include <array>
#include <cwctype>
#include <limits>

#include "driver/frameworkuser/serial/uarterror.h"
#include "driver/frameworkuser/serial/uartmanager.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {
namespace {

constexpr std::array<int64_t, 18> kBaudRates = {110,    300,    600,    1200,   2400,   4800,
                                                9600,   14400,  19200,  38400,  56000,  57600,
                                                115200, 128000, 230400, 256000, 460800, 921600};
constexpr uint32_t kDefaultBaudRate = 14400;

// A length is a 32-bit count; anything else is refused rather than cut to 32 bits.
uint32_t CheckedLength(int64_t length) {
  if (length < 0 || length > std::numeric_limits<uint32_t>::max()) {
    RaiseUartError(kUartStateError, 3);
  }
  return static_cast<uint32_t>(length);
}

}  // namespace

void CUartManager::SetSpeed(UartPortRecord& record, int64_t rate) {
  Use use(*this, record);
  if (rate == kUartDefault) rate = kDefaultBaudRate;
  if (std::find(kBaudRates.begin(), kBaudRates.end(), rate) == kBaudRates.end()) {
    RaiseUartError(kUartStateError, 3);
  }
  os::DCB dcb = record.dcb_;
  dcb.BaudRate = static_cast<uint32_t>(rate);
  WriteState(record, dcb);
}

void CUartManager::GetSpeed(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.dcb_.BaudRate;
}

void CUartManager::SetDataSize(UartPortRecord& record, int64_t size) {
  Use use(*this, record);
  if (size == kUartDefault) size = 8;
  if (size != 7 && size != 8) RaiseUartError(kUartStateError, 3);
  os::DCB dcb = record.dcb_;
  dcb.ByteSize = static_cast<uint8_t>(size);
  WriteState(record, dcb);
}

void CUartManager::GetDataSize(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.dcb_.ByteSize;
}

void CUartManager::SetParity(UartPortRecord& record, int64_t parity) {
  Use use(*this, record);
  os::DCB dcb = record.dcb_;
  if (parity == 1) {
    dcb.Parity = os::ODDPARITY;
  } else if (parity == 2) {
    dcb.Parity = os::EVENPARITY;
  } else if (parity == kUartNoParity || parity == kUartDefault) {
    dcb.Parity = os::NOPARITY;
  } else {
    RaiseUartError(kUartStateError, 3);
  }
  WriteState(record, dcb);
}

void CUartManager::GetParity(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  if (record.dcb_.Parity == os::NOPARITY) answer = kUartNoParity;
  if (record.dcb_.Parity == os::ODDPARITY) answer = 1;
  if (record.dcb_.Parity == os::EVENPARITY) answer = 2;
}

void CUartManager::SetStopBits(UartPortRecord& record, int64_t bits) {
  Use use(*this, record);
  if (bits == kUartDefault) bits = 1;
  if (bits != 1 && bits != 2) RaiseUartError(kUartStateError, 3);
  os::DCB dcb = record.dcb_;
  dcb.StopBits = bits == 1 ? os::ONESTOPBIT : os::TWOSTOPBITS;
  WriteState(record, dcb);
}

void CUartManager::GetStopBits(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  if (record.dcb_.StopBits == os::ONESTOPBIT) answer = 1;
  if (record.dcb_.StopBits == os::TWOSTOPBITS) answer = 2;
}

void CUartManager::SetReadLength(UartPortRecord& record, int64_t length) {
  Use use(*this, record);
  if (length == kUartDefault) {
    record.readUntilDelimiter_ = true;
    return;
  }
  record.readLength_ = CheckedLength(length);
  record.readUntilDelimiter_ = false;
}

void CUartManager::GetReadLength(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.readUntilDelimiter_ ? kUartDefault : record.readLength_;
}

void CUartManager::SetWriteLength(UartPortRecord& record, int64_t length) {
  Use use(*this, record);
  if (length == kUartDefault) {
    record.writeUntilDelimiter_ = true;
    return;
  }
  record.writeLength_ = CheckedLength(length);
  record.writeUntilDelimiter_ = false;
}

void CUartManager::GetWriteLength(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.writeLength_;
}

void CUartManager::SetReadMaxLength(UartPortRecord& record, int64_t length) {
  Use use(*this, record);
  record.readMaxLength_ = CheckedLength(length);
}

void CUartManager::GetReadMaxLength(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.readMaxLength_;
}

void CUartManager::SetDelimiter(UartPortRecord& record, int64_t delimiter) {
  Use use(*this, record);
  record.delimiter_ = delimiter == kUartDefault ? 0 : static_cast<uint8_t>(delimiter & 0xFF);
}

void CUartManager::GetDelimiter(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.delimiter_;
}

void CUartManager::SetTimeout(UartPortRecord& record, int64_t perByte) {
  Use use(*this, record);
  const uint32_t multiplier = perByte < 0 || perByte > std::numeric_limits<uint32_t>::max()
                                  ? std::numeric_limits<uint32_t>::max()
                                  : static_cast<uint32_t>(perByte);
  WriteTimeouts(record, {0, multiplier, 0, multiplier, 0});
}

void CUartManager::GetTimeout(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.timeouts_.ReadTotalTimeoutMultiplier;
}

void CUartManager::GetPortKind(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = record.kind_;
}

void CUartManager::GetPortNumber(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  const std::wstring& name = record.name_;
  if (name.size() < 3 || name.find(L"COM") == std::wstring::npos) {
    RaiseUartError(kUartIoError, 1);
  }
  // The decimal number that the text after the first three characters starts with; seven
  // digits at most, so that no name can overflow it.
  int64_t number = 0;
  for (size_t i = 3; i < name.size() && i < 10 && std::iswdigit(name[i]); ++i) {
    number = number * 10 + (name[i] - L'0');
  }
  answer = number;
}

void CUartManager::GetBytesPending(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  os::SERIAL_STATUS status;
  os::Overlapped block;
  block.hEvent = os::CreateEvent(true, false);
  if (block.hEvent == os::kNullHandle) RaiseUartError(kUartInstanceError, 4);
  uint32_t bytes = 0;
  bool done = os::DeviceIoControl(record.port_, os::IOCTL_SERIAL_GET_COMMSTATUS, nullptr, 0,
                                  &status, sizeof(status), &bytes, &block);
  // Only a request that went pending will set the event.
  if (!done && os::GetLastError() == os::ERROR_IO_PENDING) {
    os::WaitForSingleObject(block.hEvent, os::INFINITE);
    done = os::GetOverlappedResult(record.port_, &block, &bytes, true);
  }
  os::CloseHandle(block.hEvent);
  if (!done || bytes < sizeof(status)) RaiseUartError(kUartInstanceError, 4);
  answer = status.AmountInInQueue;
}

}  // namespace zor::frame
