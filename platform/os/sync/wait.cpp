#include "platform/os/sync/wait.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/os/core/thread_own.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/waitable.h"

namespace os::detail {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) &&
              std::atomic<uint32_t>::is_always_lock_free);

void Waiter::Sleep(uint32_t seen, std::chrono::steady_clock::time_point deadline) {
  // Ordered against Wake's count then flag: either the waker sees the flag or the
  // kernel sees the moved count.
  sleeping_.store(true, std::memory_order_seq_cst);
  if (wakes_.load(std::memory_order_seq_cst) == seen) {
    timespec at{};
    const bool timed = deadline != std::chrono::steady_clock::time_point::max();
    if (timed) {
      const auto ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
      at.tv_sec = static_cast<time_t>(ns / 1000000000);
      at.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    // The steady clock is CLOCK_MONOTONIC, the clock of a bitset wait's absolute time.
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&wakes_), FUTEX_WAIT_BITSET_PRIVATE, seen,
            timed ? &at : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
  }
  sleeping_.store(false, std::memory_order_relaxed);
}

void Waiter::Wake() {
  wakes_.fetch_add(1, std::memory_order_seq_cst);
  if (sleeping_.load(std::memory_order_seq_cst)) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&wakes_), FUTEX_WAKE_PRIVATE, 1, nullptr,
            nullptr, 0);
  }
}

std::mutex& SyncMutex() {
  static std::mutex& mutex = *new std::mutex;
  return mutex;
}

namespace {
// Filled under SyncMutex() by the thread that holds it; shared ownership keeps
// a waiter that has already given up alive until it is told.
std::vector<std::shared_ptr<Waiter>>& WokenByThisThread() {
  thread_local std::vector<std::shared_ptr<Waiter>> woken;
  return woken;
}
}  // namespace

void Waitable::ReleaseWaiters() {
  for (const std::shared_ptr<Waiter>& waiter : waiters_) waiter->Release(this);
  WakeWaiters();
}

void Waitable::WakeWaiters() {
  std::vector<std::shared_ptr<Waiter>>& woken = WokenByThisThread();
  woken.insert(woken.end(), waiters_.begin(), waiters_.end());
}

SyncLock::SyncLock() : lock_(SyncMutex()) {}

SyncLock::~SyncLock() {
  lock_.unlock();
  std::vector<std::shared_ptr<Waiter>>& woken = WokenByThisThread();
  for (const std::shared_ptr<Waiter>& waiter : woken) waiter->Wake();
  woken.clear();
}

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at objects that other processes change: soon at
// first, then more rarely, so a long wait costs little.
constexpr auto kFirstPoll = std::chrono::milliseconds(1);
constexpr auto kLongestPoll = std::chrono::milliseconds(50);

// A wait for any of the objects that one of them released while it slept ends with that object,
// whatever its state now.
uint32_t Released(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
                  const Waiter& waiter) {
  if (waitAll || waiter.ReleasedBy() == nullptr) return WAIT_TIMEOUT;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i].get() == waiter.ReleasedBy()) return WAIT_OBJECT_0 + static_cast<uint32_t>(i);
  }
  return WAIT_TIMEOUT;
}

// One pass over the objects; WAIT_TIMEOUT when the wait must go on.
uint32_t TryOnce(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
                 uint32_t threadId) {
  if (!waitAll) {
    for (size_t i = 0; i < objects.size(); ++i) {
      if (!objects[i]->IsSignalled(threadId)) continue;
      bool abandoned = objects[i]->Take(threadId);
      return static_cast<uint32_t>(i) + (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0);
    }
    return WAIT_TIMEOUT;
  }
  size_t signalled = 0;
  while (signalled < objects.size() && objects[signalled]->IsSignalled(threadId)) ++signalled;
  if (signalled < objects.size()) {
    for (size_t i = 0; i < signalled; ++i) objects[i]->Untaken();
    return WAIT_TIMEOUT;
  }
  uint32_t result = WAIT_OBJECT_0;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->Take(threadId) && result == WAIT_OBJECT_0) {
      result = WAIT_ABANDONED_0 + static_cast<uint32_t>(i);
    }
  }
  return result;
}

uint32_t Wait(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
              uint32_t milliseconds) {
  const uint32_t threadId = GetCurrentThreadId();
  // One hold of the lock from the first look to the waiter's registration: nothing can
  // change in between.
  std::unique_lock lock(SyncMutex());
  uint32_t result = TryOnce(objects, waitAll, threadId);
  // Signalled already, or no time to wait: no waiter to register and no time-out to reckon.
  if (result != WAIT_TIMEOUT || milliseconds == 0) return result;
  // A thread waits for one thing at a time: its waiter serves every wait, unless a
  // thread that woke it still holds it (it is told after that thread's lock). A new
  // one is made without the lock, and the objects are looked at again.
  thread_local std::shared_ptr<Waiter> own = std::make_shared<Waiter>();
  if (own.use_count() != 1) {
    lock.unlock();
    own = std::make_shared<Waiter>();
    lock.lock();
    result = TryOnce(objects, waitAll, threadId);
    if (result != WAIT_TIMEOUT) return result;
  }
  const std::shared_ptr<Waiter>& waiter = own;
  const bool forever = milliseconds == INFINITE;
  const auto deadline =
      forever ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(milliseconds);
  bool polling = false;
  std::chrono::milliseconds poll = kFirstPoll;
  for (const auto& object : objects) polling = polling || object->NeedsPolling();
  waiter->ForgetRelease();
  for (const auto& object : objects) object->AddWaiter(waiter);
  do {
    if (!forever && Clock::now() >= deadline) break;
    auto until = deadline;
    if (polling) {
      until = std::min(until, Clock::now() + poll);
      poll = std::min(poll * 2, kLongestPoll);
    }
    // Woken without the lock, which the waker has already released.
    const uint32_t seen = waiter->Count();
    lock.unlock();
    waiter->Sleep(seen, until);
    lock.lock();
  } while ((result = TryOnce(objects, waitAll, threadId)) == WAIT_TIMEOUT &&
           (result = Released(objects, waitAll, *waiter)) == WAIT_TIMEOUT);
  for (const auto& object : objects) object->RemoveWaiter(waiter);
  waiter->ForgetRelease();
  return result;
}

}  // namespace
}  // namespace os::detail

namespace os {

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
  return WaitForMultipleObjects(1, &object, false, milliseconds);
}

uint32_t WaitForMultipleObjects(uint32_t count, const Handle* objects, bool waitAll,
                                uint32_t milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || objects == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  // Kept by the thread, so that a wait allocates nothing; emptied before it returns. A wait
  // while the thread ends, after the kept list is gone, has one of its own.
  struct WaitList {
    std::vector<std::shared_ptr<detail::Waitable>> objects;
  };
  WaitList* kept = detail::ThreadOwn<WaitList>();
  WaitList ending;
  std::vector<std::shared_ptr<detail::Waitable>>& waitables =
      (kept != nullptr ? kept : &ending)->objects;
  struct Emptied {
    std::vector<std::shared_ptr<detail::Waitable>>& list;
    ~Emptied() { list.clear(); }
  } emptied{waitables};
  for (uint32_t i = 0; i < count; ++i) {
    std::shared_ptr<detail::Object> found = detail::FindHandle(objects[i]);
    detail::Waitable* waitable = found == nullptr ? nullptr : found->AsWaitable();
    if (waitable == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    std::shared_ptr<detail::Waitable> object(found, waitable);
    for (const auto& earlier : waitables) {
      // Taking one object twice at once has no meaning.
      if (waitAll && earlier == object) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
      }
    }
    waitables.push_back(std::move(object));
  }
  return detail::Wait(waitables, waitAll, milliseconds);
}

void Sleep(uint32_t milliseconds) {
  // Tests shorten the fixed waits of the code they run (a percentage, 100 when unset).
  const char* percent = std::getenv("ZOR_SLEEP_PERCENT");
  uint64_t scaled = milliseconds;
  if (percent != nullptr && *percent != '\0') {
    char* end = nullptr;
    const unsigned long value = std::strtoul(percent, &end, 10);
    if (*end == '\0' && value <= 100) scaled = scaled * value / 100;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(scaled));
}

}  // namespace os
