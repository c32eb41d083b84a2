// The lock order as the test builds check it: a lock taken against the table stops the process
// at once, naming the lock held and the lock taken with their ranks; taken in order, re-entered
// when recursive, tried, or left in any order, locks pass. A GenICam node map's lock is one rank
// of the table.
#include "driver/foundation/lockorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <type_traits>
#include <vector>

#include "driver/foundation/mutex.h"
#include "driver/foundation/queuedlock.h"
#include "platform/genapi/base/lock.h"

namespace zor::foundation {
namespace {

#if defined(ZOR_LOCK_ORDER_CHECKS)

using Delivery = Ranked<std::shared_mutex, LockId::kDelivery>;
using Feature = Ranked<std::recursive_mutex, LockId::kFeature>;
using Handler = Ranked<std::mutex, LockId::kProcessHandler>;
using ProcessHook = Ranked<std::mutex, LockId::kProcessHook>;
using ProcessThreads = Ranked<std::mutex, LockId::kProcessThreads>;
using Creation = Ranked<CQueuedLock, LockId::kDriverCreation>;
using Channel = Ranked<std::recursive_mutex, LockId::kChannel>;
using Global = Ranked<std::recursive_mutex, LockId::kGlobal>;
using Settings = Ranked<std::mutex, LockId::kSettings>;
using Block = Ranked<std::mutex, LockId::kBlock>;
using Status = Ranked<Mutex, LockId::kStatus>;

// Takes a lock as the driver's code takes one of its kind; the process ends before any is left.
template <typename Lock>
void Take(Lock& lock) {
  lock.lock();
}
void Take(GenICam::CLock& lock) { lock.Lock(); }
void Take(Delivery& lock) { lock.lock_shared(); }
void Take(Creation& lock) {
  CQueuedLock::Node node;
  lock.Acquire(node);
}

template <typename Held, typename Taken>
void TakeWhileHolding() {
  Held held;
  Taken taken;
  Take(held);
  Take(taken);
}

class LockOrderDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(LockOrderDeathTest, ALockAgainstTheTableStopsTheProcessNamingBoth) {
  // The road of a digitizer control that went into a node map under its channel lock.
  EXPECT_DEATH((TakeWhileHolding<Channel, GenICam::CLock>()),
               "taking a GenICam node map's lock \\(rank 20\\) while holding "
               "QDDigitizerInfo::channelLock_ \\(rank 22\\)");
  EXPECT_DEATH((TakeWhileHolding<Channel, Feature>()),
               "taking QDDigitizerInfo::featureLock_.*\\(rank 4\\) while holding "
               "QDDigitizerInfo::channelLock_ \\(rank 22\\)");
  // A shared hold waits as an exclusive one does, and so does a queued lock.
  EXPECT_DEATH((TakeWhileHolding<Handler, Delivery>()),
               "taking QDDigitizerInfo::deliveryLock_ \\(rank 2\\) while holding "
               "CDigProcessHdler::handlerLock_ \\(rank 5\\)");
  EXPECT_DEATH((TakeWhileHolding<Global, Creation>()),
               "taking CQDDeviceDriverWrapper::creationLock_ \\(rank 21\\) while holding "
               "CQDDeviceDriverWrapper::globalLock_ \\(rank 25\\)");
}

TEST_F(LockOrderDeathTest, LocksOfOneRowAreNeverHeldTogetherNorALockTwice) {
  EXPECT_DEATH((TakeWhileHolding<Block, Status>()),
               "taking QDDigitizerInfo::statusLock_ \\(rank 30\\) while holding "
               "QDDigitizerInfo::blockLock_ \\(rank 30\\)");
  // Two records' locks of one kind are two locks of one row.
  EXPECT_DEATH((TakeWhileHolding<Channel, Channel>()),
               "taking QDDigitizerInfo::channelLock_ \\(rank 22\\) while holding "
               "QDDigitizerInfo::channelLock_ \\(rank 22\\)");
  EXPECT_DEATH(
      {
        Settings settings;
        settings.lock();
        settings.lock();
      },
      "taking again QDDigitizerInfo::settingsLock_ \\(rank 29\\)");
  // A lock left out of order leaves the ones taken after it held.
  EXPECT_DEATH(
      {
        Feature feature;
        Channel channel;
        Global global;
        feature.lock();
        channel.lock();
        global.lock();
        channel.unlock();
        channel.lock();
      },
      "taking QDDigitizerInfo::channelLock_ \\(rank 22\\) while holding "
      "CQDDeviceDriverWrapper::globalLock_ \\(rank 25\\)");
}

TEST(LockOrder, InOrderReenteredTriedAndLeftInAnyOrderPasses) {
  Feature feature;
  GenICam::CLock nodeMap;
  Channel channel;
  Global global;
  Handler handler;
  Settings settings;
  Block block;
  Delivery delivery;
  // A shared hold that was left lets the lock be taken alone.
  delivery.lock_shared();
  delivery.unlock_shared();
  ASSERT_TRUE(delivery.try_lock());
  delivery.unlock();
  {
    std::lock_guard first(feature);
    nodeMap.Lock();
    // A register access of a feature write comes back into the channel road under the map.
    channel.lock();
    nodeMap.Lock();
    channel.lock();
    std::lock_guard driver(global);
    feature.lock();  // a feature hook inside the write that fired it
    feature.unlock();
    channel.unlock();
    channel.unlock();
    nodeMap.Unlock();
    nodeMap.Unlock();
    std::lock_guard leaf(settings);
    {
      std::lock_guard last(block);
      // A try waits for nothing: it may go against the order.
      ASSERT_TRUE(handler.try_lock());
      handler.unlock();
    }
  }
  {
    // A run's end reaches its hook threads under the handler's and the hook's locks.
    ProcessHook hook;
    ProcessThreads threads;
    std::lock_guard run(handler);
    std::lock_guard records(hook);
    std::lock_guard entries(threads);
  }
  // Everything was left: the first rank may be taken again, then any below it.
  std::lock_guard again(feature);
  std::lock_guard below(channel);
}

// Each lock among one lock of every other rank, each recursive one taken twice: a lock whose
// rank is one off meets a lock of its new rank on the way.
TEST_F(LockOrderDeathTest, EveryLockTakesItsPlaceInTheTable) {
  constexpr int kRanks[] = {1,  2,  3,  4,  5,  6,  7,  8,  8,  9,  10, 10, 11, 12, 13, 14, 15, 16,
                            17, 18, 19, 19, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 29, 29, 30,
                            30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30};
  constexpr size_t kLocks = std::size(kRanks);
  static_assert(kLocks == static_cast<size_t>(LockId::kCount));
  const std::set<LockId> recursive = {LockId::kUartHook, LockId::kFeature, LockId::kPublisher,
                                      LockId::kNodeMap,  LockId::kChannel, LockId::kSecondChannel,
                                      LockId::kGlobal,   LockId::kInfoList};
  char locks[kLocks];
  for (size_t own = 0; own < kLocks; ++own) {
    std::vector<size_t> held;
    for (int rank = 1; rank <= kRanks[kLocks - 1]; ++rank) {
      const size_t id = rank == kRanks[own] ? own : std::ranges::find(kRanks, rank) - kRanks;
      lockorder::Taking(static_cast<LockId>(id), &locks[id]);
      lockorder::Took(static_cast<LockId>(id), &locks[id]);
      held.push_back(id);
      if (id == own && recursive.contains(static_cast<LockId>(id))) {
        lockorder::Taking(static_cast<LockId>(id), &locks[id]);
        lockorder::Took(static_cast<LockId>(id), &locks[id]);
        held.push_back(id);
      }
    }
    for (auto id = held.rbegin(); id != held.rend(); ++id) lockorder::Left(&locks[*id]);
  }
  // A lock that is not recursive is never taken twice, and no rank lies above the last: each
  // of its locks is refused under another of it instead.
  const auto holdThenTake = [&locks](size_t own, size_t next) {
    lockorder::Taking(static_cast<LockId>(own), &locks[own]);
    lockorder::Took(static_cast<LockId>(own), &locks[own]);
    lockorder::Taking(static_cast<LockId>(next), &locks[next]);
  };
  for (size_t own = 0; own < kLocks; ++own) {
    if (!recursive.contains(static_cast<LockId>(own))) {
      EXPECT_DEATH(holdThenTake(own, own), "taking again") << own;
    }
    if (kRanks[own] == kRanks[kLocks - 1]) {
      EXPECT_DEATH(holdThenTake(own == kLocks - 1 ? own - 1 : kLocks - 1, own),
                   "\\(rank 30\\) while holding .*\\(rank 30\\)")
          << own;
    }
  }
}

#else

TEST(LockOrder, OptimisedBuildsCarryNothing) {
  static_assert(std::is_same_v<Ranked<std::mutex, LockId::kChannel>, std::mutex>);
  GTEST_SKIP() << "the lock order is checked in the sanitizer builds";
}

#endif

}  // namespace
}  // namespace zor::foundation
