#include "platform/host/hostobject.h"

#include "platform/host/hosterror.h"
#include "platform/host/threadcontext.h"

namespace zorhost {

std::wstring HostObject::Name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

void HostObject::SetName(std::wstring name) {
  std::lock_guard lock(nameMutex_);
  name_ = std::move(name);
}

// Never destroyed: threads that the host started may still run while the process ends.
ObjectRegistry& ObjectRegistry::Instance() {
  static auto* registry = new ObjectRegistry;
  return *registry;
}

QID ObjectRegistry::Add(std::shared_ptr<HostObject> object) {
  std::unique_lock lock(mutex_);
  const QID id = nextId_++;
  object->id = id;
  objects_.emplace(id, std::move(object));
  return id;
}

std::shared_ptr<HostObject> ObjectRegistry::Find(QID id) const {
  std::shared_lock lock(mutex_);
  auto found = objects_.find(id);
  return found == objects_.end() ? nullptr : found->second;
}

std::shared_ptr<HostObject> ObjectRegistry::Remove(QID id) {
  std::unique_lock lock(mutex_);
  auto found = objects_.find(id);
  if (found == objects_.end()) return nullptr;
  std::shared_ptr<HostObject> object = std::move(found->second);
  objects_.erase(found);
  generation_.fetch_add(1, std::memory_order_release);
  return object;
}

std::vector<QID> ObjectRegistry::List(QINT64 type) const {
  std::shared_lock lock(mutex_);
  std::vector<QID> ids;
  for (const auto& [id, object] : objects_) {
    if (object->type == type) ids.push_back(id);
  }
  return ids;
}

std::vector<QID> ObjectRegistry::OwnedBy(QID owner) const {
  std::shared_lock lock(mutex_);
  std::vector<QID> ids;
  for (const auto& [id, object] : objects_) {
    if (object->owner == owner) ids.push_back(id);
  }
  return ids;
}

std::shared_ptr<SystemObject> ObjectRegistry::DefaultHostSystem() {
  {
    std::shared_lock lock(mutex_);
    if (defaultHost_ != nullptr) return defaultHost_;
  }
  std::unique_lock lock(mutex_);
  if (defaultHost_ == nullptr) {
    defaultHost_ = std::make_shared<SystemObject>(L"Q_SYSTEM_HOST", 0, nullptr);
    defaultHost_->id = Q_DEFAULT_HOST;
  }
  return defaultHost_;
}

bool IsDefaultHostId(QID id) { return (id & ~QID{0xFF}) == 0x7F000000; }

std::shared_ptr<HostObject> FindForThread(QID id) {
  ThreadContext& thread = CurrentThread();
  // Read before the lookup: a removal after it makes the entry stale.
  const uint64_t generation = ObjectRegistry::Instance().Generation();
  for (const ThreadContext::ObjectCache& entry : thread.recentObjects) {
    if (entry.object != nullptr && entry.id == id && entry.generation == generation) {
      return entry.object;
    }
  }
  std::shared_ptr<HostObject> object = ObjectRegistry::Instance().Find(id);
  // Only objects that let go of nothing when they go: the cache may keep one a little longer.
  if (object != nullptr && (object->type == Q_SYSTEM || object->type == Q_DIGITIZER)) {
    thread.recentObjects[thread.nextRecent] = {id, generation, object};
    thread.nextRecent = (thread.nextRecent + 1) % 2;
  }
  return object;
}

std::shared_ptr<HostObject> LookupObject(QID id, QINT64 type) {
  std::shared_ptr<HostObject> object;
  if ((IsDefaultHostId(id) && type == 0) ||
      ((IsDefaultHostId(id) || id == Q_DEFAULT) && type == Q_SYSTEM)) {
    object = ObjectRegistry::Instance().DefaultHostSystem();
  } else {
    object = FindForThread(id);
  }
  if (object == nullptr) {
    RecordError(Q_ERR_INVALID_ID, L"No object has the identifier " + std::to_wstring(id) + L".");
    return nullptr;
  }
  if (type != 0 && object->type != type) {
    RecordError(Q_ERR_WRONG_OBJECT_TYPE);
    return nullptr;
  }
  return object;
}

namespace {

// Keeps the system in the thread's entry until the thread's outermost call returns.
SystemObject* KeepForCall(ThreadContext& thread, QID id, uint64_t generation,
                          std::shared_ptr<SystemObject> system) {
  ThreadContext::SystemCache& cache = thread.lastSystem;
  // A call further out on this thread may still use the system the entry holds.
  if (cache.system != nullptr) thread.retiredSystems.push_back(std::move(cache.system));
  cache = {id, generation, std::move(system)};
  return cache.system.get();
}

SystemObject* CachedSystem(const ThreadContext& thread, QID id, uint64_t generation) {
  const ThreadContext::SystemCache& cache = thread.lastSystem;
  if (cache.system != nullptr && cache.id == id && cache.generation == generation) {
    return cache.system.get();
  }
  return nullptr;
}

}  // namespace

SystemObject* LookupSystemForCall(QID id) {
  ThreadContext& thread = CurrentThread();
  // Read before the lookup: a removal after it makes the entry stale.
  const uint64_t generation = ObjectRegistry::Instance().Generation();
  if (SystemObject* system = CachedSystem(thread, id, generation)) return system;
  auto system = Lookup<SystemObject>(id, Q_SYSTEM);
  if (system == nullptr) return nullptr;
  return KeepForCall(thread, id, generation, std::move(system));
}

SystemObject* BoardSystemForCall(const HostObject& object) {
  if (object.owner == 0 || IsDefaultHostId(object.owner)) return nullptr;
  ThreadContext& thread = CurrentThread();
  const uint64_t generation = ObjectRegistry::Instance().Generation();
  SystemObject* system = CachedSystem(thread, object.owner, generation);
  if (system == nullptr) {
    std::shared_ptr<HostObject> owner = ObjectRegistry::Instance().Find(object.owner);
    if (owner == nullptr || owner->type != Q_SYSTEM) return nullptr;
    system = KeepForCall(thread, object.owner, generation,
                         std::static_pointer_cast<SystemObject>(std::move(owner)));
  }
  return system->driver != nullptr ? system : nullptr;
}

QID AddNamedObject(QINT64 type, const wchar_t* name, QID* out) {
  auto object = std::make_shared<HostObject>(type, 0);
  if (name != nullptr) object->SetName(name);
  const QID id = ObjectRegistry::Instance().Add(object);
  if (out != nullptr) *out = id;
  return id;
}

void FreeObject(const std::shared_ptr<HostObject>& object) {
  ObjectRegistry& registry = ObjectRegistry::Instance();
  if (registry.Remove(object->id) == nullptr) return;
  if (object->type == Q_SYSTEM) {
    // A system takes what it owns along.
    for (QID owned : registry.OwnedBy(object->id)) {
      if (auto child = registry.Find(owned)) FreeObject(child);
    }
  }
  if (!object->hooks.Has(Q_OBJECT_FREE)) return;
  auto event = std::make_shared<HostObject>(Q_HOOK_EVENT, object->owner);
  event->settings.Set(Q_OBJECT_ID, object->id);
  const QID eventId = registry.Add(event);
  object->hooks.Call(Q_OBJECT_FREE, Q_OBJECT_FREE, eventId);
  registry.Remove(eventId);
}

}  // namespace zorhost
