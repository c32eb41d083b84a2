#include "platform/genapi/firmwareupdate/firmwareupdater.h"

#include <algorithm>

#include "platform/genapi/api/pointer.h"
#include "platform/genapi/firmwareupdate/gufarchive.h"

namespace GenICam {
namespace {

constexpr int64_t kWriteStep = 1;
constexpr int64_t kResetStep = 2;

// A feature's text, or empty when the device does not offer it readable.
std::string FeatureText(GenApi::INodeMap& nodeMap, const char* name) {
  GenApi::CValuePtr value(nodeMap.GetNode(name));
  return GenApi::IsReadable(value) ? value->ToString().str() : std::string();
}

// Keeps the observer's begin and end paired whatever happens in between.
class ProgressScope {
 public:
  explicit ProgressScope(IFirmwareUpdateProgressObserver* observer) : observer_(observer) {
    if (observer_) observer_->BeginProgress("Updating firmware", kResetStep);
  }
  ~ProgressScope() {
    if (observer_) observer_->EndProgress(succeeded_);
  }
  void Text(int64_t step, const std::string& text) {
    if (observer_) observer_->ReportProgressText(step, text);
  }
  void Value(int64_t step, double percent) {
    if (observer_) observer_->ReportProgressValue(step, percent);
  }
  void Complete(int64_t step) {
    if (observer_) observer_->CompleteProgressStep(step);
  }
  void Succeeded() { succeeded_ = true; }

 private:
  IFirmwareUpdateProgressObserver* observer_;
  bool succeeded_ = false;
};

}  // namespace

void CFirmwareUpdater::VerifyGufFile(const gcstring& gufPath) { GufArchive archive(gufPath.str()); }

void CFirmwareUpdater::ReadFirmwareUpdateInfos(const gcstring& gufPath,
                                               IFirmwareUpdateInfoCollector& collector,
                                               const char*) {
  const GufArchive archive(gufPath.str());
  for (const CFirmwareUpdateInfo& info : archive.Updates()) {
    if (!collector.OnUpdateInfo(info)) break;
  }
}

bool CFirmwareUpdater::FirmwareUpdateMatchesDevice(GenApi::INodeMap* pNodeMap,
                                                   const CFirmwareUpdateInfo& info) {
  if (pNodeMap == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  GenApi::INodeMap& nodeMap = *pNodeMap;
  std::string model = FeatureText(nodeMap, "DeviceModelName");
  if (model.empty()) {
    if (auto* deviceInfo = dynamic_cast<GenApi::IDeviceInfo*>(&nodeMap)) {
      model = deviceInfo->GetModelName().str();
    }
  }
  if (std::find(info.models.begin(), info.models.end(), model) == info.models.end()) return false;
  return info.vendor.empty() || FeatureText(nodeMap, "DeviceVendorName") == info.vendor;
}

void CFirmwareUpdater::ApplyUpdate(IFirmwareUpdatableDevice& device,
                                   const CFirmwareUpdateInfo& info,
                                   IFirmwareUpdateProgressObserver* pObserver, const char*) {
  const GufArchive archive(info.gufPath);
  const std::string payload = archive.Payload(info);
  ProgressScope progress(pObserver);

  device.ReadDeviceIdentifier();
  progress.Text(kWriteStep,
                "Writing firmware " + info.version + " to " + device.GetDeviceIdentifier().str());
  GenApi::INodeMap* nodeMap = device.GetNodeMap();
  if (nodeMap == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  GenApi::CRegisterPtr target(nodeMap->GetNode(info.targetRegister.c_str()));
  if (!GenApi::IsWritable(target)) {
    throw RUNTIME_EXCEPTION("The device has no writable register '%s' for the firmware",
                            info.targetRegister.c_str());
  }
  const size_t chunk = static_cast<size_t>(target->GetLength());
  for (size_t offset = 0; offset < payload.size(); offset += chunk) {
    std::vector<uint8_t> bytes(chunk, 0);
    std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(offset),
                std::min(chunk, payload.size() - offset), bytes.begin());
    target->Set(bytes.data(), static_cast<int64_t>(chunk));
    progress.Value(kWriteStep, 100.0 *
                                   static_cast<double>(std::min(offset + chunk, payload.size())) /
                                   static_cast<double>(payload.size()));
  }
  progress.Complete(kWriteStep);

  progress.Text(kResetStep, "Restarting the device");
  if (device.ResetAndReconnect(info.resetDelay, info.reconnectDelay) == nullptr) {
    throw RUNTIME_EXCEPTION("The device was not found again after the update");
  }
  progress.Complete(kResetStep);
  device.OnUpdateApplied();
  progress.Succeeded();
}

}  // namespace GenICam
