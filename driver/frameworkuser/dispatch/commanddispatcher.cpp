// CommandDispatcher: the per-thread gate, the opcode's handler, and the command's status.
#include "driver/frameworkuser/dispatch/commanddispatcher.h"

#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/dispatch/argumentbuilder.h"
#include "driver/frameworkuser/dispatch/commandlog.h"
#include "driver/frameworkuser/dispatch/errornotice.h"
#include "driver/frameworkuser/dispatch/opcodetable.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "interfaces/hostcommand/opcodes.h"

namespace zor::frame {
namespace {

// System inquire type answered with the thread context's address.
constexpr int64_t kInquireThreadContext = 0x814;
// System control type that withdraws the held error.
constexpr int64_t kControlClearError = 0x833;

// An exception that leaves the operation is the command's error, and the command ends as any
// failed one does.
int64_t RunHandler(QDDeviceDriver& driver, const OpcodeEntry& entry,
                   const QDCommandWrapper& command, QDDriverThreadContext& ctx) {
  try {
    const OperationArgs args = BuildArguments(entry, command);
    switch (entry.route) {
      case Route::SystemAlloc:
        return driver.SystemAlloc(args, ctx);
      case Route::SystemFree:
        return driver.SystemFree(command.SystemIndex(), ctx);
      case Route::ErrorNotice:
        return ErrorNotice(args, ctx);
      case Route::DriverInquire:
        return driver.Inquire(args.Int(0), args.Int(1), args.Pointer<int64_t>(2));
      case Route::DriverControl:
        return driver.Control(args.Int(0), args.Int(1));
      case Route::ProcessAttach:
        return driver.ProcessAttachCount(args.Int(0));
      default:
        return driver.Forward(entry, SystemIndexOf(entry, command), args, ctx);
    }
  } catch (...) {
    RecordCurrentException(ctx);
    return -1;
  }
}

QDDriverThreadContext::CommandState CommandStateOf(uint32_t flags) {
  return {(flags & QD_FLAG_NO_OP) != 0 ? 2 : 0, (flags & QD_FLAG_CHECK_ARGS) != 0 ? 1 : 0,
          (flags & QD_FLAG_EXTENDED) != 0 ? int64_t{QD_FLAG_EXTENDED} : 0};
}

// The gate, and the clears of the held error. False when the command ends here with its
// status set and no handler runs.
bool PassGate(const QDCommandWrapper& command, bool outermost, QDDriverThreadContext& ctx) {
  const uint16_t opcode = command.Opcode();
  if (opcode == hostcommand::kDrvErrorNotify) return true;
  const auto current = ctx.ReadCurrent();
  if (current && (ctx.GateMask() & current->gateBits) == 0) {
    command.SetStatus(QD_STATUS_OK);
    return false;
  }
  if (outermost) ctx.SetError(0, 0, 0, 0);
  if (opcode == hostcommand::kSysControl && command.GetArgInteger(1) == kControlClearError) {
    // The host withdraws the error on purpose: nested too, where it is the outer one's.
    ctx.SetError(0, 0, 0, 0);
    command.SetStatus(QD_STATUS_OK);
    return false;
  }
  return true;
}

void RunCommand(QDDeviceDriver& driver, const QDCommandWrapper& command,
                QDDriverThreadContext& ctx) {
  const uint16_t opcode = command.Opcode();
  ctx.OnCommandStart();
  if (opcode == hostcommand::kSysInquire && command.GetArgInteger(1) == kInquireThreadContext) {
    auto** variable = reinterpret_cast<QDDriverThreadContext**>(command.GetArgInteger(2));
    if (variable != nullptr) *variable = &ctx;
    command.SetStatus(QD_STATUS_OK);
  } else if (const OpcodeEntry* entry = FindOpcodeEntry(command, ctx.Command().extended != 0)) {
    command.SetStatus(static_cast<uint16_t>(RunHandler(driver, *entry, command, ctx)));
  } else {
    command.SetStatus(QD_STATUS_UNSUPPORTED);
  }
  if (opcode != hostcommand::kSysFree) ctx.NotifySystemEnd();
}

}  // namespace

void CommandDispatcher(QDDeviceDriver& driver, const QDCommandWrapper& command,
                       QDDriverThreadContext& ctx) {
  const CommandLog log(driver, command);
  // An inner command (one the host passes back while an outer one runs on this
  // thread) must hand the outer command its own flags back.
  const QDDriverThreadContext::CommandState outer = ctx.Command();
  ctx.Command() = CommandStateOf(command.Flags());
  const bool outermost = ++ctx.Nesting() == 1;
  command.SetStatus(QD_STATUS_PENDING);
  if (PassGate(command, outermost, ctx)) RunCommand(driver, command, ctx);
  if (ctx.ErrorCode() != 0) command.SetStatus(QD_STATUS_ERROR);
  --ctx.Nesting();
  if (outermost) {
    ctx.Command().extended = 0;
  } else {
    ctx.Command() = outer;
  }
  log.End();
}

}  // namespace zor::frame
