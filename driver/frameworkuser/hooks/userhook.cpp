// CUserHook: starts, stops and counts a system's hook threads by hook type.
#include "driver/frameworkuser/hooks/userhook.h"

#include <utility>
#include <vector>

#include "driver/foundation/log.h"
#include "driver/foundation/logtag.h"
#include "driver/frameworkuser/hooks/hookthread.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {

namespace {

constexpr uint32_t kHookRecord = 3;

}  // namespace

CUserHook::CUserHook(uint32_t ownerWord, os::Handle device, int64_t initWord)
    : CLogProvider(ownerWord & 0x3F, 2, 76, 0), device_(device), initWord_(initWord) {}

CUserHook::~CUserHook() {
  ThreadList threads;
  {
    foundation::ScopedLock lock(lock_);
    threads = TakeOthers(active_);
    threads.splice(threads.end(), TakeOthers(parked_));
  }
  PurgeThreads(threads);
}

void CUserHook::Start(uint64_t hookType, void* userData, CBaseHook<HOOK_ELEMENT_INFO>* element,
                      QID hostObject, foundation::CError& sink, bool waitStarted) {
  foundation::CLog* log = foundation::CLog::Instance();
  if (log->IsCategoryEnabled(foundation::kGrabLogCategory)) {
    log->Write(*this, kHookRecord, foundation::LogTag("TYPE"), hookType, foundation::LogTag("ADDR"),
               reinterpret_cast<uint64_t>(element), foundation::kEmptyLogTag, 0);
  }
  auto thread = std::make_unique<CHookThread>(*this, hookType, element, userData, hostObject);
  if (!thread->Created()) {
    sink.SetError(kHookError, kNoHookResources);
    return;
  }
  CHookThread* started = thread.get();
  ThreadList parked;
  {
    foundation::ScopedLock lock(lock_);
    parked = TakeOthers(parked_);
    active_.push_back(std::move(thread));
  }
  PurgeThreads(parked);
  const bool running = started->StartThread() && (!waitStarted || started->WaitStarted());
  if (running) return;

  sink.SetError(kHookError, kNoHookThread);
  std::unique_ptr<CHookThread> failed;
  {
    foundation::ScopedLock lock(lock_);
    for (auto it = active_.begin(); it != active_.end(); ++it) {
      if (it->get() == started) {
        failed = std::move(*it);
        active_.erase(it);
        break;
      }
    }
  }
  if (failed) failed->Join();
}

void CUserHook::Stop(uint64_t hookType, foundation::CError& /*sink*/) {
  std::unique_ptr<CHookThread> stopping;
  {
    foundation::ScopedLock lock(lock_);
    for (auto it = active_.begin(); it != active_.end(); ++it) {
      if ((*it)->HookType() == hookType) {
        stopping = std::move(*it);
        active_.erase(it);
        break;
      }
    }
  }
  if (!stopping) return;
  stopping->RequestStop();
  if (stopping->ThreadId() == os::GetCurrentThreadId()) {
    // A user function unhooking its own type: its thread cannot wait for itself.
    foundation::ScopedLock lock(lock_);
    parked_.push_back(std::move(stopping));
    return;
  }
  stopping->Join();
}

bool CUserHook::IsInHookThread(uint64_t hookType) const {
  const uint32_t self = os::GetCurrentThreadId();
  foundation::ScopedLock lock(lock_);
  for (const auto& thread : active_) {
    if (thread->ThreadId() == self && (hookType == 0 || thread->HookType() == hookType)) {
      return true;
    }
  }
  return false;
}

void CUserHook::WaitIdle(uint64_t hookType) const {
  const uint32_t self = os::GetCurrentThreadId();
  std::vector<std::pair<const CHookThread*, uint64_t>> asked;
  {
    foundation::ScopedLock lock(lock_);
    for (const auto& thread : active_) {
      if (thread->HookType() == hookType && thread->ThreadId() != self) {
        asked.emplace_back(thread.get(), thread->AskIdle());
      }
    }
  }
  // Looked up again each time: a thread stopped meanwhile is gone.
  for (bool waiting = true; waiting;) {
    {
      foundation::ScopedLock lock(lock_);
      waiting = false;
      for (const auto& thread : active_) {
        for (const auto& [asker, round] : asked) {
          if (thread.get() == asker && !thread->IdleSince(round)) waiting = true;
        }
      }
    }
    if (waiting) os::Sleep(1);
  }
}

size_t CUserHook::ActiveCount(uint64_t hookType) const {
  foundation::ScopedLock lock(lock_);
  size_t count = 0;
  for (const auto& thread : active_) count += thread->HookType() == hookType ? 1 : 0;
  return count;
}

CUserHook::ThreadList CUserHook::TakeOthers(ThreadList& list) {
  const uint32_t self = os::GetCurrentThreadId();
  ThreadList others;
  for (auto it = list.begin(); it != list.end();) {
    auto next = std::next(it);
    if ((*it)->ThreadId() != self) others.splice(others.end(), list, it);
    it = next;
  }
  return others;
}

size_t CUserHook::RunningCount(uint64_t hookType) const {
  foundation::ScopedLock lock(lock_);
  size_t count = 0;
  for (const auto& thread : active_) {
    count += thread->HookType() == hookType && !thread->Ended() ? 1 : 0;
  }
  return count;
}

void CUserHook::PurgeThreads(ThreadList& threads) {
  for (auto& thread : threads) thread->RequestStop();
  for (auto& thread : threads) thread->Join();
  threads.clear();
}

}  // namespace zor::frame
