// What a handle refers to: one kind of object, checked on every look-up.
#pragma once

#include <atomic>
#include <memory>

#include "platform/os/core/error.h"
#include "platform/os/core/handle.h"

namespace os::detail {

enum class Kind { kEvent, kThread, kMutex, kKey, kDevice };

class Waitable;

class Object {
 public:
  explicit Object(Kind kind) : kind_(kind) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Kind kind() const { return kind_; }
  // The handle was closed; other holders may still use the object.
  virtual void Closed() {}
  // The object's waitable side; null for objects no thread can wait on.
  virtual Waitable* AsWaitable() { return nullptr; }
  // Once a handle of the object is closed, a thread's remembered look-up of it no longer holds.
  void MarkHandleClosed() { handleClosed_.store(true, std::memory_order_release); }
  bool HandleClosed() const { return handleClosed_.load(std::memory_order_acquire); }

 private:
  const Kind kind_;
  std::atomic<bool> handleClosed_{false};
};

Handle InsertHandle(std::shared_ptr<Object> object);
// Null for a closed or unknown handle.
std::shared_ptr<Object> FindHandle(Handle handle);
std::shared_ptr<Object> RemoveHandle(Handle handle);
size_t HandleCount();

// The object of the handle when it has T's kind; else null with
// ERROR_INVALID_HANDLE.
template <class T>
std::shared_ptr<T> Lookup(Handle handle) {
  std::shared_ptr<Object> object = FindHandle(handle);
  if (object == nullptr || object->kind() != T::kKind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(std::move(object));
}

}  // namespace os::detail
