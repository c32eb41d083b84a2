// The firmware updater program the check can leave an update to.
#pragma once

#include <cstdint>

#include "driver/foundation/zorstring.h"

namespace zor::firmware {

inline constexpr uint32_t kUpdaterInstalled = 1;
inline constexpr uint32_t kUpdaterRunning = 256;

// Where the firmware updater program is installed: the host library's folder ("ZOR_PATH")
// joined with "../../tools/FirmwareUpdater.exe".
foundation::CZORString FirmwareUpdaterPath();
// kUpdaterInstalled when the program is there (a file), kUpdaterRunning when a running updater
// holds its named mutex.
uint32_t IsFirmwareUpdaterAvailable();
// Starts the updater program when it is there and does not wait for it.
void LaunchFirmwareUpdater();

}  // namespace zor::firmware
