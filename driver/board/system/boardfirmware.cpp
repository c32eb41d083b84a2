// The grab-module firmware check on this board, and the services the check
// asks of the board system.
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/firmware/check/checkgrabmodulefirmware.h"
#include "driver/firmware/check/firmwareupdater.h"
#include "platform/host/hostservices.h"

namespace zor::board {

foundation::CError QDHwSpecSystem::RunFirmwareCheck(int64_t mode) {
  foundation::CError error;
  firmware::CheckGrabModuleFirmware(*this, static_cast<uint64_t>(mode), error);
  return error;
}

uint32_t QDHwSpecSystem::IsFirmwareUpdaterAvailable() {
  return firmware::IsFirmwareUpdaterAvailable();
}

void QDHwSpecSystem::LaunchFirmwareUpdater() { firmware::LaunchFirmwareUpdater(); }

void QDHwSpecSystem::CallAppControl(int64_t type, int64_t value) {
  HostAppControl(Q_DEFAULT, type, value);
}

}  // namespace zor::board
