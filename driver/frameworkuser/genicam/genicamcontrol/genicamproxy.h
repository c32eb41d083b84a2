// The base of every GenICam control: one GenApi node map named "Device", the
// port it reads and writes through, and the small services around it that
// feature access needs (commands, enumeration entries, device names for
// error texts). Errors go to the caller's thread context; none propagate.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "platform/genapi/genapi.h"

namespace zor::frame {
class QDDriverThreadContext;
}

namespace zor::genicam {

using ErrorSink = frame::QDDriverThreadContext;

inline constexpr int64_t kGenICamFailed = 0x40000000;

// Requested operations of BuildFeatureAccessError.
enum class EntryAccess { kRead = 1, kWrite = 2, kImplemented = 3, kAvailable = 4 };

// The node's polling time, or that of its "pValue" node when it has none;
// -1 when neither has one.
int64_t NodePollingTime(GenApi::CNodeMapRef* nodeMap, GenApi::INode* node);

class GenICamProxy {
 public:
  GenICamProxy(uint64_t deviceNumber, bool waitForCommandDone);
  virtual ~GenICamProxy();
  GenICamProxy(const GenICamProxy&) = delete;
  GenICamProxy& operator=(const GenICamProxy&) = delete;

  // Takes the node map and the port and connects them under the port name.
  void SetNodeMap(std::shared_ptr<GenApi::CNodeMapRef> nodeMap, std::shared_ptr<GenApi::IPort> port,
                  const GenICam::gcstring& portName, bool waitForCommandDone);

  void ExecuteCommand(const GenICam::gcstring& name, ErrorSink* sink);
  void ExecuteCommandNode(GenApi::ICommand* command, ErrorSink* sink);
  // Waits while the wait flag is set, checking IsDone at most
  // kCommandDoneChecks times at the node's polling time (50 ms without one).
  // 0, or kGenICamFailed after recording kFeatureAccessError (an exception) or kCameraFeatureError
  // sub-code 2 (never done).
  int64_t WaitForCommandDone(GenApi::ICommand* command, ErrorSink* sink);
  static constexpr int kCommandDoneChecks = 200;

  // Read once and kept; safe to ask from several threads at once.
  std::string GetDeviceModelName();
  std::string GetDeviceVendorName();

  // 0, or kGenICamFailed after recording the error.
  int64_t GetEnumEntries(GenApi::IEnumeration* enumeration, bool useDisplayNames,
                         std::vector<GenICam::gcstring>& names, ErrorSink* sink);
  void GetEnumEntryName(size_t index, GenApi::IEnumeration* enumeration, bool useDisplayNames,
                        GenICam::gcstring& name, ErrorSink* sink);
  size_t GetEnumEntryCount(GenApi::IEnumeration* enumeration, ErrorSink* sink);
  // 0 with the entry when it allows the operation, else kGenICamFailed.
  int64_t BuildFeatureAccessError(GenApi::IEnumeration* enumeration,
                                  const GenICam::gcstring& entryName, EntryAccess operation,
                                  GenApi::IEnumEntry*& entry, ErrorSink* sink);

  const std::shared_ptr<GenApi::CNodeMapRef>& NodeMap() const { return nodeMap_; }
  const std::shared_ptr<GenApi::IPort>& Port() const { return port_; }
  bool WaitsForCommandDone() const { return waitForCommandDone_; }
  uint64_t DeviceNumber() const { return deviceNumber_; }

  void SetResource(const std::wstring& name, int32_t kind);
  const std::wstring& ResourceName() const { return resourceName_; }
  int32_t ResourceKind() const { return resourceKind_; }

  // Node callbacks that other parts register on this map; all are
  // deregistered when the proxy goes.
  std::map<GenICam::gcstring, GenApi::CallbackHandleType>& NodeCallbacks() {
    return nodeCallbacks_;
  }
  void DeregisterNodeCallbacks();

 private:
  // The model's name or the vendor's, read through the feature on first use.
  std::string CachedName(const char* feature, bool model);

  std::wstring resourceName_;
  int32_t resourceKind_ = 2;
  std::shared_ptr<GenApi::CNodeMapRef> nodeMap_;
  std::shared_ptr<GenApi::IPort> port_;
  std::map<GenICam::gcstring, GenApi::CallbackHandleType> nodeCallbacks_;
  bool waitForCommandDone_;
  uint64_t deviceNumber_;
  // Guards the two names, read from the device once; the node map's lock comes under it.
  foundation::Ranked<std::mutex, foundation::LockId::kProxyNames> namesMutex_;
  GenICam::gcstring vendorName_ ZOR_GUARDED_BY(namesMutex_);
  GenICam::gcstring modelName_ ZOR_GUARDED_BY(namesMutex_);
};

}  // namespace zor::genicam
