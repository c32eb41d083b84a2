// The lock order as the test builds check it: a lock taken against the table stops the process
// at once, naming the lock held and the lock taken with their ranks; taken in order, re-entered
// when recursive, tried, or left in any order, locks pass. A GenICam node map's lock is one rank
// of the table.
#include "driver/foundation/lockorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/foundation/mutex.h"
#include "driver/foundation/queuedlock.h"
#include "platform/genapi/base/lock.h"
#include "tests/support/testdata/testdata.h"

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

// A lock's name as both tables write it: the last word, without its owner or index.
std::string Identifier(std::string name) {
  name = name.substr(name.find_last_of(' ') + 1);
  name = name.substr(0, name.find('['));
  const size_t owner = name.rfind("::");
  return owner == std::string::npos ? name : name.substr(owner + 2);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos;) {
    parts.push_back(text.substr(start, end - start));
    start = end + separator.size();
  }
  parts.push_back(text.substr(start));
  return parts;
}

// The quoted names of a cell: what stands between each pair of backquotes.
std::vector<std::string> Quoted(const std::string& cell) {
  std::vector<std::string> names;
  const std::vector<std::string> parts = Split(cell, "`");
  for (size_t i = 1; i < parts.size(); i += 2) names.push_back(parts[i]);
  return names;
}

using RowNames = std::map<int, std::multiset<std::string>>;
using RowRecursion = std::map<int, bool>;

// The README's table from its heading row to its end; the leaves' row names them as it guards.
void ReadReadmeTable(RowNames& names, RowRecursion& recursive) {
  std::istringstream text(zortest::ReadTestData("../../driver/README.md"));
  std::string line;
  while (std::getline(text, line) && line.rfind("| # | Lock |", 0) != 0) {
  }
  std::getline(text, line);  // the alignment row
  while (std::getline(text, line) && line.rfind("| ", 0) == 0) {
    const std::vector<std::string> cells = Split(line.substr(2), " | ");
    ASSERT_EQ(cells.size(), 7u) << line;
    const int rank = std::stoi(cells[0]);
    for (const std::string& name : Quoted(cells[1] == "leaves" ? cells[3] : cells[1])) {
      names[rank].insert(Identifier(name));
    }
    recursive[rank] = cells[6].rfind("yes", 0) == 0;
  }
}

// The two tables name the same locks in the same rows, with the same recursion: a row changed
// on one side alone fails here.
TEST(LockOrder, ReadmeTableHoldsTheCheckersRows) {
  RowNames readme, checker;
  RowRecursion readmeRecursive, checkerRecursive;
  ReadReadmeTable(readme, readmeRecursive);
  for (size_t i = 0; i < static_cast<size_t>(LockId::kCount); ++i) {
    const lockorder::Row row = lockorder::RowOf(static_cast<LockId>(i));
    for (const std::string& name : Split(row.name, " or "))
      checker[row.rank].insert(Identifier(name));
    checkerRecursive[row.rank] = checkerRecursive[row.rank] || row.recursive;
  }
  EXPECT_EQ(readme, checker);
  EXPECT_EQ(readmeRecursive, checkerRecursive);
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
  static_assert(sizeof(Ranked<std::mutex, LockId::kChannel>) == sizeof(std::mutex));
  GTEST_SKIP() << "the lock order is checked in the sanitizer builds";
}

#endif

}  // namespace
}  // namespace zor::foundation
