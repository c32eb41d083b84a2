// Finds the firmware updater program, tells whether it runs, and starts it.
#include "driver/firmware/check/firmwareupdater.h"

#include "driver/foundation/folders.h"
#include "platform/os/core/handle.h"
#include "platform/os/process/process_launch.h"
#include "platform/os/sync/named_mutex.h"

namespace zor::firmware {

using foundation::CZORString;

CZORString FirmwareUpdaterPath() {
  CZORString path;
  // Without the host library's folder there is no updater to find.
  if (foundation::GetFolderVariable(L"zor_path", path))
    path.AppendPath(L"../../tools/FirmwareUpdater.exe");
  return path;
}

uint32_t IsFirmwareUpdaterAvailable() {
  uint32_t answer = 0;
  const CZORString path = FirmwareUpdaterPath();
  if (foundation::FileExists(path.CStr())) answer |= kUpdaterInstalled;  // false for ""
  // Only a running updater makes this mutex; opening it creates nothing.
  const os::Handle started = os::OpenMutex(L"velantimaging.FirmwareUpdaterStarted");
  if (started != os::kNullHandle) {
    answer |= kUpdaterRunning;
    os::CloseHandle(started);
  }
  return answer;
}

void LaunchFirmwareUpdater() {
  const CZORString path = FirmwareUpdaterPath();
  // The path goes to the program loader as it is: no shell ever parses it.
  if (foundation::FileExists(path.CStr())) os::CreateProcess(path.CStr(), nullptr);
}

}  // namespace zor::firmware
