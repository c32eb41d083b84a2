// What the host keeps per calling thread: the error state, the calls that run on the thread
// and the drivers that have seen commands from it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/host/hosterror.h"

namespace zorhost {

class DriverLibrary;
struct HostObject;
struct SystemObject;

struct ThreadContext {
  HostError error;
  std::vector<HostError> saved;
  int depth = 0;
  bool inErrorHook = false;
  ErrorText outerFunction;
  std::vector<QID> commandSystems;      // systems of the commands running on this thread
  QID* capturedBuffer = nullptr;        // receives the first host buffer made while set
  std::vector<DriverLibrary*> drivers;  // few: a short list is found fastest
  // The system that this thread addressed last, valid while the registry's generation stays.
  struct SystemCache {
    QID id = 0;
    uint64_t generation = 0;
    std::shared_ptr<SystemObject> system;
  } lastSystem;
  // Objects this thread looked up last, valid while the registry's generation stays.
  struct ObjectCache {
    QID id = 0;
    uint64_t generation = 0;
    std::shared_ptr<HostObject> object;
  } recentObjects[2];
  int nextRecent = 0;
  // Systems the cache gave up while a call ran; kept until the outermost call returns.
  std::vector<std::shared_ptr<SystemObject>> retiredSystems;
  // Error printing and the error setting as a driver set them for this thread
  // (HostAppControl); other threads keep the application's own. Set and taken
  // back around every register access, so they are fixed slots.
  std::optional<QINT64> quietPrint;
  std::optional<QINT64> quietErrorSetting;
  std::optional<QINT64>& QuietSetting(QINT64 type) {
    return type == Q_ERROR_PRINT ? quietPrint : quietErrorSetting;
  }

  ThreadContext() = default;
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;
  // Tells each driver that saw this thread that the thread ends.
  ~ThreadContext();
};

ThreadContext& CurrentThread();

// Marks one call of the host library; the outermost call on a thread starts with no error,
// except the calls that read or keep the error.
class ApiScope {
 public:
  explicit ApiScope(ErrorText function, bool clearsError = true);
  ~ApiScope();
  ApiScope(const ApiScope&) = delete;
  ApiScope& operator=(const ApiScope&) = delete;

 private:
  ThreadContext& thread_;
};

}  // namespace zorhost
