// IFirmwareCheckSystem: what the firmware check asks of the board system running it.
#pragma once

#include <cstdint>
#include <string>

namespace zor::firmware {

class CBoardJtagPort;

// What the grab-module firmware check needs of the board system that runs it. The board system
// implements it; tests implement it over the simulator alone.
class IFirmwareCheckSystem {
 public:
  virtual ~IFirmwareCheckSystem() = default;

  // The board's capability word (bit 17 four-decoder variant, bit 18 standard variant, bit 19
  // MPEG-4 encoder), the grab module's packed firmware date and the update-needed flag byte, as the
  // board information block gave them. After programming, the check knows the module's new code
  // itself.
  virtual uint32_t CapabilityWord() const = 0;
  virtual uint32_t FirmwareCode() const = 0;
  virtual uint8_t FirmwareUpdateFlag() const = 0;

  // The address of the board's JTAG control register, and the port in use while a run lasts.
  virtual uint64_t JtagRegisterAddress() const = 0;
  virtual CBoardJtagPort* CurrentJtagPort() const = 0;
  virtual void SetCurrentJtagPort(CBoardJtagPort* port) = 0;

  virtual int GetFirmwareNeedReboot() = 0;
  virtual int RebootAfterFirmwareUpdate(const std::wstring& message, uint32_t waitSeconds) = 0;
  virtual uint32_t IsFirmwareUpdaterAvailable() = 0;
  virtual void LaunchFirmwareUpdater() = 0;
  virtual void CallAppControl(int64_t type, int64_t value) = 0;
  virtual bool IsUserAdmin() = 0;
};

}  // namespace zor::firmware
