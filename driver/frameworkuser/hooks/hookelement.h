// Hook elements: what a hook thread calls for each device event of its type.
#pragma once

#include <cstdint>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "platform/host/qtypes.h"

namespace zor::frame {

// The 272-byte payload of a device event.
struct HOOK_ELEMENT_INFO {
  const uint8_t* payload;
};

template <typename Info>
class CBaseHook {
 public:
  CBaseHook() = default;
  CBaseHook(const CBaseHook&) = delete;
  CBaseHook& operator=(const CBaseHook&) = delete;
  virtual ~CBaseHook() = default;
  virtual int64_t Invoke(void* userData, QID eventId, const Info& info) = 0;
};

// One user function and its data for one hook type. The pair is read and changed
// under a lock of its own, never held while the function runs, so a function may
// unhook itself.
class CSingleHook : public CBaseHook<HOOK_ELEMENT_INFO> {
 public:
  explicit CSingleHook(int64_t hookType = 0) : hookType_(hookType) {}

  // Calls function(hook type, event id, the element's user data); 0 when unhooked.
  int64_t Invoke(void* userData, QID eventId, const HOOK_ELEMENT_INFO& info) override;

  void Set(QHOOK_FUNCTION function, void* userData);
  QHOOK_FUNCTION Function() const;
  void* UserData() const;
  int64_t HookType() const { return hookType_; }
  // Copies function, user data and hook type.
  void CopyFrom(const CSingleHook& other);

 private:
  // Guards the function and its user data, so that they change and are read as a pair; a leaf:
  // the function is called after it is released.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kSingleHook> lock_;
  QHOOK_FUNCTION function_ ZOR_GUARDED_BY(lock_) = nullptr;
  void* userData_ ZOR_GUARDED_BY(lock_) = nullptr;
  int64_t hookType_;
};

}  // namespace zor::frame
