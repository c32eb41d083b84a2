// The process-wide holder of the driver object and of the driver's two
// process-wide locks.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "driver/foundation/queuedlock.h"

namespace zor::frame {

class QDDeviceDriver;

class CQDDeviceDriverWrapper {
 public:
  // Builds a driver; sets the flag when construction failed.
  using DriverFactory = QDDeviceDriver* (*)(bool& constructionError);
  using GlobalMutex = foundation::Ranked<std::recursive_mutex, foundation::LockId::kGlobal>;
  using AllocationMutex =
      foundation::Ranked<foundation::Mutex, foundation::LockId::kDigitizerAllocation>;

  static CQDDeviceDriverWrapper& Instance();

  // The driver, created on first use; null while it cannot be created.
  QDDeviceDriver* GetDriver();

  GlobalMutex& GlobalLock() ZOR_RETURN_CAPABILITY(globalLock_) { return globalLock_; }
  AllocationMutex& DigitizerAllocationLock() ZOR_RETURN_CAPABILITY(digitizerAllocationLock_) {
    return digitizerAllocationLock_;
  }

  // Test seam: drops the current driver and builds the next one with factory
  // (null: the board driver). The product never calls it.
  void ReplaceDriverForTests(DriverFactory factory);

  virtual ~CQDDeviceDriverWrapper();

 private:
  CQDDeviceDriverWrapper() = default;

  // owned_, published for the lock-free look-up.
  std::atomic<QDDeviceDriver*> driver_{nullptr};
  // Guards the driver's thread-context map and the timing statistics (opcode timing). Taken
  // after a system's and a digitizer's locks, before a thread context's item lock. Recursive:
  // freeing a thread context under it (ClearThreadContexts, FreeThreadContext, GetThreadContext)
  // runs the context's destructor, which takes it again in FreeSystemItems.
  GlobalMutex globalLock_;
  // Held around every digitizer allocation of the process (one DigAlloc at a time); the first
  // driver lock such a command takes. Not recursive: an allocation never allocates another.
  AllocationMutex digitizerAllocationLock_;
  // Guards the creation and replacement of the driver (factory_, owned_); readers that find
  // driver_ set take no lock. Taken by the command that finds no driver, under whatever that
  // command's caller holds (a node map's register access in a process that made the map before
  // the driver), and before the locks the driver's construction and destruction take.
  foundation::Ranked<foundation::CQueuedLock, foundation::LockId::kDriverCreation> creationLock_;
  DriverFactory factory_ ZOR_GUARDED_BY(creationLock_) = nullptr;
  // Last, so that the driver goes before the locks its destructor takes.
  std::unique_ptr<QDDeviceDriver> owned_ ZOR_GUARDED_BY(creationLock_);
};

inline CQDDeviceDriverWrapper::GlobalMutex& GlobalDriverLock() {
  return CQDDeviceDriverWrapper::Instance().GlobalLock();
}

inline CQDDeviceDriverWrapper::AllocationMutex& DigitizerAllocationLock() {
  return CQDDeviceDriverWrapper::Instance().DigitizerAllocationLock();
}

}  // namespace zor::frame
