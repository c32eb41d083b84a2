// One GenApi node map of one object with what the driver keeps around it: its
// display names, its manifest, its in-process browser and the object it
// belongs to. Shared through std::shared_ptr by the node-map registry and the
// browser publisher.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/frameworkuser/genicam/featurebrowser/featurebrowser.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"

namespace zor::genicam {

// What a control takes of the system that owns it.
struct GenICamSystemFacts {
  int64_t hostSystemId = 0;
  int64_t systemNumber = 0;
  bool commandWait = false;
  uint32_t streamStopCheckPeriodMs = 1000;
  uint32_t streamStopDelayMs = 1000;
  uint32_t streamStopIdleExitTimeMs = 10000;
};

struct GenTLManifestEntry {
  std::wstring name;
  int64_t words[5] = {0, 0, 0, 0, 0};
  uint8_t value[16] = {};
  int64_t lastWord = 0;
};

class IGenTLManifestTable {
 public:
  virtual ~IGenTLManifestTable() = default;
  virtual size_t GetCount() const = 0;
  virtual void AddEntry(const GenTLManifestEntry& entry) = 0;
  // Index below GetCount().
  virtual GenTLManifestEntry GetEntry(size_t index) const = 0;
};

struct GenICamManifestInfo {
  std::string inquireFunction;
  std::string controlFunction;
  std::string objectClass;
  std::string typePrefix;
  std::string featurePrefix;
  std::string genTLModules[6];
};

// Node-map kinds: 0 system and 1 digitizer without "_ZORID", 2 a GenICam
// device, 4 to 10 the own objects of the object-class table.
inline constexpr uint32_t kDeviceNodeMapKind = 2;

class GenICamControl : public GenICamProxy,
                       public foundation::CLogProvider,
                       public IGenTLManifestTable {
 public:
  static constexpr int64_t kKeepAliveMode = 0x20000;

  GenICamControl(const GenICamSystemFacts& system, int64_t hostObjectId, uint64_t deviceNumber,
                 uint32_t kind);
  ~GenICamControl() override;

  // Computed once; safe from several threads.
  std::string BuildDeviceDisplayName();
  std::string GetDeviceDisplayName();
  // {path, object name} of a host object.
  static std::pair<std::string, std::string> GetObjectPath(int64_t hostObjectId);
  GenICamManifestInfo GetManifestInfo();

  void SetControlMode(int64_t mode) { controlMode_ = mode; }
  int64_t GetControlMode() const { return keepAliveEnabled_ != 0 ? controlMode_.load() : 1; }
  void SetKeepAliveEnabled(bool enabled) { keepAliveEnabled_ = enabled ? 1 : 0; }

  size_t GetCount() const override;
  void AddEntry(const GenTLManifestEntry& entry) override;
  GenTLManifestEntry GetEntry(size_t index) const override;

  // Acquisition mode as digitizer control 6908 left it: 1 single frame, -1
  // continuous, 0 not known yet.
  int64_t AcquisitionMode() const { return acquisitionMode_; }
  void SetAcquisitionMode(int64_t mode) { acquisitionMode_ = mode; }
  // The keep-alive values of digitizer controls 6929 and 6930.
  uint32_t KeepAliveValue(size_t index) const { return keepAliveValues_[index]; }
  void SetKeepAliveValue(size_t index, uint32_t value) { keepAliveValues_[index] = value; }
  // The values that digitizer inquiries 6937 to 6941 answer; nothing sets them.
  int64_t StoredValue(size_t index) const { return storedValues_[index]; }
  const std::wstring& NameText() const { return nameText_; }
  void SetNameText(const std::wstring& text) { nameText_ = text; }

  int64_t HostObjectId() const { return hostObjectId_; }
  uint32_t Kind() const { return kind_; }
  const GenICamSystemFacts& System() const { return system_; }
  FeatureBrowser& Browser() { return featureBrowser_; }

  // Feature hooks of the map, browser changes of both browsers included.
  const std::shared_ptr<FeatureHookController>& HookController() const { return hookController_; }
  // Hook information of one of this control's feature events.
  static bool InquireGenICam(int64_t eventId, int64_t infoType, void* out);

 private:
  // The text of "DeviceUserID", else of "DeviceID": the first of the two that can be read.
  std::string ReadDeviceUserName();

  GenICamSystemFacts system_;
  FeatureBrowser featureBrowser_;
  // Set by controls and read by inquiries and other controls on any thread.
  std::atomic<int64_t> controlMode_ = kKeepAliveMode;
  std::atomic<uint32_t> keepAliveEnabled_ = 1;
  int64_t hostObjectId_;
  uint32_t kind_;
  std::atomic<int64_t> acquisitionMode_ = 0;
  std::atomic<uint32_t> keepAliveValues_[2] = {1000, 0};
  std::atomic<int64_t> storedValues_[5] = {0, 0, 0, 0, 0};
  std::wstring nameText_;
  // Guards the two names; held while they are read through the proxy (whose names lock and
  // the transport layer's driver commands come under it).
  foundation::Ranked<std::mutex, foundation::LockId::kControlNames> namesMutex_;
  std::string displayPath_ ZOR_GUARDED_BY(namesMutex_);
  std::string userName_ ZOR_GUARDED_BY(namesMutex_);
  // Guards the manifest; a leaf.
  mutable foundation::Ranked<std::mutex, foundation::LockId::kManifest> manifestMutex_;
  std::vector<GenTLManifestEntry> manifest_ ZOR_GUARDED_BY(manifestMutex_);
  std::shared_ptr<FeatureHookController> hookController_;
};

}  // namespace zor::genicam
