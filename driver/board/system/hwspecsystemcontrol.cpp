// The board's system control and I/O command.
#include <algorithm>
#include <cstring>
#include <limits>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/host/qtypes.h"
#include "platform/os/cpu/processor.h"
#include "platform/os/ui/message_box.h"

namespace zor::board {
namespace {

using errorcode::kBoardError;
using errorcode::kInvalidControl;
using errorcode::kInvalidObject;
using errorcode::kOnBoardProcessingError;
using errorcode::kOperationRefused;
using namespace protocol;

// Controls that the board takes and ignores.
constexpr int64_t kIgnoredControls[] = {2027, 2028};

bool IsIgnored(int64_t type) {
  return std::ranges::find(kIgnoredControls, type) != std::end(kIgnoredControls);
}
constexpr int64_t kBridgeUpdate = 0x20000;
constexpr int64_t kMostHookThreads = 16;
constexpr int64_t kIoOperation = 3;

OperationArgs ThreadControlArgs(int64_t type, int64_t value) {
  OperationArgs args;
  args.Push(Q_DEFAULT);
  args.Push(type);
  args.Push(value);
  return args;
}

constexpr int64_t kLongestTimeoutSeconds = std::numeric_limits<int64_t>::max() / 1000;

// Errors that leave the control's result as it was.
bool KeepsResult(int64_t code, int64_t sub) {
  return (code == kInvalidControl && (sub == 1 || sub == 3)) ||
         (code == kOnBoardProcessingError && sub == 1) || (code == kBoardError && sub == 3);
}

}  // namespace

int64_t QDHwSpecSystem::SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  const frame::ValueRecord record = args.Value(1);
  int64_t value = record.AsInteger();
  int64_t result = 1;
  switch (type) {
    case Q_HOST_OBJECT_ID:
      SetHostObjectId(value);
      CreateOwnNodeMaps(value);
      break;
    case Q_TIMEOUT:
      // Seconds here, milliseconds for the kernel: more seconds than those can hold are refused.
      if (value < -1 || value > kLongestTimeoutSeconds) {
        ctx.SetError(kInvalidControl, 3, 0, 0);
        break;
      }
      if (value == Q_DEFAULT) value = frame::SettingWord(settings_, kernel::kSettingThreadTimeout);
      ThreadControl(ThreadControlArgs(Q_TIMEOUT, value == -1 ? -1 : value * 1000), ctx);
      break;
    case kThreadWordFirst:
    case kThreadWordSecond:
    case kThreadLastEvent:
      ThreadControl(ThreadControlArgs(type, value), ctx);
      break;
    case kGrabModuleFirmware:
      if (value == kBridgeUpdate) {
        foundation::CError error;
        frame::LLsysControl(handles_, CallerKernelId(ctx), kGrabModuleFirmware, kBridgeUpdate,
                            error, &ctx);
        if (error.errorSet == 0) {
          os::MessageBox(
              L"Bridge HINT has been Updated, please POWER-DOWN and power up your system.",
              L"DravionLyn Bridge Update", os::MB_OK);
        }
      } else {
        RunFirmwareCheck(value).Report(ctx);
      }
      break;
    case Q_BOARD_SERIAL_WORD: {
      auto word = static_cast<uint32_t>(value);
      IoCommand(kernel::kIoWrite, kernel::kIoSerialNumberAddress, 4, &word, ctx);
      break;
    }
    case Q_MODIFIED_BUFFER_HOOK_THREAD_NUM:
      SetHookThreads(value, ctx);
      break;
    default:
      if (!IsIgnored(type)) result = ControlBoard(type, args, value, ctx);
      break;
  }
  if (ctx.ErrorCode() != 0 && result != -1 &&
      !KeepsResult(ctx.ErrorCode(), GetThreadErrorSubCode(ctx))) {
    result = 2;
  }
  return result;
}

int64_t QDHwSpecSystem::ControlBoard(int64_t type, const OperationArgs& args, int64_t value,
                                     QDDriverThreadContext& ctx) {
  const bool heldBefore = GetPendingError(ctx) != 0;
  foundation::CError error;
  const kernel::SysControlRequest reply =
      frame::LLsysControl(handles_, CallerKernelId(ctx), static_cast<uint64_t>(type),
                          static_cast<uint64_t>(value), error, &ctx);
  if (frame::NotServedByKernel(reply.header) && !heldBefore) {
    return FallBack([&] { return QDGeniCamDeviceSystem::SysControl(args, ctx); }, error, ctx);
  }
  return 1;
}

int64_t QDHwSpecSystem::SetHookThreads(int64_t value, QDDriverThreadContext& ctx) {
  if (ctx.ErrorCode() == kInvalidControl && GetThreadErrorSubCode(ctx) == 1) {
    ctx.SetError(0, 0, 0, 0);
  }
  int64_t digitizers = 0;
  OperationArgs inquire;
  inquire.Push(Q_DIGITIZER_ALLOCATED_NUM);
  inquire.Push(reinterpret_cast<intptr_t>(&digitizers));
  QDDeviceSystem::SysInquire(inquire, ctx);
  if (digitizers != 0) {
    ctx.SetError(kOperationRefused, 2, 0, 0);
    return 1;
  }
  if (value == kSingleHookThread || value == Q_DEFAULT) {
    foundation::CError ignored;
    while (UserHook().ActiveCount(kernel::kHookBufferModified) > 1) {
      UserHook().Stop(kernel::kHookBufferModified, ignored);
    }
    systemEventHookThreads_ = 1;
    systemEventHookMode_ = kSingleHookThread;
    systemEventHookFlag_ = false;
    return 1;
  }
  if ((value & kSeveralHookThreads) == 0) {
    ctx.SetError(kInvalidControl, 3, 0, 0);
    return 1;
  }
  const auto processors = static_cast<int64_t>(os::GetProcessorCount());
  int64_t wanted = value & ~int64_t{kSeveralHookThreads | kBeyondProcessors};
  if (wanted == 0) wanted = std::min(processors, kMostHookThreads);
  // More threads than the system's events could keep busy are refused.
  const bool allowed =
      ((value & kBeyondProcessors) != 0 || wanted <= processors) && wanted <= kMostHookThreads;
  if (!allowed) {
    ctx.SetError(kInvalidControl, 3, 0, 0);
    return 1;
  }
  const auto running = static_cast<int64_t>(UserHook().ActiveCount(kernel::kHookBufferModified));
  StartHookThreads(kernel::kHookBufferModified, wanted - running, ctx);
  if (wanted > systemEventHookThreads_) systemEventHookThreads_ = wanted;
  systemEventHookMode_ = kSeveralHookThreads;
  systemEventHookFlag_ = true;
  return 1;
}

void QDHwSpecSystem::IoCommand(uint32_t direction, uint32_t address, uint32_t count, void* data,
                               QDDriverThreadContext& ctx) {
  if (count > kernel::kIoMaxBytes || data == nullptr) return;
  if (direction != kernel::kIoRead && direction != kernel::kIoWrite) return;
  kernel::SysIoRequest record{};
  foundation::CError error;
  record.header = frame::FreshHeader(error);
  record.direction = direction;
  record.address = address;
  record.count = count;
  if (direction == kernel::kIoWrite) std::memcpy(record.data, data, count);
  frame::LLsysIoCommand(handles_, record, &ctx);
  if (direction == kernel::kIoRead && record.header.status.errorSet == 0) {
    std::memcpy(data, record.data, count);
  }
}

int64_t QDHwSpecSystem::SysIoCommand(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t operation = args.Int(3);
  const int64_t direction = args.Int(4);
  const int64_t address = args.Int(5);
  const int64_t count = args.Int(6);
  if (operation != kIoOperation) {
    ctx.SetError(kInvalidObject, 2, 0, 0);
    return 1;
  }
  // A negative count is no small count.
  if (count < 0 || count > static_cast<int64_t>(kernel::kIoMaxBytes) || address < 0 ||
      address > UINT32_MAX) {
    return 1;
  }
  IoCommand(static_cast<uint32_t>(direction), static_cast<uint32_t>(address),
            static_cast<uint32_t>(count), args.Pointer<void>(7), ctx);
  return 1;
}

}  // namespace zor::board
