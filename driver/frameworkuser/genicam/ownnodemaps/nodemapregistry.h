// The node maps a system has built for host objects: one GenICam control per
// (host object id, module name). Entries leave when the host frees the object,
// on an explicit erase, or with the registry. The object-free hooks it sets
// are taken back when the registry goes, so no host hook outlives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"

namespace zor::genicam {

class NodeMapRegistry {
 public:
  using Key = std::pair<int64_t, std::wstring>;
  using ControlPtr = std::shared_ptr<GenICamControl>;
  // Told of a control that left the registry because its object was freed.
  using DropHandler = std::function<void(const ControlPtr&)>;

  // hookFreeEvents: whether registering a control of a known host object
  // hooks that object's free event.
  explicit NodeMapRegistry(bool hookFreeEvents);
  ~NodeMapRegistry();
  NodeMapRegistry(const NodeMapRegistry&) = delete;
  NodeMapRegistry& operator=(const NodeMapRegistry&) = delete;

  void Register(int64_t objectId, const std::wstring& module, ControlPtr control);
  ControlPtr Get(int64_t objectId, std::wstring_view module) const;
  void Erase(int64_t objectId, const std::wstring& module);
  // Erases the first entry of the object in key order; returns its control.
  ControlPtr EraseFirstOf(int64_t objectId);
  // Every entry of the object.
  std::vector<ControlPtr> EraseAllOf(int64_t objectId);
  // The controls of the named modules (";"-separated, "*" for all, none for
  // every own module) whose id passes the id test, in key order.
  std::vector<ControlPtr> Find(const std::wstring& modules, int64_t objectId,
                               int64_t secondId) const;
  // Changes with every registration and erasure; a look-up remembered with
  // the generation it was made in holds while the generation does.
  uint64_t Generation() const { return generation_.load(std::memory_order_acquire); }
  bool Empty() const;
  size_t Size() const;

  // The digitizer-index map; nothing in this driver fills it.
  GenICamControl* FindEntry(int64_t digitizerIndex) const;
  void EraseEntry(int64_t digitizerIndex);
  // Calls fn with each control of the digitizer-index map, under the lock.
  void ForEachEntry(const std::function<void(GenICamControl&)>& fn) const;

  void SetDropHandler(DropHandler handler);

  // The host's object-free hook (user data: the registry).
  static QINT64 OnObjectFree(QINT64 hookType, QID eventId, void* userData);

 private:
  void HookFreeEvent(int64_t objectId) ZOR_REQUIRES(lock_);
  void Changed();
  ControlPtr EraseFirstOfLocked(int64_t objectId) ZOR_REQUIRES(lock_);

  // Guards the maps, the hook counts and the drop handler. Taken after the live-registry table's
  // lock (an object-free hook) and after a digitizer's feature lock and channel lock; holds the
  // host's hook list lock while it hooks a free event, and nothing of the driver's. A control
  // leaves the maps under it but is released after it. Not recursive: the free hook erases
  // through EraseFirstOfLocked.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kNodeMapRegistry> lock_;
  // Ordered by id, then module; looked up by a view of the module.
  struct KeyLess {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      if (a.first != b.first) return a.first < b.first;
      return std::wstring_view(a.second) < std::wstring_view(b.second);
    }
  };
  std::map<Key, ControlPtr, KeyLess> entries_ ZOR_GUARDED_BY(lock_);
  std::map<int64_t, GenICamControl*> digitizerEntries_ ZOR_GUARDED_BY(lock_);
  // Free hooks set per object, one per registration.
  std::map<int64_t, int> hookCounts_ ZOR_GUARDED_BY(lock_);
  DropHandler dropHandler_ ZOR_GUARDED_BY(lock_);
  const bool hookFreeEvents_;
  // What the free hooks carry instead of this registry's address.
  const uint64_t number_;
  std::atomic<uint64_t> generation_{0};
};

}  // namespace zor::genicam
