// The layer of the system classes that gives a system GenICam support: its
// settings, the GenICam installation check and environment, and the
// operations the GenICam layer overrides. Types it does not serve go on to
// the device layer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/foundation/zorstring.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
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
  // Node maps of the own objects, built on request (host object id control
  // 1049 of the system and of each digitizer).
  virtual void CreateOwnNodeMaps(int64_t hostSystemId);
  virtual void CreateTransportLayers();
  virtual void GenerateFeatureHeaders();
  virtual void FindNodeMaps();

  void ReadRegistryParameters();
  void CheckGenICamInstallation(QDDriverThreadContext& ctx);
  // The error already recorded for the running command on this thread.
  static int64_t GetPendingError(QDDriverThreadContext& ctx);

  // Node-map registry: (host object id, module name) to the object's control.
  void RegisterObjectNodeMap(int64_t id, const std::wstring& module,
                             std::shared_ptr<genicam::GenICamControl> control);
  std::shared_ptr<genicam::GenICamControl> GetFeatureControl(int64_t id,
                                                             std::wstring_view module) const;
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
  // Sets the GenICam variables; false (with the error recorded) when the XML
  // repository is not named.
  bool SetGenICamEnvironment(QDDriverThreadContext& ctx);
  // Feature control (true) or inquiry routed by module name.
  int64_t RouteFeature(const OperationArgs& args, QDDriverThreadContext& ctx, bool control);
  // The controls a digitizer's feature hooks reach, in registry order.
  std::vector<std::shared_ptr<genicam::GenICamControl>> HookedControls(int64_t digitizerIndex);

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
  mutable std::mutex registryLock_;
  // Looked up by (id, module view) without making a key.
  struct NodeMapKeyLess {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      if (a.first != b.first) return a.first < b.first;
      return std::wstring_view(a.second) < std::wstring_view(b.second);
    }
  };
  std::map<std::pair<int64_t, std::wstring>, std::shared_ptr<genicam::GenICamControl>,
           NodeMapKeyLess>
      nodeMaps_;
  // Serialises feature access that names no digitizer (the system's own map).
  std::recursive_mutex systemFeatureLock_;
};

}  // namespace zor::frame
