// Thread and event services of every system: events registered with the
// kernel driver and per-(thread, system) thread objects that own a kernel
// object. The kernel takes part in every operation; the waits are in threadwaits.cpp.
#include <algorithm>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/system/qdbasesystem.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/thread.h"

namespace zor::frame {
namespace {

constexpr int64_t kHostThreadObjectKind = 2048;

using errorcode::kInvalidControl;
using errorcode::kInvalidInquire;
using errorcode::kInvalidSystemParameter;
using errorcode::kSystemAllocationError;

constexpr int64_t kControlEventState = 1707;
constexpr int64_t kControlSelectContext = 1708;
constexpr int64_t kSettingWaitWord = 1804;
// 1: a region or band access of a buffer in device memory first waits for the system's work.
constexpr int64_t kRegionAccessWait = 1805;
// 1: a buffer copy waits for the system's work and is queued; 2: it marks the destination's grab.
constexpr int64_t kCopyWaitMode = 1815;
constexpr int64_t kGuardFlag = 1813;
// A value below 16 that the host keeps on the thread object and reads back.
constexpr int64_t kThreadUserValue = 1819;
constexpr int64_t kHostThreadId = 1103;
constexpr int64_t kInquireLastEvent = 1019;

bool IsThreadType(int64_t type) { return type == kThreadObject || type == kThreadObjectAlternate; }

bool IsEventInitWord(int64_t init) {
  return init == 0x2010 || init == 0x2020 || init == 0x4010 || init == 0x4020 || init == Q_DEFAULT;
}

// A setting the thread object keeps: the values 1 and 2 are stored, Q_DEFAULT stores the
// default; any other value goes to the kernel object.
struct ThreadSetting {
  int64_t type;
  int64_t defaultValue;
  void (QDZorThreadContext::*store)(int64_t);
};
constexpr ThreadSetting kThreadSettings[] = {
    {kSettingWaitWord, 2, &QDZorThreadContext::SetWaitWord},
    {kRegionAccessWait, 1, &QDZorThreadContext::SetRegionAccessWait},
    {kCopyWaitMode, 1, &QDZorThreadContext::SetCopyWaitMode},
};

const ThreadSetting* FindThreadSetting(int64_t type) {
  for (const ThreadSetting& setting : kThreadSettings) {
    if (setting.type == type) return &setting;
  }
  return nullptr;
}

bool StoreThreadSetting(QDZorThreadContext& thread, const ThreadSetting& setting, int64_t value) {
  if (value != 1 && value != 2 && value != Q_DEFAULT) return false;
  (thread.*setting.store)(value != Q_DEFAULT ? value : setting.defaultValue);
  return true;
}

// A thread object's kernel object follows the calling thread's priority:
// 136 plus the priority's code.
int32_t ThreadObjectKind(int priority) {
  int32_t code = -8;
  if (priority <= os::THREAD_PRIORITY_IDLE) {
    code = -1;
  } else if (priority >= os::THREAD_PRIORITY_TIME_CRITICAL) {
    code = -15;
  } else if (priority == os::THREAD_PRIORITY_LOWEST) {
    code = -6;
  } else if (priority == os::THREAD_PRIORITY_BELOW_NORMAL) {
    code = -7;
  } else if (priority == os::THREAD_PRIORITY_ABOVE_NORMAL) {
    code = -9;
  } else if (priority == os::THREAD_PRIORITY_HIGHEST) {
    code = -10;
  }
  return kernel::kObjectKindThreadBase + code;
}

}  // namespace

QDBaseSystem::Target QDBaseSystem::FindTarget(int64_t id, QDDriverThreadContext& ctx) const {
  Target target;
  if (id == Q_DEFAULT) {
    target.thread = CallerContext(ctx);
    if (target.thread != nullptr) target.kind = ObjectKind::kThread;
    return target;
  }
  if (id == 0) return target;
  const int64_t type = HostInternalInquire(id, Q_INTERNAL_OBJECT_TYPE, nullptr);
  void* data = reinterpret_cast<void*>(HostInternalInquire(id, Q_DRIVER_DATA, nullptr));
  if (data == nullptr) return target;
  if (type == Q_EVENT) {
    target.kind = ObjectKind::kEvent;
    target.event = static_cast<CEventInfo*>(data);
  } else if (IsThreadType(type)) {
    target.kind = ObjectKind::kThread;
    target.thread = static_cast<QDZorThreadContext*>(data);
  }
  return target;
}

std::unique_ptr<QDZorThreadContext> QDBaseSystem::MakeThreadContext(int64_t systemIndex,
                                                                    QDDriverThreadContext& ctx) {
  auto context = std::make_unique<QDZorThreadContext>(ctx, systemIndex);
  context->SetTimeoutSeconds(static_cast<double>(threadTimeout_));
  // A system without a kernel device makes contexts without kernel objects.
  if (handles_.device != kernel::kNoHandle && handles_.device != 0) {
    foundation::CError error;
    const int32_t kind = ThreadObjectKind(os::GetThreadPriority(os::GetCurrentThread()));
    const uint64_t id = LLsysObjectAlloc(handles_, kind, error, &ctx);
    if (id == 0) {
      ctx.SetError(kSystemAllocationError, 2, 0, 0);
      return nullptr;
    }
    context->SetKernelObjectId(id);
    LLsysObjectControl(handles_, id, kernel::kObjectTimeout,
                       static_cast<uint64_t>(context->TimeoutMilliseconds()), error, &ctx);
  }
  return context;
}

int64_t QDBaseSystem::ThreadAllocCurrent(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  if (!IsThreadType(type)) return -1;
  if (ctx.Command().checkArgs != 0 && args.Int(2) != Q_DEFAULT) {
    ctx.SetError(kSystemAllocationError, 2, 0, 0);
  }
  if (ctx.Command().noOperation != 0) return 1;
  auto* out = args.Pointer<std::unique_ptr<QDZorThreadContext>>(3);
  if (out == nullptr) return -1;
  *out = MakeThreadContext(args.Int(1), ctx);
  return 1;
}

int64_t QDBaseSystem::AllocHostThread(QDZorThreadContext& context) {
  QID id = 0;
  HostThrAlloc(hostObjectId_, kHostThreadObjectKind, Q_DEFAULT, nullptr, &context, &id);
  context.SetHostThreadId(id);
  return id;
}

int64_t QDBaseSystem::AllocEvent(int64_t initWord, int64_t* out, QDDriverThreadContext& ctx) {
  const int64_t flags = initWord == Q_DEFAULT ? 0x2020 : initWord;
  auto info = std::make_unique<CEventInfo>();
  const os::Handle event = os::CreateEvent((flags & kernel::kEventManualReset) != 0,
                                           (flags & kernel::kEventSignalled) != 0);
  kernel::ThreadAllocRequest record{};
  foundation::CError error;
  record.header = FreshHeader(error);
  record.header.objectId = CallerKernelId(ctx);
  record.initWord = static_cast<uint64_t>(flags);
  record.eventHandle = os::HandleValue(event);
  LLsysRequest(handles_, kernel::kThreadAlloc, record, error, &ctx);
  if (error.errorSet != 0) {
    os::CloseHandle(event);
    return 1;
  }
  info->kernelEventId_ = record.eventId;
  info->eventHandle_ = os::HandleValue(event);
  info->hostId_ = HostEventAttach(0, Q_EVENT, info.get());
  if (out != nullptr) *out = info->hostId_;
  foundation::ScopedLock lock(objectsLock_);
  events_.push_back(std::move(info));
  return 1;
}

int64_t QDBaseSystem::ThreadAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  const int64_t init = args.Int(2);
  auto* out = args.Pointer<int64_t>(3);
  if (out != nullptr) *out = 0;
  if (type != Q_EVENT && !IsThreadType(type)) return -1;
  if (ctx.Command().checkArgs != 0) {
    const bool valid = type == Q_EVENT ? IsEventInitWord(init) : init == Q_DEFAULT;
    if (!valid) ctx.SetError(kSystemAllocationError, 2, 0, 0);
  }
  if (ctx.Command().noOperation != 0) return 1;
  if (type == Q_EVENT) return AllocEvent(init, out, ctx);
  std::unique_ptr<QDZorThreadContext> context = MakeThreadContext(args.Int(1), ctx);
  if (context == nullptr) return 1;
  const int64_t id = AllocHostThread(*context);
  if (out != nullptr) *out = id;
  foundation::ScopedLock lock(objectsLock_);
  threadObjects_.push_back(std::move(context));
  return 1;
}

void QDBaseSystem::ControlEvent(const CEventInfo& event, int64_t type, int64_t value,
                                QDDriverThreadContext& ctx) {
  // An event has no kernel object: only its state can be set.
  if (type != kControlEventState) {
    ctx.SetError(kInvalidControl, 2, 0, 0);
    return;
  }
  kernel::ThreadControlRequest record{};
  foundation::CError error;
  record.header = FreshHeader(error);
  record.header.objectId = CallerKernelId(ctx);
  record.eventId = event.kernelEventId_;
  record.value = static_cast<uint64_t>(value);
  LLsysRequest(handles_, kernel::kThreadControl, record, error, &ctx);
}

bool QDBaseSystem::ServeThreadControl(QDZorThreadContext& thread, int64_t type, int64_t value,
                                      QDDriverThreadContext& ctx) {
  if (const ThreadSetting* setting = FindThreadSetting(type)) {
    return StoreThreadSetting(thread, *setting, value);
  }
  switch (type) {
    case kThreadUserValue:
      if (value < 16 || value == Q_DEFAULT) {
        thread.SetUserValue(value);
      } else {
        ctx.SetError(kInvalidControl, 3, 0, 0);
      }
      return true;
    case kControlSelectContext:
      ctx.Driver().SetSystemThreadContext(ctx, index_, &thread);
      return true;
    case kGuardFlag:
      thread.SetGuardFlag(value == Q_DEFAULT || value == Q_ENABLE);
      return true;
    default:
      return false;
  }
}

int64_t QDBaseSystem::ThreadControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (ctx.Command().noOperation != 0) return 1;
  const Target target = FindTarget(args.Int(0), ctx);
  const int64_t type = args.Int(1);
  const int64_t value = args.Int(2);
  if (target.kind == ObjectKind::kNone) {
    ctx.SetError(kInvalidSystemParameter, 3, 0, 0);
    return 1;
  }
  if (target.kind == ObjectKind::kEvent) {
    ControlEvent(*target.event, type, value, ctx);
    return 1;
  }
  if (ServeThreadControl(*target.thread, type, value, ctx)) return 1;
  foundation::CError error;
  LLsysObjectControl(handles_, target.thread->KernelObjectId(), static_cast<uint64_t>(type),
                     static_cast<uint64_t>(value), error, &ctx);
  return 1;
}

std::unique_ptr<QDZorThreadContext> QDBaseSystem::TakeThreadObject(QDZorThreadContext* context) {
  foundation::ScopedLock lock(objectsLock_);
  auto it = std::find_if(threadObjects_.begin(), threadObjects_.end(),
                         [context](const auto& owned) { return owned.get() == context; });
  if (it == threadObjects_.end()) return nullptr;
  std::unique_ptr<QDZorThreadContext> owned = std::move(*it);
  threadObjects_.erase(it);
  return owned;
}

int64_t QDBaseSystem::ThreadFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const Target target = FindTarget(args.Int(0), ctx);
  foundation::CError error;
  if (target.kind == ObjectKind::kEvent) {
    kernel::ThreadFreeRequest record{};
    record.header = FreshHeader(error);
    record.header.objectId = CallerKernelId(ctx);
    record.eventId = target.event->kernelEventId_;
    LLsysRequest(handles_, kernel::kThreadFree, record, error, &ctx);
    os::CloseHandle(os::HandleFromValue(target.event->eventHandle_));
    HostEventFree(0, target.event->hostId_);
    foundation::ScopedLock lock(objectsLock_);
    std::erase_if(events_, [&target](const auto& info) { return info.get() == target.event; });
    return 1;
  }
  if (target.kind != ObjectKind::kThread) return -1;
  if (target.thread->KernelObjectId() != 0) {
    LLsysObjectFree(handles_, target.thread->KernelObjectId(), error, &ctx);
  }
  // Its destructor frees the host thread object; a thread's own context goes
  // with the thread's item when the driver lets go of it.
  const std::unique_ptr<QDZorThreadContext> owned = TakeThreadObject(target.thread);
  return 1;
}

int64_t QDBaseSystem::ThreadInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (ctx.Command().noOperation != 0) return 1;
  const Target target = FindTarget(args.Int(0), ctx);
  const int64_t type = args.Int(1);
  auto* out = args.Pointer<int64_t>(2);
  int64_t answer = 0;
  foundation::CError error;
  if (target.kind == ObjectKind::kEvent) {
    if (type == kernel::kEventInquireState) {
      kernel::ThreadWaitRequest record{};
      record.header = FreshHeader(error);
      record.header.objectId = CallerKernelId(ctx);
      record.eventId = target.event->kernelEventId_;
      record.kind = 1;
      LLsysRequest(handles_, kernel::kThreadInquire, record, error, &ctx);
      if (error.errorSet == 0) answer = static_cast<int64_t>(record.result);
    } else {
      ctx.SetError(kInvalidInquire, 1, 0, 0);
    }
  } else if (target.kind == ObjectKind::kThread) {
    QDZorThreadContext& thread = *target.thread;
    switch (type) {
      case kernel::kObjectTimeout:
      case kInquireLastEvent:
      case static_cast<int64_t>(kernel::kObjectWaitIdle):
        answer = static_cast<int64_t>(LLsysObjectInquire(handles_, thread.KernelObjectId(),
                                                         static_cast<uint64_t>(type), error, &ctx));
        break;
      case kHostThreadId:
        answer = thread.HostThreadId() != 0 ? thread.HostThreadId() : AllocHostThread(thread);
        break;
      case kSettingWaitWord:
        answer = thread.WaitWord();
        break;
      case kRegionAccessWait:
        answer = thread.RegionAccessWait();
        break;
      case kCopyWaitMode:
        answer = thread.CopyWaitMode();
        break;
      case kGuardFlag:
        answer = thread.GuardFlag() ? Q_ENABLE : Q_DISABLE;
        break;
      case kThreadUserValue:
        answer = thread.UserValue();
        break;
      default:
        ctx.SetError(kInvalidInquire, 1, 0, 0);
        break;
    }
  } else {
    ctx.SetError(kInvalidSystemParameter, 3, 0, 0);
  }
  if (out != nullptr) *out = answer;
  return 1;
}

}  // namespace zor::frame
