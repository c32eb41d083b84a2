// The board's firmware update settings: ask first, show completion, restart after.
#pragma once

#include <cstdint>

namespace zor::firmware {

// The board key's settings of the firmware update; a value that is missing or not 4 bytes long
// keeps its default.
struct FirmwareSettings {
  bool askBeforeUpdate = true;        // "EnableFirmwareUpdatePopup1"
  bool showCompletion = true;         // "EnableFirmwareUpdatePopup2"
  uint32_t shutdownWaitSeconds = 15;  // "FirmwareShutdownWaitTimeInSec", taken below 31 only
  bool rebootAfterUpdate = true;      // "EnableRebootOnFirmwareUpdate"
};

FirmwareSettings ReadFirmwareSettings();

}  // namespace zor::firmware
