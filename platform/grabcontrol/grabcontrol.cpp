#include "platform/grabcontrol/grabcontrol.h"

namespace zorgrabc {
namespace {

using zor::grabcontrol::GrabCtlCallbackTable;

constexpr int64_t kGrabAbort = 6643;
constexpr int64_t kContinuousCount = -1;
constexpr uint32_t kErrorPartSize = 72;
constexpr uint32_t kErrorPartVersion = 2;

bool Whole(const GrabCtlCallbackTable* t) {
  return t != nullptr && t->size == sizeof(GrabCtlCallbackTable) && t->version == 1 &&
         t->errorPartSize == kErrorPartSize && t->errorPartVersion == kErrorPartVersion &&
         t->checkSourceWindow != nullptr && t->digControlInt != nullptr &&
         t->digControlDouble != nullptr && t->digGrab != nullptr && t->digGrabWait != nullptr &&
         t->digStopGrab != nullptr && t->digInquire != nullptr && t->binding != nullptr;
}

}  // namespace

const GrabCtlCallbackTable* GrabControl::TableOf(int64_t handle) {
  std::lock_guard lock(mutex_);
  const auto it = sessions_.find(handle);
  return it != sessions_.end() ? it->second : nullptr;
}

int64_t GrabControl::Alloc(int64_t hostSystem, int64_t hostDigitizer,
                           const GrabCtlCallbackTable* table, int64_t* handle) {
  if (handle == nullptr) return kFailed;
  *handle = 0;
  if (hostSystem == 0 || hostDigitizer == 0 || !Whole(table)) return kFailed;
  std::lock_guard lock(mutex_);
  *handle = ++lastHandle_;
  sessions_.emplace(*handle, table);
  return kDone;
}

int64_t GrabControl::Free(int64_t handle) {
  std::lock_guard lock(mutex_);
  return sessions_.erase(handle) == 1 ? kDone : kFailed;
}

int64_t GrabControl::Control(int64_t handle, int64_t type, int64_t value) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digControlInt(0, type, value, table->binding, 0);
  return kDone;
}

int64_t GrabControl::ControlDouble(int64_t handle, int64_t type, double value) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digControlDouble(0, type, value, table->binding, 0);
  return kDone;
}

int64_t GrabControl::GrabAbort(int64_t handle, double value, int64_t word) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digControlDouble(0, kGrabAbort, value, table->binding, word);
  return kDone;
}

int64_t GrabControl::GrabContinuous(int64_t handle, int64_t hostBuffer) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  if (table->checkSourceWindow(0, hostBuffer, 0, table->binding) != 1) return kInvalidBuffer;
  table->digGrab(0, hostBuffer, kContinuousCount, table->binding);
  return kDone;
}

int64_t GrabControl::Halt(int64_t handle) {
  const GrabCtlCallbackTable* table = TableOf(handle);
  if (table == nullptr) return kFailed;
  table->digStopGrab(0, table->binding);
  return kDone;
}

int64_t GrabControl::Inquire(int64_t handle, int64_t type, int64_t* out) {
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
