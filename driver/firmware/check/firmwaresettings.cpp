// Reads the firmware update's popup and restart switches from the board's registry key.
#include "driver/firmware/check/firmwaresettings.h"

#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"

namespace zor::firmware {
namespace {
using foundation::CRegistryKey;

using foundation::kImagingBoardLocation;
constexpr uint32_t kLongestShutdownWait = 30;

void ReadFlag(CRegistryKey& key, const wchar_t* name, bool& flag) {
  int32_t value = 0;
  if (key.ReadDword(name, value)) flag = value != 0;
}
}  // namespace

FirmwareSettings ReadFirmwareSettings() {
  FirmwareSettings settings;
  CRegistryKey key(kImagingBoardLocation, L"DravionLyn", false);
  ReadFlag(key, L"EnableFirmwareUpdatePopup1", settings.askBeforeUpdate);
  ReadFlag(key, L"EnableFirmwareUpdatePopup2", settings.showCompletion);
  ReadFlag(key, L"EnableRebootOnFirmwareUpdate", settings.rebootAfterUpdate);
  int32_t wait = 0;
  if (key.ReadDword(L"FirmwareShutdownWaitTimeInSec", wait) &&
      static_cast<uint32_t>(wait) <= kLongestShutdownWait) {
    settings.shutdownWaitSeconds = static_cast<uint32_t>(wait);
  }
  return settings;
}

}  // namespace zor::firmware
