#include "platform/os/core/handle.h"

#include <array>
#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/os/core/object.h"
#include "platform/os/core/thread_own.h"

namespace os::detail {
namespace {

// Ids are never reused, so a stale handle cannot reach a newer object.
// They step over the predefined registry roots (0x80000000 to 0x800000FF).
constexpr std::uintptr_t kFirstId = 0x100;
constexpr std::uintptr_t kIdStep = 4;
constexpr std::uintptr_t kReservedStart = 0x80000000;
constexpr std::uintptr_t kReservedEnd = 0x80000100;

// Look-ups on every request of every thread: they share a shard's lock for reading, and
// threads that use different handles rarely meet on one shard.
constexpr size_t kShards = 64;

struct alignas(64) Shard {
  std::shared_mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> objects;
};

struct HandleTable {
  std::atomic<std::uintptr_t> next{kFirstId};
  std::array<Shard, kShards> shards;

  Shard& ShardOf(std::uintptr_t id) { return shards[(id / kIdStep) % kShards]; }
};

// Never destroyed, like every process-wide table here: threads may still
// close handles while the process ends.
HandleTable& Table() {
  static HandleTable& table = *new HandleTable;
  return table;
}

// A thread's latest look-ups: most calls use the handles of the call before, and find them
// again without the shard's lock for as long as no handle of the object is closed.
struct RecentLookups {
  struct Entry {
    std::uintptr_t id = 0;
    std::weak_ptr<Object> object;
  };
  // A thread's road uses a handful of handles: enough slots that they rarely share one.
  static constexpr size_t kEntries = 16;
  std::array<Entry, kEntries> entries;
};

RecentLookups::Entry* RecentEntry(std::uintptr_t id) {
  RecentLookups* recent = ThreadOwn<RecentLookups>();
  if (recent == nullptr) return nullptr;
  return &recent->entries[(id / kIdStep) % RecentLookups::kEntries];
}

}  // namespace

Handle InsertHandle(std::shared_ptr<Object> object) {
  HandleTable& table = Table();
  std::uintptr_t id = table.next.fetch_add(kIdStep);
  while (id >= kReservedStart && id < kReservedEnd) id = table.next.fetch_add(kIdStep);
  Shard& shard = table.ShardOf(id);
  std::unique_lock lock(shard.mutex);
  shard.objects.emplace(id, std::move(object));
  return static_cast<Handle>(id);
}

std::shared_ptr<Object> FindHandle(Handle handle) {
  const auto id = static_cast<std::uintptr_t>(handle);
  RecentLookups::Entry* recent = RecentEntry(id);
  if (recent != nullptr && recent->id == id) {
    // Ids are never reused: an object still alive whose handles are all open is this id's.
    std::shared_ptr<Object> object = recent->object.lock();
    if (object != nullptr && !object->HandleClosed()) return object;
  }
  std::shared_ptr<Object> object;
  {
    Shard& shard = Table().ShardOf(id);
    std::shared_lock lock(shard.mutex);
    auto found = shard.objects.find(id);
    if (found == shard.objects.end()) return nullptr;
    object = found->second;
  }
  if (recent != nullptr) {
    recent->id = id;
    recent->object = object;
  }
  return object;
}

size_t HandleCount() {
  size_t count = 0;
  for (Shard& shard : Table().shards) {
    std::shared_lock lock(shard.mutex);
    count += shard.objects.size();
  }
  return count;
}

std::shared_ptr<Object> RemoveHandle(Handle handle) {
  const auto id = static_cast<std::uintptr_t>(handle);
  Shard& shard = Table().ShardOf(id);
  std::unique_lock lock(shard.mutex);
  auto found = shard.objects.find(id);
  if (found == shard.objects.end()) return nullptr;
  std::shared_ptr<Object> object = std::move(found->second);
  shard.objects.erase(found);
  object->MarkHandleClosed();
  return object;
}

}  // namespace os::detail

namespace os {

bool CloseHandle(Handle handle) {
  std::shared_ptr<detail::Object> object = detail::RemoveHandle(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  object->Closed();
  return true;
}

bool GetProcessHandleCount(Handle process, uint32_t* count) {
  // Only the current process's own pseudo handle names a process here.
  if (static_cast<std::uintptr_t>(process) != ~std::uintptr_t{0} || count == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *count = static_cast<uint32_t>(detail::HandleCount());
  return true;
}

}  // namespace os
