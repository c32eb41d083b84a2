// CDigitizerFirmwareUpdater: updates each digitizer of a system in turn from the GUF file.
#include "driver/frameworkuser/genicam/genicamfirmwareupdate/cdigitizerfirmwareupdater.h"

#include "driver/frameworkuser/genicam/genicamfirmwareupdate/cdigitizerupdateabledevice.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

// Frees the digitizer the variable names when it goes, also when an update
// throws: a reconnection may have changed the id, or cleared it.
class HostDigitizerGuard {
 public:
  explicit HostDigitizerGuard(int64_t& id) : id_(id) {}
  ~HostDigitizerGuard() {
    if (id_ != 0) HostDigFree(id_);
  }
  HostDigitizerGuard(const HostDigitizerGuard&) = delete;
  HostDigitizerGuard& operator=(const HostDigitizerGuard&) = delete;

 private:
  int64_t& id_;
};

void UpdateDevice(CDigitizerFirmwareUpdater& updater, int64_t deviceNumber) {
  int64_t digitizerId = 0;
  AllocateDigitizerQuietly(updater.HostSystemId(), deviceNumber, digitizerId, updater.Sink());
  if (digitizerId == 0) return;
  HostDigitizerGuard guard(digitizerId);
  CDigitizerUpdateableDevice device(updater.HostSystemId(), digitizerId, deviceNumber,
                                    updater.Sink());
  updater.SetCurrentDevice(&device);
  CDigitizerFirmwareUpdateCollector collector(updater);
  try {
    updater.ReadFirmwareUpdateInfos(updater.GufPath(), collector, nullptr);
  } catch (...) {
    updater.SetCurrentDevice(nullptr);
    throw;
  }
  updater.SetCurrentDevice(nullptr);
}

void RequireMatch(const CDigitizerFirmwareUpdater& updater) {
  if (updater.MatchCount() == 0) {
    throw GenICam::RuntimeException("No matching device found.", kFirmwareUpdateSource, __LINE__);
  }
}

}  // namespace

CDigitizerFirmwareUpdater::CDigitizerFirmwareUpdater(int64_t hostSystemId,
                                                     const GenICam::gcstring& gufPath,
                                                     ErrorSink* sink, std::FILE* progressOut)
    : hostSystemId_(hostSystemId), gufPath_(gufPath), progress_(progressOut), sink_(sink) {}

bool CDigitizerFirmwareUpdateCollector::OnUpdateInfo(const GenICam::CFirmwareUpdateInfo& info) {
  GenICam::IFirmwareUpdatableDevice* device = updater_.CurrentDevice();
  if (device == nullptr) return false;
  if (!updater_.FirmwareUpdateMatchesDevice(device->GetNodeMap(), info)) return true;
  updater_.CountMatch();
  updater_.ApplyUpdate(*device, info, &updater_.Progress(), nullptr);
  return false;
}

void UpdateDigitizersFirmware(CDigitizerFirmwareUpdater& updater) {
  updater.VerifyGufFile(updater.GufPath());
  int64_t count = 0;
  HostSysInquire(updater.HostSystemId(), Q_DIGITIZER_NUM, &count);
  for (int64_t number = 0; number < count; ++number) UpdateDevice(updater, number);
  RequireMatch(updater);
}

void UpdateDigitizerFirmware(CDigitizerFirmwareUpdater& updater, int64_t deviceNumber) {
  updater.VerifyGufFile(updater.GufPath());
  UpdateDevice(updater, deviceNumber);
  RequireMatch(updater);
}

}  // namespace zor::genicam
