// Waits of the thread and event services: on a thread object's kernel object, on one event and
// on several. The kernel ends the wait or, for an event, hands it to user mode.
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/system/qdbasesystem.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {
namespace {

using errorcode::kEventWaitError;
using errorcode::kInvalidControl;
using errorcode::kInvalidSystemParameter;

constexpr int64_t kWaitKindThread = 0x1000000;
constexpr int64_t kWaitKindBlocking = 0x20000000;
constexpr int64_t kWaitKindNonBlocking = 0x8000000;
constexpr int64_t kWaitAllBit = 0x4000000;
constexpr int64_t kWaitTimeMask = 0xFFFFFF;
constexpr int64_t kWaitKindMask = ~kWaitTimeMask;
constexpr int64_t kEnded = 16;
constexpr int64_t kTimedOut = 2077;
constexpr int64_t kNotWaited = -9999;

// The kernel's time-out word: milliseconds, or all ones for no limit.
uint64_t KernelTimeout(int64_t milliseconds) {
  return milliseconds == 0 ? kernel::kNoTimeout : static_cast<uint64_t>(milliseconds);
}

uint32_t UserTimeout(int64_t milliseconds) {
  return milliseconds == 0 ? os::INFINITE : static_cast<uint32_t>(milliseconds);
}

// A multiple wait's word: its kind without the wait-all bit, its time-out, and that bit.
struct MultipleWaitWord {
  int64_t kind;
  int64_t timeout;
  bool waitAll;
};

MultipleWaitWord DecodeMultipleWaitWord(int64_t word) {
  return {word & kWaitKindMask & ~kWaitAllBit, word & kWaitTimeMask, (word & kWaitAllBit) != 0};
}

uint32_t WaitOnReturnedHandles(const kernel::ThreadWaitMultipleRequest& record, int64_t count,
                               const MultipleWaitWord& wait) {
  os::Handle handles[kernel::kMaxWaitEvents];
  for (int64_t i = 0; i < count; ++i) handles[i] = os::HandleFromValue(record.eventHandles[i]);
  return os::WaitForMultipleObjects(static_cast<uint32_t>(count), handles, wait.waitAll,
                                    UserTimeout(wait.timeout));
}

int64_t MultipleWaitResult(uint32_t waited, bool waitAll) {
  if (waited == os::WAIT_TIMEOUT || waited == os::WAIT_FAILED) return kTimedOut;
  return waitAll ? kEnded : static_cast<int64_t>(waited - os::WAIT_OBJECT_0);
}

}  // namespace

int64_t QDBaseSystem::WaitThreadObject(QDZorThreadContext& thread, int64_t timeout,
                                       QDDriverThreadContext& ctx) {
  foundation::CError error;
  if (timeout != 0) {
    LLsysObjectControl(handles_, thread.KernelObjectId(), kernel::kObjectTimeout,
                       static_cast<uint64_t>(timeout), error, &ctx);
  }
  // Only an error of the wait itself is withdrawn below.
  const bool heldBefore = ctx.ErrorCode() != 0;
  foundation::CError waitError;
  const auto answer = static_cast<int64_t>(LLsysObjectInquire(
      handles_, thread.KernelObjectId(), kernel::kObjectWaitIdle, waitError, &ctx));
  foundation::CError restoreError;
  LLsysObjectControl(handles_, thread.KernelObjectId(), kernel::kObjectTimeout,
                     static_cast<uint64_t>(thread.TimeoutMilliseconds()), restoreError, &ctx);
  if (waitError.errorSet != 0 && answer != kEnded) {
    if (!heldBefore) ctx.SetError(0, 0, 0, 0);
    return kTimedOut;
  }
  return kEnded;
}

int64_t QDBaseSystem::WaitEvent(const CEventInfo& event, int64_t kind, int64_t timeout,
                                QDDriverThreadContext& ctx) {
  kernel::ThreadWaitRequest record{};
  foundation::CError error;
  record.header = FreshHeader(error);
  const uint64_t contextId = CallerKernelId(ctx);
  record.header.objectId = contextId;
  record.eventId = event.kernelEventId_;
  record.kind = kind == kWaitKindBlocking ? kernel::kWaitBlocking : kernel::kWaitNonBlocking;
  record.timeout = KernelTimeout(timeout);
  LLsysRequest(handles_, kernel::kThreadWait, record, error, &ctx);
  int64_t result = static_cast<int64_t>(record.result);
  if (record.kind == kernel::kWaitInUserMode) {
    const uint32_t waited =
        os::WaitForSingleObject(os::HandleFromValue(record.eventHandle), UserTimeout(timeout));
    LLsysEventWaitEnd(handles_, contextId, error, &ctx);
    result = waited == os::WAIT_OBJECT_0 ? kEnded : kTimedOut;
  }
  return kind == kWaitKindNonBlocking ? kNotWaited : result;
}

int64_t QDBaseSystem::ThreadWait(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t word = args.Int(1);
  auto* out = args.Pointer<int64_t>(2);
  const int64_t kind = word & kWaitKindMask;
  const int64_t timeout = word & kWaitTimeMask;
  const Target target = FindTarget(args.Int(0), ctx);
  int64_t result = 32;
  if (kind == kWaitKindThread && target.kind == ObjectKind::kThread) {
    result = WaitThreadObject(*target.thread, timeout, ctx);
  } else if ((kind == kWaitKindBlocking || kind == kWaitKindNonBlocking) &&
             target.kind == ObjectKind::kEvent) {
    result = WaitEvent(*target.event, kind, timeout, ctx);
  } else if (kind == kWaitKindThread || kind == kWaitKindBlocking || kind == kWaitKindNonBlocking) {
    // The kind names an object of another type.
    ctx.SetError(kInvalidSystemParameter, 3, 0, 0);
  } else {
    ctx.SetError(kInvalidControl, 1, 0, 0);
  }
  if (out != nullptr) *out = result;
  return 1;
}

bool QDBaseSystem::CollectWaitEvents(const int64_t* ids, int64_t count,
                                     kernel::ThreadWaitMultipleRequest& record,
                                     QDDriverThreadContext& ctx) const {
  if (count < 0 || count > static_cast<int64_t>(kernel::kMaxWaitEvents)) {
    ctx.SetError(kEventWaitError, 3, 0, 0);
    return false;
  }
  for (int64_t i = 0; i < count; ++i) {
    const Target target = ids != nullptr ? FindTarget(ids[i], ctx) : Target{};
    if (target.kind != ObjectKind::kEvent) {
      ctx.SetError(kInvalidSystemParameter, 3, 0, 0);
      return false;
    }
    record.eventIds[i] = target.event->kernelEventId_;
  }
  return true;
}

int64_t QDBaseSystem::SendWaitMultiple(kernel::ThreadWaitMultipleRequest& record, int64_t count,
                                       int64_t word, QDDriverThreadContext& ctx) {
  const MultipleWaitWord wait = DecodeMultipleWaitWord(word);
  foundation::CError error;
  record.header = FreshHeader(error);
  const uint64_t contextId = CallerKernelId(ctx);
  record.header.objectId = contextId;
  record.count = static_cast<int32_t>(count);
  record.waitAll = wait.waitAll ? 1 : 0;
  record.kind = wait.kind == kWaitKindBlocking ? kernel::kWaitBlocking : kernel::kWaitNonBlocking;
  record.timeout = KernelTimeout(wait.timeout);
  LLsysRequest(handles_, kernel::kThreadWaitMultiple, record, error, &ctx);
  if (error.errorSet != 0 || record.kind != kernel::kWaitInUserMode || count == 0) {
    return static_cast<int64_t>(record.result);
  }
  const uint32_t waited = WaitOnReturnedHandles(record, count, wait);
  LLsysEventWaitEnd(handles_, contextId, error, &ctx);
  return MultipleWaitResult(waited, wait.waitAll);
}

int64_t QDBaseSystem::ThreadWaitMultiple(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t count = args.Int(1);
  const int64_t word = args.Int(2);
  auto* out = args.Pointer<int64_t>(3);
  const bool heldBefore = ctx.ErrorCode() != 0;
  kernel::ThreadWaitMultipleRequest record{};
  if (!CollectWaitEvents(args.Pointer<const int64_t>(0), count, record, ctx)) return 1;
  // An error held from before the call lets a wait of any kind through.
  const int64_t kind = DecodeMultipleWaitWord(word).kind;
  if (!heldBefore && kind != kWaitKindBlocking && kind != kWaitKindNonBlocking) {
    ctx.SetError(kInvalidControl, 1, 0, 0);
    return 1;
  }
  const int64_t result = SendWaitMultiple(record, count, word, ctx);
  if (out != nullptr) *out = kind == kWaitKindNonBlocking ? kNotWaited : result;
  return 1;
}

}  // namespace zor::frame
