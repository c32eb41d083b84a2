// FeatureHookController: node callbacks and browser changes delivered to the user's hooks.
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/foundation/lockorder.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "platform/host/hostservices.h"
#include "platform/os/cpu/timing.h"

namespace zor::genicam {
namespace {

constexpr int64_t kEventInitFlag = 0x10000000;
constexpr int64_t kEventInUseControl = 1043;

constexpr int64_t kInfoModelName = 7711;

// Host events that carry a feature-hook context, process-wide: hook
// information only ever reads a context found here.
struct EventRegistry {
  // Guards the table; a leaf, taken after a controller's lock.
  foundation::Ranked<std::mutex, foundation::LockId::kEventRegistry> lock;
  std::unordered_map<int64_t, FeatureHookController::Context*> contexts ZOR_GUARDED_BY(lock);
};

EventRegistry& Events() {
  static EventRegistry registry;
  return registry;
}

void WriteInt(void* out, int64_t value) { std::memcpy(out, &value, sizeof(value)); }

void WriteText(void* out, const std::wstring& text) {
  std::wmemcpy(static_cast<wchar_t*>(out), text.c_str(), text.size() + 1);
}

std::wstring ModelNameOf(const FeatureHookController::Context& context, bool& known) {
  known = false;
  if (context.node == nullptr) return {};
  auto* device = dynamic_cast<GenApi::IDeviceInfo*>(context.node->GetNodeMap());
  if (device == nullptr) return {};
  known = true;
  return foundation::Utf8ToWString(device->GetModelName().c_str());
}

}  // namespace

void FeatureHookController::Context::Reset() {
  timeStamp = 0;
  hookedObject = 0;
  value = 0;
  sourceKind = 6;
  node = nullptr;
}

FeatureHookController::FeatureHookController(uint32_t sourceKind) : sourceKind_(sourceKind) {}

FeatureHookController::~FeatureHookController() {
  Unregister(FeatureHookKind::kAnyFeature, true, nullptr);
  Unregister(FeatureHookKind::kWatched, true, nullptr);
  FreePool();
}

void FeatureHookController::FreePool() {
  foundation::ScopedLock guard(lock_);
  for (auto& entry : pool_) {
    {
      foundation::ScopedLock events(Events().lock);
      Events().contexts.erase(entry->event);
    }
    HostInternalControl(entry->event, kEventInUseControl, 0);
    HostEventFree(kEventInitFlag, entry->event);
  }
  pool_.clear();
}

void FeatureHookController::SetOwner(int64_t objectId,
                                     std::shared_ptr<GenApi::CNodeMapRef> nodeMap) {
  int64_t type = 0;
  HostInternalInquire(objectId, Q_INTERNAL_OBJECT_TYPE, &type);
  int64_t owner = objectId;
  if (type != Q_SYSTEM) HostInternalInquire(objectId, Q_OWNER_SYSTEM, &owner);
  foundation::ScopedLock guard(lock_);
  ownerSystem_ = owner;
  hookedObject_ = objectId;
  nodeMap_ = std::move(nodeMap);
}

void FeatureHookController::SetHook(FeatureHookKind kind, QHOOK_FUNCTION function, void* user,
                                    HookSink* sink) {
  foundation::ScopedLock guard(lock_);
  const auto slot = static_cast<int>(kind);
  if (slot < 0 || slot > 2) return;
  userHooks_[slot] = {function, user};
  if (kind == FeatureHookKind::kAnyFeature) RegisterAllFeatures(sink);
  if (kind == FeatureHookKind::kWatched) RegisterWatchedFeatures(sink);
}

void FeatureHookController::Unregister(FeatureHookKind kind, bool clearUser, HookSink* sink) {
  foundation::ScopedLock guard(lock_);
  UnregisterLocked(kind, clearUser, sink);
}

void FeatureHookController::UnregisterLocked(FeatureHookKind kind, bool clearUser, HookSink* sink) {
  const auto slot = static_cast<int>(kind);
  if (slot < 0 || slot > 2) return;
  if (kind != FeatureHookKind::kBrowser) {
    auto& callbacks =
        kind == FeatureHookKind::kAnyFeature ? allFeatureCallbacks_ : watchedCallbacks_;
    try {
      for (auto& [name, handle] : callbacks) GenApi::Deregister(handle);
    } catch (const GenICam::GenericException& e) {
      if (sink != nullptr) {
        const std::wstring text = L"Description: " + foundation::Utf8ToWString(e.GetDescription());
        sink->SetErrorSubText(kFeatureHookError, 2, text.c_str(), nullptr);
      }
    }
    callbacks.clear();
  }
  if (clearUser) userHooks_[slot] = {};
}

void FeatureHookController::RegisterAllFeatures(HookSink* sink) {
  UnregisterLocked(FeatureHookKind::kAnyFeature, false, sink);
  if (nodeMap_ == nullptr || nodeMap_->_Ptr == nullptr) {
    if (sink != nullptr) sink->SetError(kFeatureHookError, 3, 0, 0);
    return;
  }
  // Only what the walk itself records is withdrawn afterwards; an earlier
  // error of the command stays as it was.
  const bool heldBefore = sink != nullptr && sink->ErrorCode() != 0;
  try {
    GenApi::CCategoryPtr root = nodeMap_->_GetNode("Root");
    if (root.IsValid()) RegisterCategoryNodes(root->GetNode());
    if (sink != nullptr && !heldBefore) sink->SetError(0, 0, 0, 0);
  } catch (const GenICam::GenericException& e) {
    if (sink != nullptr) {
      if (!heldBefore) sink->SetError(0, 0, 0, 0);
      const std::wstring text = L"Description: " + foundation::Utf8ToWString(e.GetDescription());
      sink->SetErrorSubText(kFeatureHookError, 1, text.c_str(), nullptr);
    }
  }
}

void FeatureHookController::RegisterCategoryNodes(GenApi::INode* category) {
  std::vector<GenApi::INode*> pending{category};
  std::set<GenApi::INode*> walked{category};
  while (!pending.empty()) {
    GenApi::INode* current = pending.back();
    pending.pop_back();
    GenApi::FeatureList_t features;
    dynamic_cast<GenApi::ICategory&>(*current).GetFeatures(features);
    for (GenApi::IValue* value : features) {
      GenApi::INode* node = value->GetNode();
      if (node->GetVisibility() == GenApi::Invisible || node->GetAccessMode() == GenApi::NI) {
        continue;
      }
      auto* sub = dynamic_cast<GenApi::ICategory*>(node);
      GenApi::FeatureList_t subFeatures;
      if (sub != nullptr) sub->GetFeatures(subFeatures);
      if (sub != nullptr && !subFeatures.empty()) {
        // A category listed twice, or inside itself, is walked once.
        if (walked.insert(node).second) pending.push_back(node);
        continue;
      }
      const GenICam::gcstring name = node->GetName();
      if (allFeatureCallbacks_.count(name) != 0) continue;
      allFeatureCallbacks_[name] = GenApi::Register(
          node, *this, &FeatureHookController::OnAnyFeatureChanged, GenApi::cbPostOutsideLock);
    }
  }
}

void FeatureHookController::RegisterWatchedFeatures(HookSink* sink) {
  UnregisterLocked(FeatureHookKind::kWatched, false, sink);
  if (nodeMap_ == nullptr || nodeMap_->_Ptr == nullptr) return;
  try {
    for (const GenICam::gcstring& name : watchedNames_) {
      if (watchedCallbacks_.count(name) != 0) continue;
      GenApi::INode* node = nodeMap_->_GetNode(name);
      if (node == nullptr) continue;
      watchedCallbacks_[name] = GenApi::Register(
          node, *this, &FeatureHookController::OnWatchedFeatureChanged, GenApi::cbPostOutsideLock);
    }
  } catch (const GenICam::GenericException& e) {
    // Recorded here: nothing may cross the command boundary.
    if (sink != nullptr) {
      const std::wstring text = L"Description: " + foundation::Utf8ToWString(e.GetDescription());
      sink->SetErrorSubText(kFeatureHookError, 1, text.c_str(), nullptr);
    }
  }
}

void FeatureHookController::UpdateDelivery() {
  // Under the lock: the flag follows the slots as the last change left them.
  foundation::ScopedLock guard(lock_);
  bool hooked = false;
  for (const UserSlot& slot : userHooks_) hooked = hooked || slot.function != nullptr;
  deliveryEnabled_.store(hooked);
}

void FeatureHookController::SetFeatureWatched(const GenICam::gcstring& name, bool watch) {
  foundation::ScopedLock guard(lock_);
  if (watch) {
    watchedNames_.insert(name);
  } else {
    watchedNames_.erase(name);
  }
}

bool FeatureHookController::IsFeatureWatched(const GenICam::gcstring& name) const {
  foundation::ScopedLock guard(lock_);
  return watchedNames_.count(name) != 0;
}

void FeatureHookController::OnAnyFeatureChanged(GenApi::INode* node) {
  Deliver(FeatureHookKind::kAnyFeature, node, 0);
}

void FeatureHookController::OnWatchedFeatureChanged(GenApi::INode* node) {
  Deliver(FeatureHookKind::kWatched, node, 0);
}

void FeatureHookController::OnEvent(int64_t value) {
  Deliver(FeatureHookKind::kBrowser, nullptr, value);
}

void FeatureHookController::OnEvent(GenApi::INode* node) {
  Deliver(FeatureHookKind::kBrowser, node, 0);
}

FeatureHookController::PoolEntry* FeatureHookController::AcquireContext() {
  foundation::ScopedLock guard(lock_);
  for (auto& entry : pool_) {
    if (!entry->inUse) {
      entry->inUse = true;
      return entry.get();
    }
  }
  auto entry = std::make_unique<PoolEntry>();
  entry->context = std::make_unique<Context>();
  int64_t frequency = 1;
  os::QueryPerformanceFrequency(&frequency);
  entry->context->frequency = static_cast<uint64_t>(frequency);
  entry->context->nodeMap = nodeMap_;
  entry->event = HostEventAlloc(ownerSystem_, kEventInitFlag, Q_HOOK_EVENT, entry->context.get());
  if (entry->event == 0) return nullptr;
  HostInternalControl(entry->event, kEventInUseControl, 1);
  {
    foundation::ScopedLock events(Events().lock);
    Events().contexts[entry->event] = entry->context.get();
  }
  entry->inUse = true;
  pool_.push_back(std::move(entry));
  return pool_.back().get();
}

void FeatureHookController::ReleaseContext(PoolEntry* entry) {
  foundation::ScopedLock guard(lock_);
  entry->inUse = false;
}

namespace {

// The hooks held back on this thread (DeferredFeatureHooks), with their pooled events.
struct HeldHook {
  std::shared_ptr<FeatureHookController> owner;
  void* entry;
  QHOOK_FUNCTION function;
  void* user;
  int64_t hookType;
};

struct HeldHooks {
  int depth = 0;
  std::vector<HeldHook> hooks;
};

HeldHooks& Held() {
  thread_local HeldHooks held;
  return held;
}

}  // namespace

void FeatureHookController::Deliver(FeatureHookKind kind, GenApi::INode* node, int64_t value) {
  PoolEntry* entry = AcquireContext();
  if (entry == nullptr) return;
  Context& context = *entry->context;
  context.Reset();
  int64_t now = 0;
  os::QueryPerformanceCounter(&now);
  context.timeStamp = static_cast<uint64_t>(now);
  UserSlot slot;
  {
    foundation::ScopedLock guard(lock_);
    context.hookedObject = hookedObject_;
    slot = userHooks_[static_cast<int>(kind)];
  }
  context.node = node;
  context.value = value;
  context.sourceKind = sourceKind_;
  static constexpr int64_t kHookTypes[] = {kAnyFeatureHookType, kWatchedFeatureHookType,
                                           kBrowserFeatureHookType};
  const int64_t hookType = kHookTypes[static_cast<int>(kind)];
  if (!deliveryEnabled_.load() || slot.function == nullptr) {
    ReleaseContext(entry);
  } else if (Held().depth > 0) {
    Held().hooks.push_back({shared_from_this(), entry, slot.function, slot.user, hookType});
  } else {
    Call(entry, slot, hookType);
  }
}

void FeatureHookController::Call(PoolEntry* entry, const UserSlot& slot, int64_t hookType) {
  try {
    slot.function(hookType, entry->event, slot.user);
  } catch (...) {
    // The user's function failed, not the feature change that it was told of.
    frame::ReportHookException();
  }
  ReleaseContext(entry);
}

DeferredFeatureHooks::DeferredFeatureHooks() { ++Held().depth; }

DeferredFeatureHooks::~DeferredFeatureHooks() {
  if (--Held().depth > 0) return;
  // A function that changes features again holds its own hooks back and calls them itself.
  std::vector<HeldHook> hooks = std::exchange(Held().hooks, {});
  for (const HeldHook& held : hooks) {
    held.owner->Call(static_cast<FeatureHookController::PoolEntry*>(held.entry),
                     {held.function, held.user}, held.hookType);
  }
}

int64_t FeatureHookController::OwnerSystem() const {
  foundation::ScopedLock guard(lock_);
  return ownerSystem_;
}

size_t FeatureHookController::PoolSize() const {
  foundation::ScopedLock guard(lock_);
  return pool_.size();
}

FeatureHookController::Context* FeatureHookController::FindContext(int64_t eventId) {
  foundation::ScopedLock events(Events().lock);
  auto found = Events().contexts.find(eventId);
  return found != Events().contexts.end() ? found->second : nullptr;
}

bool FeatureHookController::InquireHookInfo(const Context& context, int64_t infoType, void* out) {
  if (out == nullptr) return false;
  switch (infoType) {
    case Q_TIME_STAMP: {
      const double seconds = context.frequency != 0 ? static_cast<double>(context.timeStamp) /
                                                          static_cast<double>(context.frequency)
                                                    : 0.0;
      std::memcpy(out, &seconds, sizeof(seconds));
      return true;
    }
    case Q_GC_NODEMAP_PTR:
      WriteInt(out, context.nodeMap != nullptr
                        ? static_cast<int64_t>(reinterpret_cast<intptr_t>(context.nodeMap->_Ptr))
                        : 0);
      return true;
    case 0x20000:
    case 0x160000:
    case 0x1C0000:
      WriteInt(out, context.hookedObject);
      return true;
    case Q_FEATURE_NAME:
    case Q_FEATURE_NAME + Q_STRING_SIZE: {
      if (context.node == nullptr) return false;
      const std::wstring name = foundation::Utf8ToWString(context.node->GetName().c_str());
      if (infoType == Q_FEATURE_NAME) {
        WriteText(out, name);
      } else {
        WriteInt(out, static_cast<int64_t>(name.size()) + 1);
      }
      return true;
    }
    case kInfoModelName:
    case kInfoModelName + Q_STRING_SIZE: {
      if (infoType != kInfoModelName) WriteInt(out, 0);
      bool known = false;
      const std::wstring model = ModelNameOf(context, known);
      if (!known) return false;
      if (infoType == kInfoModelName) {
        WriteText(out, model);
      } else {
        WriteInt(out, static_cast<int64_t>(model.size()) + 1);
      }
      return true;
    }
    case Q_GC_EVENT_TYPE: {
      static constexpr int64_t kKinds[] = {0x1000000, 0x2000000, 0x3000000,
                                           0x8000000, 0x9000000, 0xA000000};
      if (context.sourceKind > 5) return false;
      WriteInt(out, kKinds[context.sourceKind]);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace zor::genicam
