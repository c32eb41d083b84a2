// The driver's map of thread contexts and their per-system contexts.
#include <atomic>

#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/thread.h"

namespace zor::frame {
namespace {

// Every thread remembers its own context, so that the commands of many
// threads do not meet on the global lock. A cached entry is valid only for
// the driver and the generation of contexts it was taken from.
std::atomic<uint64_t> g_contextGeneration{1};

struct CachedContext {
  const QDDeviceDriver* driver = nullptr;
  uint64_t generation = 0;
  QDDriverThreadContext* context = nullptr;
};
thread_local CachedContext t_cachedContext;

QDDriverThreadContext* CachedFor(const QDDeviceDriver* driver) {
  const CachedContext& cached = t_cachedContext;
  if (cached.driver != driver ||
      cached.generation != g_contextGeneration.load(std::memory_order_acquire)) {
    return nullptr;
  }
  return cached.context;
}

void Cache(const QDDeviceDriver* driver, QDDriverThreadContext* context) {
  t_cachedContext = {driver, g_contextGeneration.load(std::memory_order_acquire), context};
}

OperationArgs ThreadAllocArgs(int64_t systemIndex, void* out) {
  OperationArgs args;
  args.Push(kThreadObject);
  args.Push(systemIndex);
  args.Push(Q_DEFAULT);
  args.Push(reinterpret_cast<intptr_t>(out));
  return args;
}

}  // namespace

QDDriverThreadContext* QDDeviceDriver::GetThreadContext(int64_t systemIndex) {
  if (QDDriverThreadContext* ctx = CachedFor(this)) {
    foundation::ScopedLock itemLock(ctx->ItemLock());
    const QDZorThreadContext* current = ctx->Current();
    if (current != nullptr && current->SystemIndex() == systemIndex) return ctx;
  }
  foundation::ScopedLock lock(GlobalDriverLock());
  const uint32_t threadId = os::GetCurrentThreadId();
  QDDriverThreadContext* ctx = nullptr;
  bool created = false;
  if (auto it = threadContexts_.find(threadId); it != threadContexts_.end()) {
    ctx = it->second.get();
  } else {
    ctx = AllocThreadContext(threadId);
    if (ctx == nullptr) return nullptr;
    // Owned before the map allocates its node, which may throw.
    threadContexts_.emplace(threadId, std::unique_ptr<QDDriverThreadContext>(ctx));
    created = true;
  }
  QDZorThreadContext* current = GetSystemThreadContext(*ctx, systemIndex);
  if (current == nullptr && created) {
    // A context that cannot serve its first command leaves the map again.
    threadContexts_.erase(threadId);
    return nullptr;
  }
  {
    foundation::ScopedLock itemLock(ctx->ItemLock());
    ctx->SetCurrent(current);
  }
  Cache(this, ctx);
  return ctx;
}

QDZorThreadContext* QDDeviceDriver::GetSystemThreadContext(QDDriverThreadContext& ctx,
                                                           int64_t systemIndex) {
  foundation::ScopedLock lock(GlobalDriverLock());
  QDZorThreadContext* current = ctx.Current();
  if (current != nullptr && current->SystemIndex() == systemIndex) return current;
  if (CSystemZorThreadContext* item = ctx.FindItem(systemIndex)) {
    if (item->Selected() != nullptr) return item->Selected();
    // Its contexts were freed: build the item anew.
    foundation::ScopedLock itemLock(ctx.ItemLock());
    ctx.RemoveItem(systemIndex);
  }
  // A system being freed gets no new contexts: its free has taken or is about
  // to take those of every thread, and a later one would outlive the system.
  const std::shared_ptr<QDBaseSystem> system = systems_.GetAt(systemIndex);
  if (system == nullptr || system->Freeing()) return nullptr;

  // The system builds the context on behalf of the driver, not of the command.
  const QDDriverThreadContext::CommandState saved = ctx.Command();
  ctx.Command().noOperation = 0;
  ctx.Command().checkArgs = 0;
  QDZorThreadContext* systemOwned = nullptr;
  std::unique_ptr<QDZorThreadContext> made;
  if (system->HostObjectId() != 0) {
    int64_t hostId = 0;
    const OperationArgs args = ThreadAllocArgs(systemIndex, &hostId);
    if (system->ThreadAlloc(args, ctx) != 1) system->QDBaseSystem::ThreadAlloc(args, ctx);
    if (hostId != 0) {
      systemOwned = reinterpret_cast<QDZorThreadContext*>(
          HostInternalInquire(hostId, Q_DRIVER_DATA, nullptr));
    }
  } else {
    const OperationArgs args = ThreadAllocArgs(systemIndex, &made);
    if (system->ThreadAllocCurrent(args, ctx) != 1) {
      system->QDBaseSystem::ThreadAllocCurrent(args, ctx);
    }
  }
  ctx.Command() = saved;
  std::unique_ptr<CSystemZorThreadContext> item;
  if (made != nullptr) {
    item = std::make_unique<CSystemZorThreadContext>(systemIndex, std::move(made));
  } else if (systemOwned != nullptr) {
    item = std::make_unique<CSystemZorThreadContext>(systemIndex, systemOwned);
  } else {
    return nullptr;
  }
  QDZorThreadContext* context = item->Own();
  foundation::ScopedLock itemLock(ctx.ItemLock());
  ctx.AddItem(std::move(item));
  return context;
}

QDZorThreadContext* QDDeviceDriver::FindSystemItem(QDDriverThreadContext& ctx,
                                                   int64_t systemIndex) {
  foundation::ScopedLock lock(GlobalDriverLock());
  const CSystemZorThreadContext* item = ctx.FindItem(systemIndex);
  return item != nullptr ? item->Selected() : nullptr;
}

void QDDeviceDriver::SetSystemThreadContext(QDDriverThreadContext& ctx, int64_t systemIndex,
                                            QDZorThreadContext* context) {
  foundation::ScopedLock lock(GlobalDriverLock());
  CSystemZorThreadContext* item = ctx.FindItem(systemIndex);
  if (item == nullptr || systems_.GetAt(systemIndex) == nullptr) return;
  foundation::ScopedLock itemLock(ctx.ItemLock());
  item->SetSelected(context);
  ctx.SetCurrent(context);
}

void QDDeviceDriver::ReleaseItem(QDDriverThreadContext& ctx,
                                 std::unique_ptr<CSystemZorThreadContext> item) {
  const QDZorThreadContext* own = item->Own();
  if (own == nullptr) return;
  const std::shared_ptr<QDBaseSystem> system =
      item->SystemIndex() != 0 ? systems_.GetAt(item->SystemIndex()) : nullptr;
  if (system != nullptr) {
    OperationArgs args;
    args.Push(own->HostThreadId());
    if (system->ThreadFree(args, ctx) != 1) system->QDBaseSystem::ThreadFree(args, ctx);
  }
  // The system frees a thread object of its own; the item takes a context
  // that the driver frame made along.
}

std::vector<std::unique_ptr<QDZorThreadContext>> QDDeviceDriver::DetachThreadContexts(
    int64_t systemIndex) {
  std::vector<std::unique_ptr<QDZorThreadContext>> detached;
  foundation::ScopedLock lock(GlobalDriverLock());
  for (auto& [threadId, ctx] : threadContexts_) {
    foundation::ScopedLock itemLock(ctx->ItemLock());
    std::unique_ptr<CSystemZorThreadContext> item = ctx->RemoveItem(systemIndex);
    if (item == nullptr) continue;
    const QDZorThreadContext* current = ctx->Current();
    if (current == item->Own() || current == item->Selected()) ctx->SetCurrent(nullptr);
    if (std::unique_ptr<QDZorThreadContext> own = item->ReleaseOwn()) {
      detached.push_back(std::move(own));
    }
  }
  return detached;
}

QDDriverThreadContext* QDDeviceDriver::CallingThreadContext() const {
  if (QDDriverThreadContext* ctx = CachedFor(this)) return ctx;
  foundation::ScopedLock lock(GlobalDriverLock());
  auto it = threadContexts_.find(os::GetCurrentThreadId());
  return it != threadContexts_.end() ? it->second.get() : nullptr;
}

void QDDeviceDriver::ReleaseThreadObject(int64_t systemIndex, const void* object) {
  // A thread's own context goes after the locks: its end calls into the host.
  std::unique_ptr<QDZorThreadContext> freed;
  foundation::ScopedLock lock(GlobalDriverLock());
  // Every thread context is walked: any of them may hold the object.
  for (auto& [threadId, ctx] : threadContexts_) {
    foundation::ScopedLock itemLock(ctx->ItemLock());
    CSystemZorThreadContext* item = ctx->FindItem(systemIndex);
    if (item != nullptr) {
      if (item->Own() == object) freed = item->ReleaseOwn();
      if (item->Selected() == object) item->SetSelected(item->Own());
    }
    if (ctx->Current() == object) ctx->SetCurrent(item != nullptr ? item->Selected() : nullptr);
  }
}

void QDDeviceDriver::FreeSystemItems(QDDriverThreadContext& ctx) {
  foundation::ScopedLock lock(GlobalDriverLock());
  while (!ctx.Items().empty()) {
    std::unique_ptr<CSystemZorThreadContext> item;
    {
      foundation::ScopedLock itemLock(ctx.ItemLock());
      item = ctx.RemoveItem(ctx.Items().front()->SystemIndex());
      ctx.SetCurrent(item->Own());
    }
    ReleaseItem(ctx, std::move(item));
  }
  foundation::ScopedLock itemLock(ctx.ItemLock());
  ctx.SetCurrent(nullptr);
}

int64_t QDDeviceDriver::FreeThreadContext(int64_t) {
  const uint32_t threadId = os::GetCurrentThreadId();
  std::unique_ptr<QDDriverThreadContext> ctx;
  {
    foundation::ScopedLock lock(GlobalDriverLock());
    auto it = threadContexts_.find(threadId);
    if (it != threadContexts_.end() && it->second->ThreadId() == threadId) {
      ctx = std::move(it->second);
      threadContexts_.erase(it);
    }
    t_cachedContext = {};
    ctx.reset();
  }
  return 1;
}

void QDDeviceDriver::ClearThreadContexts() {
  foundation::ScopedLock lock(GlobalDriverLock());
  g_contextGeneration.fetch_add(1, std::memory_order_acq_rel);
  threadContexts_.clear();
}

std::size_t QDDeviceDriver::ThreadContextCount() const {
  foundation::ScopedLock lock(GlobalDriverLock());
  return threadContexts_.size();
}

}  // namespace zor::frame
