// The hook threads of a system: one per active hook type (several for the
// buffer-modified type), each delivering the board's events of that type.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "driver/foundation/error.h"
#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/foundation/mutex.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/hooks/hookelement.h"
#include "platform/os/core/handle.h"

namespace zor::frame {

class CHookThread;

using errorcode::kHookError;
inline constexpr uint64_t kNoHookResources = 1;
inline constexpr uint64_t kNoHookThread = 2;
inline constexpr int64_t kNoRestartMessage = 0x400;

class CUserHook : public foundation::CLogProvider {
 public:
  // (creator's log word, the kernel device the threads wait on, the system's
  // initialisation word)
  CUserHook(uint32_t ownerWord, os::Handle device, int64_t initWord);
  CUserHook(const CUserHook&) = delete;
  CUserHook& operator=(const CUserHook&) = delete;
  // Stops and frees every thread.
  ~CUserHook() override;

  // Starts a thread for the type and returns once its first request is pending, or at
  // once without waitStarted (the board keeps the events until a request comes; a thread
  // whose request fails ends by itself). kHookError/1 when its events could not be made,
  // kHookError/2 when no thread runs.
  void Start(uint64_t hookType, void* userData, CBaseHook<HOOK_ELEMENT_INFO>* element,
             QID hostObject, foundation::CError& sink, bool waitStarted = true);
  // Stops one active thread of the type; from that thread itself it is parked and
  // freed later.
  void Stop(uint64_t hookType, foundation::CError& sink);
  // Whether the caller is an active hook thread (of the type, or of any type for 0).
  bool IsInHookThread(uint64_t hookType) const;
  // Returns once every other active thread of the type has taken all the events the board
  // holds for it, or has ended. Called without locks a user function may take: a thread
  // finishes its delivery first.
  void WaitIdle(uint64_t hookType) const;
  // Active threads of the type, and those of them whose procedure still runs.
  size_t ActiveCount(uint64_t hookType) const;
  size_t RunningCount(uint64_t hookType) const;

  os::Handle Device() const { return device_; }
  int64_t InitWord() const { return initWord_; }

 private:
  using ThreadList = std::list<std::unique_ptr<CHookThread>>;
  // Takes the threads that are not the caller out of a list (under the lock), to
  // be purged without it: a thread may be in a user function that calls back here.
  ThreadList TakeOthers(ThreadList& list);
  static void PurgeThreads(ThreadList& threads);

  os::Handle device_;
  int64_t initWord_;
  // Guards the thread lists; a leaf, held only to move threads between them. Threads are
  // started, stopped and joined outside it, since a hook thread's user function may call back
  // here. Not recursive: nothing under it calls out.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kUserHook> lock_;
  ThreadList active_ ZOR_GUARDED_BY(lock_);
  ThreadList parked_ ZOR_GUARDED_BY(lock_);
};

}  // namespace zor::frame
