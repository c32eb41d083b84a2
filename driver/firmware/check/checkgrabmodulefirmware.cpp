// CheckGrabModuleFirmware: compares, updates or reprograms the grab module, then asks to restart.
#include "driver/firmware/check/checkgrabmodulefirmware.h"

#include <cstdio>
#include <string>

#include "driver/firmware/boardjtagport.h"
#include "driver/firmware/check/firmwarefile.h"
#include "driver/firmware/check/firmwaresettings.h"
#include "driver/firmware/check/firmwareupdater.h"
#include "driver/firmware/check/jtagregisterwindow.h"
#include "driver/foundation/conversions.h"
#include "driver/foundation/messagebox.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/process/process_launch.h"
#include "platform/os/process/regular_file.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/wait.h"
#include "platform/os/ui/message_box.h"
#include "platform/os/ui/progress_bar.h"

namespace zor::firmware {
namespace {

using errorcode::kFirmwareUpdateError;
using errorcode::kFpgaProgrammingError;
using errorcode::kSystemOperationError;
using errorcode::kVersionError;
using foundation::CError;
using foundation::CZORString;
using foundation::CZORStringAscii;
using foundation::ShowMessageBox;

constexpr uint32_t kOldestMpeg4Firmware = 0x6B141536;
constexpr uint32_t kWarningBox = os::MB_ICONWARNING | os::MB_SYSTEMMODAL;

constexpr wchar_t kUpdateTitle[] = L"Velant DravionLyn Grab Module Firmware Update";
constexpr wchar_t kAskUpdate[] =
    L"The Grab Module firmware on the Velant DravionLyn needs to be updated before continuing. "
    L"The PC will be shutdown and any unsaved work will be lost. Please close all programs, "
    L"before continuing.";
constexpr wchar_t kAskUpdater[] =
    L"The Grab Module firmware on the Velant DravionLyn needs to be updated before continuing. "
    L"Do you want to launch firmware updater?";
constexpr wchar_t kProgressTitle[] =
    L"Updating DravionLyn grab module firmware, please wait about 5 minutes.";
constexpr wchar_t kDeviceUnreachable[] =
    L"Could not access FLASH or EEPROM make sure Jumper is present.";
constexpr wchar_t kFileMissing[] = L"Could not update FPGA, invalid file or file not found.";
constexpr wchar_t kFinishedTitle[] = L"Velant DravionLyn firmware update";
constexpr wchar_t kFinished[] =
    L"Finished updating Velant DravionLyn firmware. Click on the OK button to shutdown your "
    L"system. Note: if you have other boards to update, perform the required updates before "
    L"clicking on the OK button.";
constexpr wchar_t kShutdownMessage[] =
    L"Velant DravionLyn firmware has been updated, the system will be SHUTDOWN and MUST be "
    L"POWERED-OFF for the modifications to take effect.";
constexpr wchar_t kShutdownFailedTitle[] = L"Velant DravionLyn Firmware Update";
constexpr wchar_t kShutdownFailed[] =
    L"The Velant DravionLyn firmware has been updated, please SHUTDOWN and POWER-OFF your system "
    L"for the modifications to take effect.";

// What an update did, for the steps after it.
struct UpdateOutcome {
  bool stop = false;        // leave the check at once
  bool ran = false;         // a programming run took place
  bool programmed = false;  // and it succeeded
  bool skipVersionCheck = false;
  uint64_t programmedCode = 0;
};

std::string Narrow(const CZORString& wide) {
  CZORStringAscii narrow;
  foundation::WideToAnsiEx(wide.CStr(), narrow, false);
  return narrow.CStr();
}

// Asks the user, or leaves the update to the updater program. True: update in process.
bool AgreeToUpdate(IFirmwareCheckSystem& system, CError& error) {
  const uint32_t updater = system.IsFirmwareUpdaterAvailable();
  if (updater == 0) {
    if (ShowMessageBox(kAskUpdate, kUpdateTitle, os::MB_OKCANCEL | kWarningBox) == os::IDOK) {
      return true;
    }
  } else if ((updater & kUpdaterRunning) == 0 &&
             ShowMessageBox(kAskUpdater, kUpdateTitle, os::MB_YESNO | kWarningBox) == os::IDYES) {
    system.LaunchFirmwareUpdater();
  }
  error.SetError(kFpgaProgrammingError, 2);
  return false;
}

// Result 3: the chain did not answer. With dialogs the user is told why; either way the run
// failed and no shutdown may follow.
void ReportUnreachableDevice(const std::string& dataPath, CError& error) {
  QINT64 noDialog = 0;
  HostAppInquire(Q_DEFAULT, Q_NO_DIALOG, &noDialog);
  FILE* data = os::OpenRegularFile(dataPath, "rb");
  const bool opened = data != nullptr;
  if (opened) std::fclose(data);
  if (noDialog != 1) {
    ShowMessageBox(opened ? kDeviceUnreachable : kFileMissing, kUpdateTitle,
                   os::MB_OK | kWarningBox);
  }
  error.SetError(kFpgaProgrammingError, opened ? 4 : 3);
}

// One programming run on the register the window reaches.
void Program(IFirmwareCheckSystem& system, const CZORString& folder,
             const CJtagRegisterWindow& window, CError& error, UpdateOutcome& outcome) {
  os::ProgressBar progress(kProgressTitle);
  if (window.Register() == nullptr) {
    // Without the register nothing can be programmed: that is a failure, not a success.
    error.SetError(kFpgaProgrammingError, 1);
    return;
  }
  CZORString description = folder;
  description.Append(L"/bsdl_1532/jtag_file.inf");
  const wchar_t* fileName = FirmwareFileName(system.CapabilityWord());
  CZORString data = folder;
  if (fileName != nullptr) data.Append(fileName);
  const std::string dataPath = Narrow(data);
  int result = CJtagProgrammer::kNoDescriptionFile;
  {
    CBoardJtagPort port(window.Register());
    system.SetCurrentJtagPort(&port);
    if (fileName != nullptr) {
      result = port.Program(Narrow(description).c_str(), dataPath.c_str(),
                            [&progress](uint32_t position) {
                              progress.SetPosition(position);
                              progress.PumpMessages();
                            });
    }
    system.SetCurrentJtagPort(nullptr);
  }
  outcome.ran = true;
  outcome.skipVersionCheck = result != CJtagProgrammer::kProgrammed;
  switch (result) {
    case CJtagProgrammer::kProgrammed:
      outcome.programmed =
          ReadFirmwareHeader(system, data.CStr(), outcome.programmedCode).errorSet == 0;
      break;
    case CJtagProgrammer::kTooManyDevices:
      ReportUnreachableDevice(dataPath, error);
      break;
    case CJtagProgrammer::kNoDescriptionFile:
      error.SetError(kFpgaProgrammingError, 3);
      break;
    default:
      error.SetError(kFpgaProgrammingError, 1);
      break;
  }
}

// Steps under the firmware-update mutex, which serialises updates across processes.
UpdateOutcome UpdateInProcess(IFirmwareCheckSystem& system, const CZORString& folder,
                              const CJtagRegisterWindow& window, CError& error) {
  UpdateOutcome outcome;
  const os::Handle mutex = os::CreateMutex(true, L"VelantFirmwareUpdateMutex");
  if (mutex == os::kNullHandle) {
    error.SetError(kSystemOperationError, 2);
    outcome.stop = true;
    return outcome;
  }
  bool owned = os::GetLastError() != os::ERROR_ALREADY_EXISTS;
  if (system.GetFirmwareNeedReboot() != 0) {
    error.SetError(kSystemOperationError, 4);
    outcome.stop = true;
  } else {
    if (!owned) {
      const uint32_t wait = os::WaitForSingleObject(mutex, os::INFINITE);
      owned = wait == os::WAIT_OBJECT_0 || wait == os::WAIT_ABANDONED_0;
    }
    Program(system, folder, window, error, outcome);
  }
  if (owned) os::ReleaseMutex(mutex);
  os::CloseHandle(mutex);
  return outcome;
}

void FinishUpdate(IFirmwareCheckSystem& system, const FirmwareSettings& settings, CError& error) {
  if (settings.showCompletion) {
    ShowMessageBox(kFinished, kFinishedTitle, os::MB_OK | kWarningBox);
  }
  if (!settings.rebootAfterUpdate) return;
  if (system.RebootAfterFirmwareUpdate(kShutdownMessage, settings.shutdownWaitSeconds) != 0) {
    system.CallAppControl(Q_NO_DIALOG, 0);
    os::ExitProcess(0);
  }
  error.SetError(kFirmwareUpdateError, 4);
  ShowMessageBox(kShutdownFailed, kShutdownFailedTitle, os::MB_OK);
}

}  // namespace

void CheckGrabModuleFirmware(IFirmwareCheckSystem& system, uint64_t flags, CError& error) {
  if ((flags & kFirmwareCompareFirst) != 0) {
    if (SelectFirmwareFile(system) == 0) return;
  } else if ((flags & kFirmwareUpdateAlways) == 0) {
    return;
  }
  if ((flags & kFirmwareReportOnly) != 0) {
    error.SetError(kVersionError, 1);
    return;
  }
  CZORString folder;
  const CError folderError = ReadFirmwareFolder(system, folder);
  if (folderError.errorSet != 0) {
    error.SetError(folderError.code, folderError.subCode);
    return;
  }
  const FirmwareSettings settings = ReadFirmwareSettings();
  CJtagRegisterWindow window(system.JtagRegisterAddress());
  UpdateOutcome outcome;
  if (!settings.askBeforeUpdate || AgreeToUpdate(system, error)) {
    outcome = UpdateInProcess(system, folder, window, error);
    if (outcome.stop) return;
  }
  if (!outcome.skipVersionCheck) {
    // After a run the module holds the file it was programmed with, not what it had before.
    const uint32_t code =
        outcome.programmed ? static_cast<uint32_t>(outcome.programmedCode) : system.FirmwareCode();
    if ((system.CapabilityWord() & kCapMpeg4) != 0 && code < kOldestMpeg4Firmware) {
      error.SetError(kFpgaProgrammingError, 2);
    }
  }
  window.Free();
  if (error.errorSet == 0 && outcome.ran) FinishUpdate(system, settings, error);
}

}  // namespace zor::firmware
