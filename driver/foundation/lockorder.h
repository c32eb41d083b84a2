// The driver's locks by name, each with its rank in the lock table of driver/README.md, and the
// wrapper that checks the order in test builds: a thread that takes a lock while it holds one
// of the same or a lower rank (other than a recursive lock's own re-entry) stops the process at
// once with both locks named. Without ZOR_LOCK_ORDER_CHECKS the wrapper is the lock itself.
#pragma once

#include <condition_variable>
#include <cstdint>

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

// A lock of the driver with its place in the table. Offers what the wrapped lock offers:
// lock/unlock/try_lock, the shared forms of a shared mutex, Acquire/Release of a queued lock.
template <typename Lock, LockId Id>
class ZOR_CAPABILITY("mutex") Ranked {
 public:
  Ranked() = default;
  Ranked(const Ranked&) = delete;
  Ranked& operator=(const Ranked&) = delete;

  void lock() ZOR_ACQUIRE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    lockorder::Taking(Id, this);
    lock_.lock();
    lockorder::Took(Id, this);
  }
  void unlock() ZOR_RELEASE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    lockorder::Left(this);
    lock_.unlock();
  }
  // A try waits for nothing, so it is never against the order.
  bool try_lock() ZOR_TRY_ACQUIRE(true) ZOR_NO_THREAD_SAFETY_ANALYSIS {
    if (!lock_.try_lock()) return false;
    lockorder::Took(Id, this);
    return true;
  }
  // Instantiated only for the locks that have them.
  void lock_shared() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    lockorder::Taking(Id, this);
    lock_.lock_shared();
    lockorder::Took(Id, this);
  }
  void unlock_shared() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    lockorder::Left(this);
    lock_.unlock_shared();
  }
  template <typename Node>
  void Acquire(Node& node) ZOR_ACQUIRE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    lockorder::Taking(Id, this);
    lock_.Acquire(node);
    lockorder::Took(Id, this);
  }
  template <typename Node>
  void Release(Node& node) ZOR_RELEASE() ZOR_NO_THREAD_SAFETY_ANALYSIS {
    lockorder::Left(this);
    lock_.Release(node);
  }

 private:
  Lock lock_;
};

// Waits on a ranked lock, which std::condition_variable does not take.
using ConditionVariable = std::condition_variable_any;

#else

template <typename Lock, LockId>
using Ranked = Lock;
using ConditionVariable = std::condition_variable;

#endif

}  // namespace zor::foundation
