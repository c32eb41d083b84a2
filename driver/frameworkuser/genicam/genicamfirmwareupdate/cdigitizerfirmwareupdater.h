// Firmware updates of a system's digitizers from a GUF file: each digitizer
// is allocated, offered the file's entries until one fits, updated, reset and
// found again, and freed.
#pragma once

#include <cstdint>
#include <cstdio>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"
#include "driver/frameworkuser/genicam/genicamfirmwareupdate/firmwareupdateprogress.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

class CDigitizerFirmwareUpdater : public GenICam::CFirmwareUpdater {
 public:
  // progressOut: where the progress bar goes (null: stderr when a terminal).
  CDigitizerFirmwareUpdater(int64_t hostSystemId, const GenICam::gcstring& gufPath, ErrorSink* sink,
                            std::FILE* progressOut = nullptr);

  const int64_t& HostSystemId() const { return hostSystemId_; }
  const GenICam::gcstring& GufPath() const { return gufPath_; }
  GenICam::IFirmwareUpdatableDevice* CurrentDevice() const { return currentDevice_; }
  void SetCurrentDevice(GenICam::IFirmwareUpdatableDevice* device) { currentDevice_ = device; }
  CDigitizerFirmwareUpdaterProgress& Progress() { return progress_; }
  int64_t MatchCount() const { return matchCount_; }
  void CountMatch() { ++matchCount_; }
  ErrorSink* Sink() const { return sink_; }

 private:
  int64_t hostSystemId_;
  GenICam::gcstring gufPath_;
  GenICam::IFirmwareUpdatableDevice* currentDevice_ = nullptr;
  CDigitizerFirmwareUpdaterProgress progress_;
  int64_t matchCount_ = 0;
  ErrorSink* sink_;
};

// Applies the first entry that fits the updater's current device.
class CDigitizerFirmwareUpdateCollector : public GenICam::IFirmwareUpdateInfoCollector {
 public:
  explicit CDigitizerFirmwareUpdateCollector(CDigitizerFirmwareUpdater& updater)
      : updater_(updater) {}
  bool OnUpdateInfo(const GenICam::CFirmwareUpdateInfo& info) override;

 private:
  CDigitizerFirmwareUpdater& updater_;
};

// Every matching digitizer of the system, or the one of that device number.
// Raise a GenICam exception when the file is not valid, when no digitizer
// fits, or when an update fails.
void UpdateDigitizersFirmware(CDigitizerFirmwareUpdater& updater);
void UpdateDigitizerFirmware(CDigitizerFirmwareUpdater& updater, int64_t deviceNumber);

}  // namespace zor::genicam
