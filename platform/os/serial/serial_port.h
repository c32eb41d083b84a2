// A serial port as a device: reads, writes and event waits are requests that
// one I/O thread per port serves with poll(), never by busy looping.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/os/device/device.h"

namespace os::detail {

class PortCore;

class SerialPort : public Device {
 public:
  // name: "COMn". Null with the Windows error when the device cannot open.
  static std::shared_ptr<SerialPort> Open(const std::wstring& name, uint32_t* error);
  explicit SerialPort(std::shared_ptr<PortCore> core);
  ~SerialPort() override;

  // Ends the I/O thread and frees the line for the next opener; calls still running on the
  // port fail from here on.
  void Close();

  void Control(std::shared_ptr<IoRequest> request) override;
  void Read(std::shared_ptr<IoRequest> request) override;
  void Write(std::shared_ptr<IoRequest> request) override;
  void Cancelled(const IoRequest& request) override;

  // Line settings, time-outs, purges, errors and the event mask.
  PortCore& core() { return *core_; }

 private:
  std::shared_ptr<PortCore> core_;
  std::thread thread_;
};

}  // namespace os::detail
