// NodeMapRegistry: a system's node maps by host object and module, dropped when the host frees one.
#include "driver/frameworkuser/genicam/ownnodemaps/nodemapregistry.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "driver/foundation/lockorder.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kSystemKind = 10;

// The registries that a free hook may still reach. The host may run a hook
// that it copied before a registry took it back, on another thread than the
// one that destroys the registry: a hook carries the registry's number, and
// a registry leaves this table before it goes.
struct LiveRegistries {
  // Guards the table; taken before a registry's own lock (a free hook), never after it.
  foundation::Ranked<std::mutex, foundation::LockId::kLiveRegistries> lock;
  std::map<uint64_t, NodeMapRegistry*> byNumber ZOR_GUARDED_BY(lock);
  uint64_t next ZOR_GUARDED_BY(lock) = 1;
  // Drop handlers running outside the lock, by registry: a registry goes only once its own end.
  std::map<uint64_t, int> handlersRunning ZOR_GUARDED_BY(lock);
  foundation::ConditionVariable handlerEnded;
};

// Counts a drop handler of the registry as running until it returns, however it returns.
class RunningHandler {
 public:
  RunningHandler(LiveRegistries& live, uint64_t number) ZOR_REQUIRES(live.lock)
      : live_(live), number_(number) {
    ++live_.handlersRunning[number_];
  }
  ~RunningHandler() {
    foundation::ScopedLock lock(live_.lock);
    if (--live_.handlersRunning[number_] == 0) live_.handlersRunning.erase(number_);
    live_.handlerEnded.notify_all();
  }
  RunningHandler(const RunningHandler&) = delete;
  RunningHandler& operator=(const RunningHandler&) = delete;

 private:
  LiveRegistries& live_;
  const uint64_t number_;
};

LiveRegistries& Live() {
  static LiveRegistries& live = *new LiveRegistries;  // hooks may come at process exit
  return live;
}

uint64_t Enter(NodeMapRegistry* registry) {
  LiveRegistries& live = Live();
  foundation::ScopedLock lock(live.lock);
  const uint64_t number = live.next++;
  live.byNumber[number] = registry;
  return number;
}

void* HookData(uint64_t number) { return reinterpret_cast<void*>(static_cast<uintptr_t>(number)); }

std::vector<std::wstring> SplitModules(const std::wstring& text) {
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(L';', start), text.size());
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

NodeMapRegistry::NodeMapRegistry(bool hookFreeEvents)
    : hookFreeEvents_(hookFreeEvents), number_(Enter(this)) {}

NodeMapRegistry::~NodeMapRegistry() {
  {
    // Waits for a free hook that is using this registry, and for the drop handlers it started:
    // they use the registry's owner.
    LiveRegistries& live = Live();
    foundation::UniqueLock lock(live.lock);
    live.byNumber.erase(number_);
    while (live.handlersRunning.count(number_) != 0) live.handlerEnded.Wait(lock);
  }
  std::map<int64_t, int> hooked;
  {
    foundation::ScopedLock lock(lock_);
    hooked.swap(hookCounts_);
  }
  if (hooked.empty()) return;
  // The objects may live on after this registry; their hooks must not.
  int64_t context = 0;
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &context);
  for (const auto& [object, count] : hooked) {
    for (int i = 0; i < count; ++i) {
      HostObjHookFunction(object, Q_OBJECT_FREE + Q_UNHOOK, &NodeMapRegistry::OnObjectFree,
                          HookData(number_));
    }
  }
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<int64_t>(&context));
}

void NodeMapRegistry::HookFreeEvent(int64_t objectId) {
  if (HostObjHookFunction(objectId, Q_OBJECT_FREE, &NodeMapRegistry::OnObjectFree,
                          HookData(number_)) != 0) {
    ++hookCounts_[objectId];
  }
}

void NodeMapRegistry::Register(int64_t objectId, const std::wstring& module, ControlPtr control) {
  ControlPtr replaced;  // released after the lock
  foundation::ScopedLock lock(lock_);
  const int64_t hooked = control != nullptr ? control->HostObjectId() : 0;
  replaced = std::exchange(entries_[{objectId, module}], std::move(control));
  Changed();
  if (hookFreeEvents_ && hooked != 0) HookFreeEvent(hooked);
}

NodeMapRegistry::ControlPtr NodeMapRegistry::Get(int64_t objectId, std::wstring_view module) const {
  foundation::ScopedLock lock(lock_);
  auto it = entries_.find(std::pair<int64_t, std::wstring_view>(objectId, module));
  return it != entries_.end() ? it->second : nullptr;
}

void NodeMapRegistry::Erase(int64_t objectId, const std::wstring& module) {
  ControlPtr dropped;  // released after the lock
  foundation::ScopedLock lock(lock_);
  auto it = entries_.find({objectId, module});
  if (it == entries_.end()) return;
  dropped = std::move(it->second);
  entries_.erase(it);
  Changed();
}

NodeMapRegistry::ControlPtr NodeMapRegistry::EraseFirstOf(int64_t objectId) {
  foundation::ScopedLock lock(lock_);
  return EraseFirstOfLocked(objectId);
}

NodeMapRegistry::ControlPtr NodeMapRegistry::EraseFirstOfLocked(int64_t objectId) {
  for (auto it = entries_.lower_bound({objectId, L""}); it != entries_.end(); ++it) {
    if (it->first.first != objectId) break;
    ControlPtr control = std::move(it->second);
    entries_.erase(it);
    Changed();
    return control;
  }
  return nullptr;
}

void NodeMapRegistry::Changed() {
  // Values come from one counter for all registries, so that a generation
  // never names two states, whatever registry it was read from.
  static std::atomic<uint64_t> next{1};
  generation_.store(next.fetch_add(1), std::memory_order_release);
}

std::vector<NodeMapRegistry::ControlPtr> NodeMapRegistry::EraseAllOf(int64_t objectId) {
  std::vector<ControlPtr> controls;
  while (ControlPtr control = EraseFirstOf(objectId)) controls.push_back(std::move(control));
  return controls;
}

std::vector<NodeMapRegistry::ControlPtr> NodeMapRegistry::Find(const std::wstring& modules,
                                                               int64_t objectId,
                                                               int64_t secondId) const {
  std::vector<ControlPtr> found;
  foundation::ScopedLock lock(lock_);
  if (entries_.empty()) return found;
  std::vector<std::wstring> names = SplitModules(modules);
  if (names.empty()) names = ControlFunctionList();
  for (const auto& [key, control] : entries_) {
    const int64_t id = key.first;
    const bool idPasses = id == -1 || objectId == 0 ||
                          (control != nullptr && control->Kind() == kSystemKind) ||
                          id == objectId || (secondId != -1 && secondId == id);
    if (!idPasses) continue;
    for (const std::wstring& name : names) {
      if (name == L"*" || name == key.second) {
        found.push_back(control);
        break;
      }
    }
  }
  return found;
}

bool NodeMapRegistry::Empty() const {
  foundation::ScopedLock lock(lock_);
  return entries_.empty();
}

size_t NodeMapRegistry::Size() const {
  foundation::ScopedLock lock(lock_);
  return entries_.size();
}

GenICamControl* NodeMapRegistry::FindEntry(int64_t digitizerIndex) const {
  foundation::ScopedLock lock(lock_);
  auto it = digitizerEntries_.find(digitizerIndex);
  return it != digitizerEntries_.end() ? it->second : nullptr;
}

void NodeMapRegistry::ForEachEntry(const std::function<void(GenICamControl&)>& fn) const {
  foundation::ScopedLock lock(lock_);
  for (const auto& [index, control] : digitizerEntries_) {
    if (control != nullptr) fn(*control);
  }
}

void NodeMapRegistry::EraseEntry(int64_t digitizerIndex) {
  foundation::ScopedLock lock(lock_);
  digitizerEntries_.erase(digitizerIndex);
}

void NodeMapRegistry::SetDropHandler(DropHandler handler) {
  foundation::ScopedLock lock(lock_);
  dropHandler_ = std::move(handler);
}

QINT64 NodeMapRegistry::OnObjectFree(QINT64, QID eventId, void* userData) {
  // The host calls it as an object goes: nothing may escape back into the host.
  frame::ReportEscapes(frame::kHookFunctionName, [=] {
    int64_t object = 0;
    HostObjGetHookInfo(eventId, Q_OBJECT_ID, &object);
    ControlPtr control;  // released after the locks
    DropHandler handler;
    LiveRegistries& live = Live();
    std::optional<RunningHandler> running;
    {
      foundation::ScopedLock liveLock(live.lock);
      auto found = live.byNumber.find(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(userData)));
      if (found == live.byNumber.end()) return;  // the registry went meanwhile
      NodeMapRegistry& registry = *found->second;
      foundation::ScopedLock lock(registry.lock_);
      control = registry.EraseFirstOfLocked(object);
      // The freed object takes this hook along.
      auto hooked = registry.hookCounts_.find(object);
      if (hooked != registry.hookCounts_.end() && --hooked->second == 0) {
        registry.hookCounts_.erase(hooked);
      }
      handler = registry.dropHandler_;
      if (control != nullptr && handler) running.emplace(live, found->first);
    }
    if (running.has_value()) handler(control);
  });
  return 0;
}

}  // namespace zor::genicam
