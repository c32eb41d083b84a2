// A system looked up for one call: it stays alive until the reference ends,
// even when another thread frees it meanwhile.
#pragma once

#include <atomic>
#include <memory>

#include "driver/frameworkuser/system/qdbasesystem.h"

namespace zor::frame {

class QDDeviceDriver;

class SystemRef {
 public:
  SystemRef() = default;
  // Pinned through a slot of the calling thread's context.
  SystemRef(QDDeviceDriver& driver, QDBaseSystem* system, std::atomic<const void*>* pin)
      : driver_(&driver), system_(system), pin_(pin) {}
  // Held by ownership where no pin slot is left.
  explicit SystemRef(std::shared_ptr<QDBaseSystem> held)
      : system_(held.get()), held_(std::move(held)) {}
  SystemRef(SystemRef&& other) noexcept
      : driver_(other.driver_),
        system_(other.system_),
        pin_(other.pin_),
        held_(std::move(other.held_)) {
    other.pin_ = nullptr;
    other.system_ = nullptr;
  }
  SystemRef(const SystemRef&) = delete;
  SystemRef& operator=(const SystemRef&) = delete;
  SystemRef& operator=(SystemRef&&) = delete;
  ~SystemRef();

  QDBaseSystem* operator->() const { return system_; }
  QDBaseSystem& operator*() const { return *system_; }
  explicit operator bool() const { return system_ != nullptr; }

 private:
  QDDeviceDriver* driver_ = nullptr;
  QDBaseSystem* system_ = nullptr;
  std::atomic<const void*>* pin_ = nullptr;
  std::shared_ptr<QDBaseSystem> held_;
};

}  // namespace zor::frame
