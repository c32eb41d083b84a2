// The board's system hooks and their hook information. The hook threads that
// deliver the events come with the board's hook object.
#include <type_traits>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/eventinfotypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/host/hostservices.h"
#include "platform/host/qtypes.h"

namespace zor::board {
namespace {

using errorcode::kInvalidHookInfo;
using errorcode::kSystemOperationError;
using protocol::kNoInformation;

// The system's hook types with no public name, and the device-event type each hook's thread
// waits for; any other hook element waits for kOtherHookEvent.
struct SystemHook {
  int64_t hookType;
  uint64_t eventType;
};
constexpr SystemHook kSystemHooks[] = {{protocol::kSystemEventHookSecond, 0x40000000},
                                       {protocol::kSystemEventHookThird, 0x21000000}};
constexpr uint64_t kOtherHookEvent = 0x20000000;

uint64_t SystemEventType(int64_t hookType) {
  for (const SystemHook& hook : kSystemHooks) {
    if (hook.hookType == hookType) return hook.eventType;
  }
  return kOtherHookEvent;
}

}  // namespace

frame::CSingleHook* QDHwSpecSystem::HookElement(int64_t type) {
  for (frame::CSingleHook& element : hooks_) {
    if (element.HookType() == type) return &element;
  }
  return nullptr;
}

int64_t QDHwSpecSystem::SysHookFunction(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t requested = args.Int(0);
  const bool unhook = (requested & Q_UNHOOK) != 0;
  const int64_t type = requested & ~Q_UNHOOK;
  // Serial-port hooks (17 with the port in bits 16 to 23): the port's receive thread calls them.
  if (frame::IsSerialHookType(requested)) {
    serialPorts_
        .Hook(requested, reinterpret_cast<frame::UartHookFunction>(args.Int(1)),
              args.Pointer<void>(2))
        .Report(ctx);
    return 1;
  }
  frame::CSingleHook* element = HookElement(type);
  if (element == nullptr) {
    ctx.SetError(kSystemOperationError, 1, 0, 0);
    return 1;
  }
  foundation::ScopedLock lock(digitizerHookLock_);
  const QHOOK_FUNCTION function =
      unhook ? nullptr : args.Pointer<std::remove_pointer_t<QHOOK_FUNCTION>>(1);
  const bool running = ReplaceHook(*element, function, unhook ? nullptr : args.Pointer<void>(2));
  foundation::CError error;
  frame::LLsysControl(handles_, CallerKernelId(ctx), static_cast<uint64_t>(type),
                      static_cast<uint64_t>(unhook ? Q_DISABLE : Q_ENABLE), error, &ctx);
  // One thread per system hook type, however often it is hooked.
  foundation::CError threadError;
  if (!unhook && !running) {
    UserHook().Start(SystemEventType(type), this, element, HostObjectId(), threadError);
  } else if (unhook && running) {
    UserHook().Stop(SystemEventType(type), threadError);
  }
  threadError.Report(ctx);
  return 1;
}

bool QDHwSpecSystem::ReplaceHook(frame::CSingleHook& element, QHOOK_FUNCTION function, void* user) {
  const bool running = element.Function() != nullptr;
  element.Set(function, user);
  return running;
}

void QDHwSpecSystem::StartBufferModifiedThread(QDDriverThreadContext& ctx) {
  foundation::ScopedLock lock(bufferModifiedStartLock_);
  StartBufferModifiedThreadOnce(ctx);
}

void QDHwSpecSystem::StartBufferModifiedThreadOnce(QDDriverThreadContext& ctx) {
  if (UserHook().ActiveCount(kernel::kHookBufferModified) != 0) return;
  // Its first request is pending before the buffer or digitizer exists, so the
  // board keeps the first event.
  foundation::CError error;
  UserHook().Start(kernel::kHookBufferModified, this, &bufModifiedHook_, HostObjectId(), error);
  error.Report(ctx);
}

int64_t QDHwSpecSystem::BufAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  StartBufferModifiedThread(ctx);
  return QDDeviceSystem::BufAlloc(args, ctx);
}

int64_t QDHwSpecSystem::SysGetHookInfo(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t event = args.Int(0);
  const int64_t infoType = args.Int(1);
  auto* out = args.Pointer<int64_t>(2);
  auto* flag = args.Pointer<int64_t>(3);
  const auto* record = reinterpret_cast<const kernel::BoardEventPayload*>(
      HostInternalInquire(event, Q_DRIVER_DATA, nullptr));
  if (record == nullptr) {
    if (flag != nullptr) *flag = kNoInformation;
    return 1;
  }
  int64_t word = 0;
  if (infoType == protocol::kEventIoSource) {
    word = static_cast<int64_t>(record->ioSource);
  } else if (infoType == protocol::kEventIoState || infoType == protocol::kEventIoStateAlias) {
    word = static_cast<int64_t>(record->ioState);
  } else {
    if (flag != nullptr) *flag = kNoInformation;
    ctx.SetError(kInvalidHookInfo, 1, 0, 0);
    return 1;
  }
  if (word == -1) {
    if (flag != nullptr) *flag = kNoInformation;
    ctx.SetError(kInvalidHookInfo, 2, 0, 0);
    return 1;
  }
  if (out != nullptr) *out = word;
  return 1;
}

}  // namespace zor::board
