// Per-(thread, system) state, and the item that binds it to its thread's list.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/foundation/integerchecks.h"
#include "platform/os/core/handle.h"

namespace zor::frame {

class QDDriverThreadContext;
class CSystemZorThreadContext;

// Object types that make a per-system thread object.
inline constexpr int64_t kThreadObject = 256;
inline constexpr int64_t kThreadObjectAlternate = 4096;

class QDZorThreadContext {
 public:
  QDZorThreadContext(QDDriverThreadContext& owner, int64_t systemIndex);
  QDZorThreadContext(const QDZorThreadContext&) = delete;
  QDZorThreadContext& operator=(const QDZorThreadContext&) = delete;
  virtual ~QDZorThreadContext();

  QDDriverThreadContext& Owner() const { return owner_; }
  CSystemZorThreadContext* Item() const { return item_; }
  void SetItem(CSystemZorThreadContext* item) { item_ = item; }
  int64_t SystemIndex() const { return systemIndex_; }

  // Tested by the dispatcher's gate against the thread context's mask.
  uint64_t GateBits() const { return gateBits_; }
  void SetGateBits(uint64_t bits) { gateBits_ = bits; }
  // 1 asks for the end-of-command wait.
  int64_t WaitWord() const { return waitWord_; }
  void SetWaitWord(int64_t word) { waitWord_ = word; }
  // Guarded operations run only while this is set.
  bool GuardFlag() const { return guardFlag_; }
  void SetGuardFlag(bool set) { guardFlag_ = set; }
  // Registers a new event of this context with the kernel driver of the
  // system (device handle, kernel system id) when asked; returns the word
  // that the kernel gave back, which the grab requests carry.
  uint64_t RegisterEvent(os::Handle device, uint64_t systemId, bool doRegister);
  os::Handle Event() const { return event_; }
  uint64_t Registration() const { return registration_; }

  int64_t HostThreadId() const { return hostThreadId_; }
  void SetHostThreadId(int64_t id) { hostThreadId_ = id; }

  // The kernel object of a thread object (0: none) and its time-out; -1 s
  // waits without limit.
  uint64_t KernelObjectId() const { return kernelObjectId_; }
  void SetKernelObjectId(uint64_t id) { kernelObjectId_ = id; }
  double TimeoutSeconds() const { return timeoutSeconds_; }
  void SetTimeoutSeconds(double seconds) { timeoutSeconds_ = seconds; }
  // The time-out as the kernel object takes it: milliseconds, -1 without limit.
  int64_t TimeoutMilliseconds() const {
    return timeoutSeconds_ < 0 ? -1 : foundation::TruncateSaturated(timeoutSeconds_ * 1000, -1);
  }
  // Settings the host stores on a thread object (control types 1805, 1815, 1819).
  int64_t RegionAccessWait() const { return regionAccessWait_; }
  void SetRegionAccessWait(int64_t value) { regionAccessWait_ = value; }
  int64_t CopyWaitMode() const { return copyWaitMode_; }
  void SetCopyWaitMode(int64_t value) { copyWaitMode_ = value; }
  int64_t UserValue() const { return userValue_; }
  void SetUserValue(int64_t value) { userValue_ = value; }

 private:
  QDDriverThreadContext& owner_;
  CSystemZorThreadContext* item_ = nullptr;
  os::Handle event_ = os::kNullHandle;
  uint64_t registration_ = 0;
  os::Handle device_ = os::INVALID_HANDLE_VALUE;
  uint64_t systemId_ = 0;
  int64_t systemIndex_;
  uint64_t gateBits_ = 1;
  int64_t waitWord_ = 2;
  bool guardFlag_ = true;
  int64_t hostThreadId_ = 0;
  uint64_t kernelObjectId_ = 0;
  double timeoutSeconds_ = 20;
  int64_t regionAccessWait_ = 1;
  int64_t copyWaitMode_ = 1;
  int64_t userValue_ = 0;
};

// One per system that a thread has addressed: the thread's own per-system
// context and the one selected for its commands (which may be another). The
// own context is the item's when the driver frame made it, or a thread object
// that its system owns.
class CSystemZorThreadContext {
 public:
  CSystemZorThreadContext(int64_t systemIndex, std::unique_ptr<QDZorThreadContext> own)
      : CSystemZorThreadContext(systemIndex, own.get()) {
    owned_ = std::move(own);
  }
  CSystemZorThreadContext(int64_t systemIndex, QDZorThreadContext* systemOwned)
      : selected_(systemOwned), own_(systemOwned), systemIndex_(systemIndex) {
    if (systemOwned != nullptr) systemOwned->SetItem(this);
  }
  CSystemZorThreadContext(const CSystemZorThreadContext&) = delete;
  CSystemZorThreadContext& operator=(const CSystemZorThreadContext&) = delete;
  virtual ~CSystemZorThreadContext() = default;

  QDZorThreadContext* Selected() const { return selected_; }
  void SetSelected(QDZorThreadContext* context) { selected_ = context; }
  QDZorThreadContext* Own() const { return own_; }
  // Lets go of the own context; returns it when the item owned it.
  std::unique_ptr<QDZorThreadContext> ReleaseOwn() {
    own_ = nullptr;
    return std::move(owned_);
  }
  int64_t SystemIndex() const { return systemIndex_; }

 private:
  QDZorThreadContext* selected_;
  QDZorThreadContext* own_;
  std::unique_ptr<QDZorThreadContext> owned_;
  int64_t systemIndex_;
};

}  // namespace zor::frame
