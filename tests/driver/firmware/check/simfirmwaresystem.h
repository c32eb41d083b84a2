// The board system as the firmware check sees it, over a simulated board: the capability word
// and the information block come from the board's kernel requests, the reboot service does what
// the device system does (the pending-shutdown mark, the update mutex, the recorded shutdown).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "driver/firmware/check/firmwarechecksystem.h"
#include "platform/boardsim/board.h"

namespace firmwaretest {

class SimFirmwareSystem : public zor::firmware::IFirmwareCheckSystem {
 public:
  explicit SimFirmwareSystem(boardsim::Board& board);

  uint32_t CapabilityWord() const override { return capabilities_; }
  uint32_t FirmwareCode() const override { return code_; }
  uint8_t FirmwareUpdateFlag() const override { return updateFlag_; }
  uint64_t JtagRegisterAddress() const override { return jtagAddress_; }
  zor::firmware::CBoardJtagPort* CurrentJtagPort() const override { return port_; }
  void SetCurrentJtagPort(zor::firmware::CBoardJtagPort* port) override;
  int GetFirmwareNeedReboot() override;
  int RebootAfterFirmwareUpdate(const std::wstring& message, uint32_t waitSeconds) override;
  uint32_t IsFirmwareUpdaterAvailable() override;
  void LaunchFirmwareUpdater() override;
  void CallAppControl(int64_t type, int64_t value) override;
  bool IsUserAdmin() override;

  void SetJtagRegisterAddress(uint64_t address) { jtagAddress_ = address; }
  // Run when the port of a programming run is set and when it is cleared.
  std::function<void()> onRunStart;
  std::function<void()> onRunEnd;
  int portsSet = 0;

 private:
  uint32_t capabilities_ = 0;
  uint32_t code_ = 0;
  uint8_t updateFlag_ = 0;
  uint64_t jtagAddress_ = 0;
  zor::firmware::CBoardJtagPort* port_ = nullptr;
};

void SetFirmwareNeedReboot(uint32_t value);

}  // namespace firmwaretest
