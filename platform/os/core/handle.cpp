#include "platform/os/core/handle.h"

#include <mutex>
#include <unordered_map>

#include "platform/os/core/object.h"

namespace os::detail {
namespace {

// Ids are never reused, so a stale handle cannot reach a newer object.
// They step over the predefined registry roots (0x80000000 to 0x800000FF).
constexpr std::uintptr_t kReservedStart = 0x80000000;
constexpr std::uintptr_t kReservedEnd = 0x80000100;

struct HandleTable {
  std::mutex mutex;
  std::uintptr_t next = 0x100;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> objects;
};

// Never destroyed, like every process-wide table here: threads may still
// close handles while the process ends.
HandleTable& Table() {
  static HandleTable& table = *new HandleTable;
  return table;
}

}  // namespace

Handle InsertHandle(std::shared_ptr<Object> object) {
  HandleTable& table = Table();
  std::lock_guard lock(table.mutex);
  std::uintptr_t id = table.next;
  table.next += 4;
  if (table.next == kReservedStart) table.next = kReservedEnd;
  table.objects.emplace(id, std::move(object));
  return static_cast<Handle>(id);
}

std::shared_ptr<Object> FindHandle(Handle handle) {
  HandleTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(static_cast<std::uintptr_t>(handle));
  return found == table.objects.end() ? nullptr : found->second;
}

std::shared_ptr<Object> RemoveHandle(Handle handle) {
  HandleTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(static_cast<std::uintptr_t>(handle));
  if (found == table.objects.end()) return nullptr;
  std::shared_ptr<Object> object = std::move(found->second);
  table.objects.erase(found);
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

}  // namespace os
