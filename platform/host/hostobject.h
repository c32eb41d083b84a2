// The objects the host library hands out ids for, and their registry.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/host/hooklist.h"
#include "platform/host/settingmap.h"

namespace zorhost {

class DriverLibrary;

struct HostObject {
  HostObject(QINT64 objectType, QID ownerId) : type(objectType), owner(ownerId) {}
  virtual ~HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;

  QID id = 0;
  const QINT64 type;
  const QID owner;  // the owning system, 0 for none
  void* driverData = nullptr;
  SettingMap settings;  // settings of objects the host serves alone; hook info of events
  HookList hooks;

  std::wstring Name() const;
  void SetName(std::wstring name);

 private:
  mutable std::mutex nameMutex_;
  std::wstring name_;
};

// A system: the host's own (no driver) or one served by a board driver.
struct SystemObject : HostObject {
  SystemObject(std::wstring systemDescriptor, QINT64 systemNumber, DriverLibrary* board)
      : HostObject(Q_SYSTEM, 0),
        descriptor(std::move(systemDescriptor)),
        number(systemNumber),
        driver(board) {}
  const std::wstring descriptor;
  const QINT64 number;
  DriverLibrary* const driver;
  int64_t driverIndex = 0;
};

class ObjectRegistry {
 public:
  static ObjectRegistry& Instance();

  QID Add(std::shared_ptr<HostObject> object);
  std::shared_ptr<HostObject> Find(QID id) const;
  // Takes the object out; it lives on while callers hold it.
  std::shared_ptr<HostObject> Remove(QID id);
  std::vector<QID> List(QINT64 type) const;
  std::vector<QID> OwnedBy(QID owner) const;
  // Counts the removals, so that a thread may keep what it found while the count stays.
  uint64_t Generation() const { return generation_.load(std::memory_order_acquire); }
  // The host system that ids 0x7F000000 to 0x7F0000FF (and Q_DEFAULT as a system) name.
  std::shared_ptr<SystemObject> DefaultHostSystem();

 private:
  ObjectRegistry() = default;
  mutable std::shared_mutex mutex_;
  std::map<QID, std::shared_ptr<HostObject>> objects_;
  std::atomic<uint64_t> generation_{1};
  QID nextId_ = 0x100001;
  std::shared_ptr<SystemObject> defaultHost_;
};

bool IsDefaultHostId(QID id);

// ObjectRegistry::Find through the calling thread's cache of the systems and digitizers it
// looked up last, so that threads working on different objects do not meet on the registry's
// lock.
std::shared_ptr<HostObject> FindForThread(QID id);

// The object of an id with the given type (0: any); records a host error and returns null when
// there is none.
std::shared_ptr<HostObject> LookupObject(QID id, QINT64 type);

template <typename T>
std::shared_ptr<T> Lookup(QID id, QINT64 type) {
  return std::static_pointer_cast<T>(LookupObject(id, type));
}

// The system of an id for the calling thread's running call, as LookupObject(id, Q_SYSTEM)
// finds it. A thread that addresses the same system again while no object has left the
// registry finds it without a lock; the system stays alive at least until the thread's
// outermost host call returns.
SystemObject* LookupSystemForCall(QID id);

// The board system that owns the object, kept for the running call as LookupSystemForCall keeps
// it; null, with no error recorded, for an object of the host's own systems or of none.
SystemObject* BoardSystemForCall(const HostObject& object);

// Registers a new host-only object of the type with no owner, named when a name is given.
QID AddNamedObject(QINT64 type, const wchar_t* name, QID* out);

// Takes the object out of the registry and calls its object-free hooks; a system takes the
// objects it owns along.
void FreeObject(const std::shared_ptr<HostObject>& object);

}  // namespace zorhost
