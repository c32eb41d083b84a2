// The lock table's ranks and the per-thread stack of held locks that test builds check each
// lock against. The node maps' locks of the GenICam runtime count as one rank: the runtime
// tells this file when a thread takes and leaves one.
#include "driver/foundation/lockorder.h"

#if defined(ZOR_LOCK_ORDER_CHECKS)

#include <array>
#include <cstdio>
#include <cstdlib>

#include "platform/genapi/base/lock.h"

namespace zor::foundation::lockorder {
namespace {

struct Entry {
  LockId id;
  int rank;  // the table's row
  const char* name;
  bool recursive;
};

constexpr std::array<Entry, static_cast<size_t>(LockId::kCount)> kTable{{
    {LockId::kDigitizerAllocation, 1, "CQDDeviceDriverWrapper::digitizerAllocationLock_", false},
    {LockId::kDelivery, 2, "QDDigitizerInfo::deliveryLock_", false},
    {LockId::kUartHook, 3, "UartPortHook::mutex_", true},
    {LockId::kFeature, 4,
     "QDDigitizerInfo::featureLock_ or QDGeniCamDeviceSystem::systemFeatureLock_", true},
    {LockId::kProcessHandler, 5, "CDigProcessHdler::handlerLock_", false},
    {LockId::kProcessHook, 6, "CDigProcessHdler::hookLock_", false},
    {LockId::kProcessThreads, 7, "CDigProcessHdler::threadsLock_", false},
    {LockId::kDigitizerHook, 8, "QDHwSpecSystem::digitizerHookLock_", false},
    {LockId::kBufferModifiedStart, 8, "QDHwSpecSystem::bufferModifiedStartLock_", false},
    {LockId::kSystemUserHook, 9, "QDHwSpecSystem::hookLock_", false},
    {LockId::kBrowserOperation, 10, "FeatureBrowser::operationMutex_", false},
    {LockId::kPublishing, 10, "QDGeniCamDeviceSystem::publishingLock_", false},
    {LockId::kPublisher, 11, "NodeMapPublisher::lock_", true},
    {LockId::kPollingControl, 12, "GenICamPollingNodes::control_", false},
    {LockId::kPollingMaps, 13, "GenICamPollingNodes::lock_", false},
    {LockId::kFeatureHooks, 14, "FeatureHookController::lock_", false},
    {LockId::kLiveRegistries, 15, "LiveRegistries::lock", false},
    {LockId::kUserHook, 16, "CUserHook::lock_", false},
    {LockId::kSingleHook, 17, "CSingleHook::lock_", false},
    {LockId::kControlNames, 18, "GenICamControl::namesMutex_", false},
    {LockId::kProxyNames, 19, "GenICamProxy::namesMutex_", false},
    {LockId::kTaskScheduler, 19, "TaskScheduler::lock_", false},
    {LockId::kEventSubscription, 19, "GenICamEventReporter::subscription_", false},
    {LockId::kNodeMap, 20, "a GenICam node map's lock", true},
    {LockId::kDriverCreation, 21, "CQDDeviceDriverWrapper::creationLock_", false},
    {LockId::kChannel, 22, "QDDigitizerInfo::channelLock_", true},
    {LockId::kSecondChannel, 23, "QDDigitizerInfo::secondChannelLock_", true},
    {LockId::kNodeMapRegistry, 24, "NodeMapRegistry::lock_", false},
    {LockId::kGlobal, 25, "CQDDeviceDriverWrapper::globalLock_", true},
    {LockId::kSystemObjects, 26, "QDBaseSystem::objectsLock_", false},
    {LockId::kInfoList, 27, "QDInfoList::mutex_", true},
    {LockId::kInfoListSlot, 28, "QDInfoList::Slot::lock", false},
    {LockId::kUartPort, 29, "CUartManager::locks_", false},
    {LockId::kLogSetUp, 29, "g_logSetUpLock", false},
    {LockId::kSettings, 29, "QDDigitizerInfo::settingsLock_", false},
    {LockId::kThreadItems, 30, "QDDriverThreadContext::itemLock_", false},
    {LockId::kBlock, 30, "QDDigitizerInfo::blockLock_", false},
    {LockId::kStatus, 30, "QDDigitizerInfo::statusLock_", false},
    {LockId::kName, 30, "QDDigitizerInfo::nameLock_", false},
    {LockId::kFeatureBag, 30, "QDGeniCamDeviceSystem::featureBagLock_", false},
    {LockId::kPublisherPointer, 30, "QDGeniCamDeviceSystem::publisherLock_", false},
    {LockId::kManifest, 30, "GenICamControl::manifestMutex_", false},
    {LockId::kEventRegistry, 30, "the feature events' registry lock", false},
    {LockId::kGate, 30, "the publishers' gateMutex", false},
    {LockId::kEventReporter, 30, "GenICamEventReporter::lock_", false},
    {LockId::kEventReporterIdle, 30, "GenICamEventReporter::CallbackGate::mutex_", false},
    {LockId::kBrowserState, 30, "FeatureBrowser::stateMutex_", false},
    {LockId::kWatchdog, 30, "CDigProcessHdler::watchdogLock_", false},
    {LockId::kLogFolder, 30, "CLog::folderLock_", false},
    {LockId::kFolderCache, 30, "the folder cache's lock", false},
    {LockId::kConfig, 30, "g_configLock", false},
    {LockId::kFactoryCache, 30, "the own node maps' factory cache mutex", false},
    {LockId::kUartReceiver, 30, "the serial receiver's State::mutex", false},
}};

constexpr bool InIdOrder() {
  for (size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<size_t>(kTable[i].id) != i) return false;
  }
  return true;
}
static_assert(InIdOrder(), "the table lists every lock once, in the order of LockId");

const Entry& Of(LockId id) { return kTable[static_cast<size_t>(id)]; }

struct Held {
  LockId id;
  const void* lock;
};

// Deeper than any road of the driver; a thread that goes beyond it is reported.
constexpr int kMaxHeld = 64;

struct HeldLocks {
  std::array<Held, kMaxHeld> locks;
  int count = 0;
};

HeldLocks& ThisThread() {
  thread_local HeldLocks held;
  return held;
}

[[noreturn]] void Fail(const char* what, LockId taken, const Held* holding) {
  const Entry& t = Of(taken);
  if (holding == nullptr) {
    std::fprintf(stderr, "lock order: %s %s (rank %d)\n", what, t.name, t.rank);
  } else {
    const Entry& h = Of(holding->id);
    std::fprintf(stderr, "lock order: %s %s (rank %d) while holding %s (rank %d)\n", what, t.name,
                 t.rank, h.name, h.rank);
  }
  std::fflush(stderr);
  std::abort();
}

// The runtime's node-map locks, as the runtime reports them.
void TakingNodeMap(const void* lock) { Taking(LockId::kNodeMap, lock); }
void TookNodeMap(const void* lock) { Took(LockId::kNodeMap, lock); }

constexpr GenICam::LockWatch kNodeMapWatch{&TakingNodeMap, &TookNodeMap, &Left};
[[maybe_unused]] const bool kWatchingNodeMaps = (GenICam::WatchLocks(&kNodeMapWatch), true);

}  // namespace

Row RowOf(LockId id) {
  const Entry& entry = Of(id);
  return {entry.rank, entry.name, entry.recursive};
}

void Taking(LockId id, const void* lock) {
  const HeldLocks& held = ThisThread();
  const Entry& taken = Of(id);
  for (int i = held.count - 1; i >= 0; --i) {
    if (held.locks[i].lock != lock) continue;
    if (taken.recursive) return;
    Fail("taking again", id, &held.locks[i]);
  }
  for (int i = held.count - 1; i >= 0; --i) {
    if (Of(held.locks[i].id).rank >= taken.rank) Fail("taking", id, &held.locks[i]);
  }
}

void Took(LockId id, const void* lock) {
  HeldLocks& held = ThisThread();
  if (held.count == kMaxHeld) Fail("too many locks held, taking", id, nullptr);
  held.locks[held.count++] = {id, lock};
}

void Left(const void* lock) {
  HeldLocks& held = ThisThread();
  for (int i = held.count - 1; i >= 0; --i) {
    if (held.locks[i].lock != lock) continue;
    for (int j = i + 1; j < held.count; ++j) held.locks[j - 1] = held.locks[j];
    --held.count;
    return;
  }
}

}  // namespace zor::foundation::lockorder

#endif
