// The process-wide holder of the driver object and of the driver's two
// process-wide locks.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "driver/foundation/queuedlock.h"

namespace zor::frame {

class QDDeviceDriver;

class CQDDeviceDriverWrapper {
 public:
  // Builds a driver; sets the flag when construction failed.
  using DriverFactory = QDDeviceDriver* (*)(bool& constructionError);

  static CQDDeviceDriverWrapper& Instance();

  // The driver, created on first use; null while it cannot be created.
  QDDeviceDriver* GetDriver();

  // Guards the thread-context map and the timing statistics.
  std::recursive_mutex& GlobalLock() { return globalLock_; }
  // Held around every digitizer allocation of the process.
  std::recursive_mutex& DigitizerAllocationLock() { return digitizerAllocationLock_; }

  // Test seam: drops the current driver and builds the next one with factory
  // (null: the board driver). The product never calls it.
  void ReplaceDriverForTests(DriverFactory factory);

  virtual ~CQDDeviceDriverWrapper();

 private:
  CQDDeviceDriverWrapper() = default;

  // owned_, published for the lock-free look-up.
  std::atomic<QDDeviceDriver*> driver_{nullptr};
  std::recursive_mutex globalLock_;
  std::recursive_mutex digitizerAllocationLock_;
  foundation::CQueuedLock creationLock_;
  DriverFactory factory_ = nullptr;
  // Last, so that the driver goes before the locks its destructor takes.
  std::unique_ptr<QDDeviceDriver> owned_;
};

inline std::recursive_mutex& GlobalDriverLock() {
  return CQDDeviceDriverWrapper::Instance().GlobalLock();
}

}  // namespace zor::frame
