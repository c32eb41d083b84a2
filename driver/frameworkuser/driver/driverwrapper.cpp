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
    driver = (factory_ != nullptr ? factory_ : MakeBoardDriver)(constructionError);
    if (driver != nullptr && constructionError) {
      delete driver;
      driver = nullptr;
    }
    driver_.store(driver, std::memory_order_release);
  }
  return driver;
}

void CQDDeviceDriverWrapper::ReplaceDriverForTests(DriverFactory factory) {
  CQueuedLockGuard guard(creationLock_);
  delete driver_.exchange(nullptr, std::memory_order_acq_rel);
  factory_ = factory;
}

CQDDeviceDriverWrapper::~CQDDeviceDriverWrapper() {
  QDDeviceDriver* driver = driver_.load(std::memory_order_acquire);
  // A system still allocated may be in use; its driver stays.
  if (driver != nullptr && driver->Systems().InUse() == 1) delete driver;
}

}  // namespace zor::frame
