#include "platform/grabcontrol/grabcontrol.h"

#include <map>
#include <mutex>

namespace zorgrabc {
namespace {

using zor::grabcontrol::GrabCtlCallbackTable;

constexpr int64_t kGrabAbort = 6643;
constexpr int64_t kContinuousCount = -1;
constexpr uint32_t kErrorPartSize = 72;
constexpr uint32_t kErrorPartVersion = 2;

// Digitizers of several systems and threads share the library.
struct Sessions {
  std::mutex mutex;
  std::map<int64_t, const GrabCtlCallbackTable*> byHandle;
  int64_t lastHandle = 0;
};

// An object of the library's own, not a leaked one: the driver unloads the library.
Sessions& AllSessions() {
  static Sessions sessions;
  return sessions;
}

bool Whole(const GrabCtlCallbackTable* t) {
  return t != nullptr && t->size == sizeof(GrabCtlCallbackTable) && t->version == 1 &&
         t->errorPartSize == kErrorPartSize && t->errorPartVersion == kErrorPartVersion &&
         t->checkSourceWindow != nullptr && t->digControlInt != nullptr &&
         t->digControlDouble != nullptr && t->digGrab != nullptr && t->digGrabWait != nullptr &&
         t->digStopGrab != nullptr && t->digInquire != nullptr && t->binding != nullptr;
}

// The session's table, read under the lock; the driver keeps it until it frees the session.
const GrabCtlCallbackTable* TableOf(int64_t handle) {
  Sessions& sessions = AllSessions();
  std::lock_guard lock(sessions.mutex);
  const auto it = sessions.byHandle.find(handle);
  return it != sessions.byHandle.end() ? it->second : nullptr;
}

}  // namespace

int64_t Alloc(int64_t hostSystem, int64_t hostDigitizer, const GrabCtlCallbackTable* table,
              int64_t* handle) {
  if (handle == nullptr) return kFailed;
  *handle = 0;
  if (hostSystem == 0 || hostDigitizer == 0 || !Whole(table)) return kFailed;
  Sessions& sessions = AllSessions();
  std::lock_guard lock(sessions.mutex);
  *handle = ++sessions.lastHandle;
  sessions.byHandle.emplace(*handle, table);
  return kDone;
}

int64_t Free(int64_t handle) {
  Sessions& sessions = AllSessions();
  std::lock_guard lock(sessions.mutex);
  return sessions.byHandle.erase(handle) == 1 ? kDone : kFailed;
}

int64_t Control(int64_t handle, int64_t type, int64_t value) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digControlInt(0, type, value, table->binding, 0);
  return kDone;
}

int64_t ControlDouble(int64_t handle, int64_t type, double value) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digControlDouble(0, type, value, table->binding, 0);
  return kDone;
}

int64_t GrabAbort(int64_t handle, double value, int64_t word) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digControlDouble(0, kGrabAbort, value, table->binding, word);
  return kDone;
}

int64_t GrabContinuous(int64_t handle, int64_t hostBuffer, int64_t) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  if (table->checkSourceWindow(0, hostBuffer, 0, table->binding) != 1) return kInvalidBuffer;
  table->digGrab(0, hostBuffer, kContinuousCount, table->binding);
  return kDone;
}

int64_t Halt(int64_t handle) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digStopGrab(0, table->binding);
  return kDone;
}

int64_t Inquire(int64_t handle, int64_t type, int64_t* out) {
  if (out == nullptr) return kFailed;
  if (type == zor::grabcontrol::kLibraryInquire) {
    *out = kServing;
    return kDone;
  }
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digInquire(0, type, out, table->binding);
  return kDone;
}

}  // namespace zorgrabc
