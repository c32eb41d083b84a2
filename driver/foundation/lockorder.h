// The driver's locks by name, each with its rank in the lock table of driver/README.md, and the
// wrapper that checks the order in test builds: a thread that takes a lock while it holds one
// of the same or a lower rank (other than a recursive lock's own re-entry) stops the process at
// once with both locks named. Without ZOR_LOCK_ORDER_CHECKS the wrapper only forwards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "driver/foundation/mutex.h"
#include "driver/foundation/threadsafety.h"

namespace zor::foundation {

// One entry per lock of the table; lockorder.cpp gives each its rank, name and recursion.
enum class LockId : uint8_t {
  kDigitizerAllocation,
  kDelivery,
  kUartHook,
  kFeature,
  kProcessHandler,
  kProcessHook,
  kProcessThreads,
  kDigitizerHook,
  kBufferModifiedStart,
  kSystemUserHook,
  kBrowserOperation,
  kPublishing,
  kPublisher,
  kPollingControl,
  kPollingMaps,
  kFeatureHooks,
  kLiveRegistries,
  kUserHook,
  kSingleHook,
  kControlNames,
  kProxyNames,
  kTaskScheduler,
  kEventSubscription,
  kNodeMap,
  kDriverCreation,
  kChannel,
  kSecondChannel,
  kNodeMapRegistry,
  kGlobal,
  kSystemObjects,
  kInfoList,
  kInfoListSlot,
  kUartPort,
  kLogSetUp,
  kSettings,
  kThreadItems,
  kBlock,
  kStatus,
  kName,
  kFeatureBag,
  kPublisherPointer,
  kManifest,
  kEventRegistry,
  kGate,
  kEventReporter,
  kEventReporterIdle,
  kBrowserState,
  kWatchdog,
  kLogFolder,
  kFolderCache,
  kConfig,
  kFactoryCache,
  kUartReceiver,
  kCount
};

#if defined(ZOR_LOCK_ORDER_CHECKS)

namespace lockorder {

// Before a thread waits for a lock: stops the process when the thread holds a lock that the
// table does not allow before it.
void Taking(LockId id, const void* lock);
// Once the thread holds it, and once it has left it (in any order).
void Took(LockId id, const void* lock);
void Left(const void* lock);

// A lock's row of the table as the stop message names it.
struct Row {
  int rank;
  const char* name;
  bool recursive;
};
Row RowOf(LockId id);

}  // namespace lockorder

#endif

// A lock of the driver with its place in the table, a capability of the thread-safety analysis
// in every build. Offers what the wrapped lock offers: lock/unlock/try_lock, the shared forms of
// a shared mutex, Acquire/Release of a queued lock. Only test builds check the order; elsewhere
// each call is the wrapped lock's own.
template <typename Lock, LockId Id>
class ZOR_CAPABILITY("mutex") Ranked {
 public:
  Ranked() = default;
  Ranked(const Ranked&) = delete;
  Ranked& operator=(const Ranked&) = delete;

  void lock() ZOR_ACQUIRE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    Taking();
    lock_.lock();
    Took();
  }
  void unlock() ZOR_RELEASE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    Left();
    lock_.unlock();
  }
  // A try waits for nothing, so it is never against the order.
  bool try_lock() ZOR_TRY_ACQUIRE(true) ZOR_NO_THREAD_SAFETY_ANALYSIS {
    if (!lock_.try_lock()) return false;
    Took();
    return true;
  }
  // Instantiated only for the locks that have them.
  void lock_shared() ZOR_ACQUIRE_SHARED() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    Taking();
    lock_.lock_shared();
    Took();
  }
  void unlock_shared() ZOR_RELEASE_SHARED() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    Left();
    lock_.unlock_shared();
  }
  template <typename Node>
  void Acquire(Node& node) ZOR_ACQUIRE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    Taking();
    lock_.Acquire(node);
    Took();
  }
  template <typename Node>
  void Release(Node& node) ZOR_RELEASE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    Left();
    lock_.Release(node);
  }

 private:
  friend class ConditionVariable;

#if defined(ZOR_LOCK_ORDER_CHECKS)
  void Taking() { lockorder::Taking(Id, this); }
  void Took() { lockorder::Took(Id, this); }
  void Left() { lockorder::Left(this); }
#else
  void Taking() {}
  void Took() {}
  void Left() {}
#endif

  Lock lock_;
};

// Waits on a ranked std::mutex held by a UniqueLock. Test builds wait through the ranked lock,
// so that the order checks see it left and taken again; other builds wait on the std::mutex
// inside, as std::condition_variable does. Callers wait in a loop on their condition, which
// the analysis then sees read under the lock.
class ConditionVariable {
 public:
  void notify_one() noexcept { waiters_.notify_one(); }
  void notify_all() noexcept { waiters_.notify_all(); }

  template <LockId Id>
  void Wait(UniqueLock<Ranked<std::mutex, Id>>& hold) {
#if defined(ZOR_LOCK_ORDER_CHECKS)
    waiters_.wait(*hold.mutex());
#else
    std::unique_lock inner(hold.mutex()->lock_, std::adopt_lock);
    waiters_.wait(inner);
    inner.release();
#endif
  }
  template <LockId Id, typename Rep, typename Period>
  void WaitFor(UniqueLock<Ranked<std::mutex, Id>>& hold,
               const std::chrono::duration<Rep, Period>& time) {
#if defined(ZOR_LOCK_ORDER_CHECKS)
    waiters_.wait_for(*hold.mutex(), time);
#else
    std::unique_lock inner(hold.mutex()->lock_, std::adopt_lock);
    waiters_.wait_for(inner, time);
    inner.release();
#endif
  }

 private:
#if defined(ZOR_LOCK_ORDER_CHECKS)
  std::condition_variable_any waiters_;
#else
  std::condition_variable waiters_;
#endif
};

}  // namespace zor::foundation
