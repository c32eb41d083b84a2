// Feature hooks of one node map: GenApi node callbacks (every feature, or the
// watched ones) and browser changes, each turned into a call of the user's
// hook function with a host event id whose information is read inside the
// hook. Contexts and their host events are pooled: once the pool holds as many
// as there are concurrent deliveries, a delivery allocates nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/genapi/genapi.h"
#include "platform/host/qtypes.h"

namespace zor::frame {
class QDDriverThreadContext;
}

namespace zor::genicam {

using HookSink = frame::QDDriverThreadContext;

// Hook kinds and the hook types the user's function receives.
enum class FeatureHookKind : int { kAnyFeature = 0, kWatched = 1, kBrowser = 2 };
inline constexpr int64_t kAnyFeatureHookType = 0x4000001A;
inline constexpr int64_t kWatchedFeatureHookType = 0x1A;
inline constexpr int64_t kBrowserFeatureHookType = 0x0100001A;
using errorcode::kFeatureHookError;

class FeatureHookController : public std::enable_shared_from_this<FeatureHookController> {
 public:
  // What one delivery tells the hook information: kept in a pooled context.
  struct Context {
    uint64_t timeStamp = 0;  // performance counter at the event
    uint64_t frequency = 1;  // counter ticks per second
    int64_t hookedObject = 0;
    std::shared_ptr<GenApi::CNodeMapRef> nodeMap;
    GenApi::INode* node = nullptr;  // the changed node, null for an in-process browser value
    int64_t value = 0;              // the value the in-process browser reported
    uint32_t sourceKind = 6;
    void Reset();
  };

  explicit FeatureHookController(uint32_t sourceKind);
  ~FeatureHookController();
  FeatureHookController(const FeatureHookController&) = delete;
  FeatureHookController& operator=(const FeatureHookController&) = delete;

  // Asks the host for the object's owner system, on which events are made.
  void SetOwner(int64_t objectId, std::shared_ptr<GenApi::CNodeMapRef> nodeMap);
  void SetHook(FeatureHookKind kind, QHOOK_FUNCTION function, void* user, HookSink* sink);
  void Unregister(FeatureHookKind kind, bool clearUser, HookSink* sink);
  void SetFeatureWatched(const GenICam::gcstring& name, bool watch);
  bool IsFeatureWatched(const GenICam::gcstring& name) const;
  void SetDeliveryEnabled(bool enabled) { deliveryEnabled_.store(enabled); }
  // Delivery on while any kind has a user function, so that removing one kind leaves the others.
  void UpdateDelivery();

  void OnAnyFeatureChanged(GenApi::INode* node);
  void OnWatchedFeatureChanged(GenApi::INode* node);
  // Browser changes: a value the in-process browser reports, or a node that a client of the
  // feature-browser server has just written.
  void OnEvent(int64_t value);
  void OnEvent(GenApi::INode* node);

  // The context of a host event that one of the controllers made, or null:
  // an event of any other kind is never taken for one.
  static Context* FindContext(int64_t eventId);
  // Hook information of a context; false for a type it does not answer.
  static bool InquireHookInfo(const Context& context, int64_t infoType, void* out);

  size_t PoolSize() const;
  int64_t OwnerSystem() const;

 private:
  struct PoolEntry {
    int64_t event = 0;
    std::unique_ptr<Context> context;
    bool inUse = false;
  };
  struct UserSlot {
    QHOOK_FUNCTION function = nullptr;
    void* user = nullptr;
  };

  void UnregisterLocked(FeatureHookKind kind, bool clearUser, HookSink* sink) ZOR_REQUIRES(lock_);
  void RegisterAllFeatures(HookSink* sink) ZOR_REQUIRES(lock_);
  void RegisterCategoryNodes(GenApi::INode* node) ZOR_REQUIRES(lock_);
  void RegisterWatchedFeatures(HookSink* sink) ZOR_REQUIRES(lock_);
  void Deliver(FeatureHookKind kind, GenApi::INode* node, int64_t value);
  // Calls the user's function with the pooled event and gives the event back.
  void Call(PoolEntry* entry, const UserSlot& slot, int64_t hookType);
  friend class DeferredFeatureHooks;
  PoolEntry* AcquireContext();
  void ReleaseContext(PoolEntry* entry);
  void FreePool();

  // Guards the owner, the callbacks, the watched names, the pool and the user's functions.
  // Held while GenApi registers and deregisters callbacks and while a pooled event is made
  // (the node map's and the host's locks come after it); taken after a digitizer's feature
  // lock and before the process-wide event registry's lock. The user's function runs outside
  // it. Not recursive: SetHook re-registers through UnregisterLocked.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kFeatureHooks> lock_;
  int64_t ownerSystem_ ZOR_GUARDED_BY(lock_) = 0;
  int64_t hookedObject_ ZOR_GUARDED_BY(lock_) = 0;
  std::map<GenICam::gcstring, GenApi::CallbackHandleType> allFeatureCallbacks_
      ZOR_GUARDED_BY(lock_);
  std::map<GenICam::gcstring, GenApi::CallbackHandleType> watchedCallbacks_ ZOR_GUARDED_BY(lock_);
  std::set<GenICam::gcstring> watchedNames_ ZOR_GUARDED_BY(lock_);
  // Entries never move: each is its own allocation, made once.
  std::vector<std::unique_ptr<PoolEntry>> pool_ ZOR_GUARDED_BY(lock_);
  UserSlot userHooks_[3] ZOR_GUARDED_BY(lock_);
  std::shared_ptr<GenApi::CNodeMapRef> nodeMap_ ZOR_GUARDED_BY(lock_);
  uint32_t sourceKind_;
  std::atomic<bool> deliveryEnabled_{false};
};

// Holds back the feature hooks that fire on the calling thread while it lives and calls them
// when the outermost one ends. Feature access by name and the browser's polling hold driver
// locks while node callbacks fire; the application's function, which may use any feature of
// any object, runs after those locks are released, still before the access returns.
class DeferredFeatureHooks {
 public:
  DeferredFeatureHooks();
  ~DeferredFeatureHooks();
  DeferredFeatureHooks(const DeferredFeatureHooks&) = delete;
  DeferredFeatureHooks& operator=(const DeferredFeatureHooks&) = delete;
};

}  // namespace zor::genicam
