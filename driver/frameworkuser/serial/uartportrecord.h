// One serial port of the system: its name, transfer settings, open handle and receive thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/frameworkuser/serial/uartporthook.h"
#include "driver/frameworkuser/serial/uartreceiver.h"
#include "platform/os/core/handle.h"
#include "platform/os/device/overlapped.h"
#include "platform/os/serial/serial.h"

namespace zor::frame {

// The longest transfer a new port allows until the caller sets lengths of its own: the most
// bytes that a read or write until the delimiter looks at.
inline constexpr uint32_t kDefaultTransferLength = 256;

struct UartPortRecord {
  // A closed port with the defaults: reads and writes until the delimiter 0 (text
  // terminated as in C), lengths kDefaultTransferLength.
  UartPortRecord(std::wstring name, int64_t kind);
  UartPortRecord(const UartPortRecord&) = delete;
  UartPortRecord& operator=(const UartPortRecord&) = delete;
  // Stops the receive threads, closes the events and the port.
  ~UartPortRecord();

  bool IsOpen() const { return port_ != os::INVALID_HANDLE_VALUE; }

  // "COMn": the device path is "\\.\" followed by it.
  const std::wstring name_;
  uint32_t readLength_ = kDefaultTransferLength;
  uint32_t readMaxLength_ = kDefaultTransferLength;
  uint32_t writeLength_ = kDefaultTransferLength;
  uint8_t delimiter_ = 0;
  bool readUntilDelimiter_ = true;
  bool writeUntilDelimiter_ = true;
  // Operations in progress on the record.
  std::atomic<int64_t> useCount_{0};
  os::Handle port_ = os::INVALID_HANDLE_VALUE;
  // Whether the last read went until the delimiter, and the count it left.
  bool lastReadByDelimiter_ = false;
  uint64_t lastDelimiterReadCount_ = 0;
  os::DCB dcb_;
  os::COMMTIMEOUTS timeouts_;
  os::Overlapped read_;
  os::Overlapped write_;
  const int64_t kind_;
  // Shared with the receive threads, which call it.
  const std::shared_ptr<UartPortHook> hook_ = std::make_shared<UartPortHook>();
  // The thread of the current open, and stopped ones still inside a hook call.
  std::unique_ptr<UartReceiver> receiver_;
  std::vector<std::unique_ptr<UartReceiver>> stoppedReceivers_;
};

}  // namespace zor::frame
