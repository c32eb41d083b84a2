// The layer of the system classes that gives a system GenICam support: its
// settings, the GenICam installation check and environment, and the
// operations the GenICam layer overrides. Types it does not serve go on to
// the device layer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/zorstring.h"
#include "driver/frameworkuser/command/commandwrapper.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/ownnodemaps/ownnodemaps.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/os/core/handle.h"

namespace zor::genicam {
class GenICamControl;
}

namespace zor::frame {

// The board system reads a GenTL manifest table through this slot.
class IGenTLManifestTableReader {
 public:
  virtual ~IGenTLManifestTableReader() = default;
  virtual void ReadManifestTable() = 0;
};

// Start-up status of a system whose GenICam set-up failed.
inline constexpr int64_t kGenICamStartupFailed = 0x40000000;

class QDGeniCamDeviceSystem : public QDDeviceSystem, public IGenTLManifestTableReader {
 public:
  // startupStatus gets kGenICamStartupFailed when the set-up failed; the
  // error is then recorded on ctx.
  QDGeniCamDeviceSystem(const wchar_t* name, int64_t deviceNumber, int64_t initWord,
                        const wchar_t* wideName, int64_t& startupStatus,
                        QDDriverThreadContext& ctx);
  ~QDGeniCamDeviceSystem() override;

  int64_t SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigFree(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigHookFunction(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // Hook information of feature events; other events go on to the device layer.
  int64_t DigGetHookInfo(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t ControlFeature(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t InquireFeature(const OperationArgs& args, QDDriverThreadContext& ctx) override;

  virtual bool SupportsGenICam() const { return true; }
  // Node maps of a host object of the system, built on request (system
  // controls 1049 and 1105, digitizer control 1049).
  virtual void CreateOwnNodeMaps(int64_t hostObjectId);
  virtual genicam::TransportLayers CreateTransportLayers(int64_t hostObjectId,
                                                         const genicam::XmlResourceRecord& record);
  virtual void GenerateFeatureHeaders();
  // The registered controls of the ";"-separated modules ("*": all; none: the
  // own modules) that belong to the object.
  virtual std::vector<std::shared_ptr<genicam::GenICamControl>> FindNodeMaps(
      const std::wstring& modules, int64_t objectId, int64_t secondId);

  genicam::NodeMapRegistry& NodeMaps() { return *registry_; }
  // The address of the digitizer's node-map reference, 0 when it has none.
  int64_t DigitizerNodeMapAddress(int64_t digitizerIndex) const;
  // "System <board name> <number>{<host id>}", and a digitizer's name under it.
  std::string MakeSystemDisplayName() const;
  std::string MakeDigitizerDisplayName(int64_t digitizerIndex) const;
  // What the system's GenICam controls take of it.
  genicam::GenICamSystemFacts ControlFacts() const;

  // Control type 6905 of the system (index 0) or of a digitizer: opens or closes the web or the
  // in-process feature browser of its node maps; an error is recorded in the context.
  void ControlFeatureBrowser(int64_t digitizerIndex, ValueRecord value, QDDriverThreadContext& ctx);

  void ReadRegistryParameters();
  void CheckGenICamInstallation(QDDriverThreadContext& ctx);
  // The error already recorded for the running command on this thread.
  static int64_t GetPendingError(QDDriverThreadContext& ctx);

  // True for a host event that carries a feature-hook context.
  static bool IsFeatureEvent(int64_t eventId);

  bool GenICamAvailable() const { return genicamAvailable_; }
  bool UsesNewFeatureBrowser() const { return newFeatureBrowser_; }
  int32_t StreamStopCheckPeriodMs() const { return streamStopCheckPeriod_; }
  int32_t StreamStopDelayMs() const { return streamStopDelay_; }
  int32_t StreamStopIdleExitTimeMs() const { return streamStopIdleExitTime_; }
  int32_t FeatureBrowserServer() const { return featureBrowserServer_; }
  int32_t FeatureBrowserServerPort() const { return featureBrowserServerPort_; }

 private:
  void ControlInProcessBrowser(int64_t digitizerIndex,
                               const std::shared_ptr<QDDigitizerInfo>& digitizer, int64_t value,
                               QDDriverThreadContext& ctx);
  // The registered maps of the system and all its digitizers (index 0), or of one digitizer.
  std::vector<std::shared_ptr<genicam::GenICamControl>> FindAddressedMaps(
      int64_t digitizerIndex, const QDDigitizerInfo* digitizer);
  // The web browser's maps, published by the system's one publisher, made on first use.
  void PublishMaps(const std::vector<std::shared_ptr<genicam::GenICamControl>>& controls,
                   QDDriverThreadContext& ctx) ZOR_REQUIRES(publishingLock_);
  void WithdrawMaps(const std::vector<std::shared_ptr<genicam::GenICamControl>>& controls)
      ZOR_REQUIRES(publishingLock_);
  // Sets the GenICam variables; false (with the error recorded) when the XML
  // repository is not named.
  bool SetGenICamEnvironment(QDDriverThreadContext& ctx);
  // Sets one kind of feature hook on the digitizer's maps, or removes it.
  void SetFeatureHooks(QDDigitizerInfo& digitizer, genicam::FeatureHookKind kind, bool unhook,
                       QHOOK_FUNCTION function, void* user, QDDriverThreadContext& ctx)
      ZOR_REQUIRES(digitizer.FeatureLock());
  // Feature control (true) or inquiry routed by module name.
  int64_t RouteFeature(const OperationArgs& args, QDDriverThreadContext& ctx, bool control);

  // The device layer's result for a type passed on while GenICam is missing;
  // an error it recorded for a GenICam type becomes "not installed".
  int64_t PassOn(int64_t type, int64_t result, QDDriverThreadContext& ctx);
  static int64_t NodeMapAddress(const genicam::GenICamControl* control);
  void EraseObjectNodeMap(int64_t object);
  void UpdateFirmware(int64_t type, const ValueRecord& record, QDDriverThreadContext& ctx);

  // The digitizer-index entry, else the registry's (host id, "QdigControl").
  std::shared_ptr<genicam::GenICamControl> DigitizerControl(int64_t index,
                                                            const QDDigitizerInfo& digitizer) const;
  void SetSingleFrame(int64_t index, QDDigitizerInfo& digitizer, genicam::GenICamControl& control,
                      QDDriverThreadContext& ctx);
  void WaitForAcquisitionStop(genicam::GenICamControl& control, QDDriverThreadContext& ctx);
  void SetAcquisitionMode(int64_t index, QDDigitizerInfo& digitizer,
                          genicam::GenICamControl& control, int64_t value,
                          QDDriverThreadContext& ctx);
  void StopAcquisition(QDDigitizerInfo& digitizer, genicam::GenICamControl& control, int64_t value,
                       QDDriverThreadContext& ctx);
  void ControlPolling(genicam::GenICamControl& control, int64_t value, QDDriverThreadContext& ctx);
  // Q_ENABLE or Q_DISABLE; 0 while the new browser has no publisher.
  int64_t PollingState(genicam::GenICamControl& control) const;
  // The string-length form of a digitizer inquire: a text's length + 1.
  int64_t InquireTextLength(int64_t bare, QDDigitizerInfo& digitizer,
                            genicam::GenICamControl& control, const OperationArgs& args,
                            QDDriverThreadContext& ctx);
  static int64_t ReadAcquisitionMode(genicam::GenICamControl& control);
  void StoreFeatureBag(genicam::GenICamControl& control, QDDriverThreadContext& ctx);
  std::wstring FeatureBagText() const;
  void ExportJson(int64_t index, const QDDigitizerInfo& digitizer, genicam::GenICamControl* own,
                  QDDriverThreadContext& ctx);

  os::Handle xmlMutex_ = os::INVALID_HANDLE_VALUE;
  int32_t streamStopCheckPeriod_ = 1000;
  int32_t streamStopDelay_ = 1000;
  int32_t streamStopIdleExitTime_ = 10000;
  int32_t useNewFeatureBrowser_ = 1;
  int32_t featureBrowserServer_ = 0;
  int32_t featureBrowserServerPort_ = 0;
  bool newFeatureBrowser_ = true;
  foundation::CZORString featureBrowserSuffix_;
  bool genicamAvailable_ = false;
  std::atomic<bool> keepAliveControlMode_ = false;
  // Guards featureBagText_; a leaf, taken under a digitizer's channel lock.
  mutable foundation::Ranked<std::mutex, foundation::LockId::kFeatureBag> featureBagLock_;
  std::wstring featureBagText_ ZOR_GUARDED_BY(featureBagLock_);
  std::unique_ptr<genicam::NodeMapRegistry> registry_;
  // The feature browser's publisher, made by the first open and dropped by the last close; a
  // copy is used outside the lock, which guards the pointer alone (a leaf).
  std::shared_ptr<genicam::NodeMapPublisher> Publisher() const;
  void SetPublisher(std::shared_ptr<genicam::NodeMapPublisher> publisher);
  mutable foundation::Ranked<std::mutex, foundation::LockId::kPublisherPointer> publisherLock_;
  std::shared_ptr<genicam::NodeMapPublisher> publisher_ ZOR_GUARDED_BY(publisherLock_);
  // One open or close of the publisher's maps at a time (control 6905, a freed object's maps);
  // taken before the publisher's own lock, under no lock of the driver's.
  foundation::Ranked<std::mutex, foundation::LockId::kPublishing> publishingLock_;
  // A freed object's maps leave the publisher with it.
  void WithdrawFreedMaps(const std::shared_ptr<genicam::GenICamControl>& control);
  // Serialises feature access that names no digitizer (the system's own map); stands where a
  // digitizer's feature lock stands in the order, and is recursive for the same reason.
  foundation::Ranked<std::recursive_mutex, foundation::LockId::kFeature> systemFeatureLock_;
};

}  // namespace zor::frame
