// UartPortRecord: a serial port's events and handle, closed with its receive threads.
#include "driver/frameworkuser/serial/uartportrecord.h"

#include "platform/os/sync/event.h"

namespace zor::frame {

UartPortRecord::UartPortRecord(std::wstring name, int64_t kind)
    : name_(std::move(name)), kind_(kind) {
  read_.hEvent = os::CreateEvent(true, false);
  write_.hEvent = os::CreateEvent(true, false);
}

UartPortRecord::~UartPortRecord() {
  receiver_.reset();
  stoppedReceivers_.clear();
  if (IsOpen()) os::CloseHandle(port_);
  os::CloseHandle(read_.hEvent);
  os::CloseHandle(write_.hEvent);
}

}  // namespace zor::frame
