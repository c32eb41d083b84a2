// CQDDeviceDriverWrapper: makes the board driver object on first use and keeps it for the process.
#include "driver/frameworkuser/driver/driverwrapper.h"

#include <new>

#include "driver/frameworkuser/driver/qdhwspecdriver.h"

using zor::foundation::CQueuedLockGuard;

namespace zor::frame {
namespace {

QDDeviceDriver* MakeBoardDriver(bool& constructionError) {
  return new (std::nothrow) QDHwSpecDriver(constructionError);
}

}  // namespace

CQDDeviceDriverWrapper& CQDDeviceDriverWrapper::Instance() {
  static CQDDeviceDriverWrapper wrapper;
  return wrapper;
}

QDDeviceDriver* CQDDeviceDriverWrapper::GetDriver() {
  QDDeviceDriver* driver = driver_.load(std::memory_order_acquire);
  if (driver != nullptr) return driver;
  CQueuedLockGuard guard(creationLock_);
  driver = driver_.load(std::memory_order_acquire);
  if (driver == nullptr) {
    bool constructionError = false;
    std::unique_ptr<QDDeviceDriver> made(
        (factory_ != nullptr ? factory_ : MakeBoardDriver)(constructionError));
    if (made != nullptr && !constructionError) {
      owned_ = std::move(made);
      driver = owned_.get();
      driver_.store(driver, std::memory_order_release);
    }
  }
  return driver;
}

void CQDDeviceDriverWrapper::ReplaceDriverForTests(DriverFactory factory) {
  CQueuedLockGuard guard(creationLock_);
  driver_.store(nullptr, std::memory_order_release);
  owned_.reset();
  factory_ = factory;
}

// Runs at process exit, when the host library's per-thread state may be gone
// already: the driver, whose release calls into the host (its log buffer, its
// systems), stays until the process ends.
CQDDeviceDriverWrapper::~CQDDeviceDriverWrapper() { (void)owned_.release(); }

}  // namespace zor::frame
