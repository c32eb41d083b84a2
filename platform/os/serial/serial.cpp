#include "platform/os/serial/serial.h"

#include "platform/os/device/device_file.h"
#include "platform/os/serial/port_core.h"
#include "platform/os/serial/port_paths.h"
#include "platform/os/serial/serial_port.h"

namespace os::detail {
namespace {

std::shared_ptr<SerialPort> Port(Handle handle) {
  std::shared_ptr<DeviceFile> file = Lookup<DeviceFile>(handle);
  if (file == nullptr) return nullptr;
  if (file->serial == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return file->serial;
}

bool Report(uint32_t error) {
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

}  // namespace
}  // namespace os::detail

namespace os {

void SetSerialPortPath(const std::wstring& name, const std::string& devicePath) {
  detail::MapSerialPortPath(name, devicePath);
}

bool GetCommState(Handle port, DCB* dcb) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  if (dcb == nullptr) return detail::Report(ERROR_INVALID_PARAMETER);
  return detail::Report(serial->core().GetState(dcb));
}

bool SetCommState(Handle port, const DCB* dcb) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  if (dcb == nullptr) return detail::Report(ERROR_INVALID_PARAMETER);
  return detail::Report(serial->core().SetState(*dcb));
}

bool GetCommTimeouts(Handle port, COMMTIMEOUTS* timeouts) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  if (timeouts == nullptr) return detail::Report(ERROR_INVALID_PARAMETER);
  *timeouts = serial->core().GetTimeouts();
  return true;
}

bool SetCommTimeouts(Handle port, const COMMTIMEOUTS* timeouts) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  if (timeouts == nullptr) return detail::Report(ERROR_INVALID_PARAMETER);
  serial->core().SetTimeouts(*timeouts);
  return true;
}

bool PurgeComm(Handle port, uint32_t flags) {
  auto serial = detail::Port(port);
  return serial != nullptr && detail::Report(serial->core().Purge(flags));
}

bool ClearCommError(Handle port, uint32_t* errors, COMSTAT* status) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  const uint32_t taken = serial->core().TakeErrors(status);
  if (errors != nullptr) *errors = taken;
  return true;
}

bool SetCommMask(Handle port, uint32_t mask) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  serial->core().SetMask(mask);
  return true;
}

bool WaitCommEvent(Handle port, uint32_t* events, Overlapped* overlapped) {
  if (detail::Port(port) == nullptr) return false;
  return DeviceIoControl(port, IOCTL_SERIAL_WAIT_ON_MASK, nullptr, 0, events, sizeof(uint32_t),
                         nullptr, overlapped);
}

bool InjectCommErrors(Handle port, uint32_t errors) {
  auto serial = detail::Port(port);
  if (serial == nullptr) return false;
  serial->core().InjectErrors(errors);
  return true;
}

}  // namespace os
