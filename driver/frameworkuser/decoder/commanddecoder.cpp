// QDDravionLynCommandDecoder: the exported entry that takes each host command to the dispatcher.
#include "driver/frameworkuser/decoder/commanddecoder.h"

#include "driver/foundation/timestamp.h"
#include "driver/frameworkuser/command/commandwrapper.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/dispatch/commanddispatcher.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/timing/opcodetiming.h"
#include "interfaces/hostcommand/opcodes.h"

using zor::foundation::GetTimeStamp;

using zor::frame::CQDDeviceDriverWrapper;
using zor::frame::QDCommandWrapper;
using zor::frame::QDDeviceDriver;
using zor::frame::QDDriverThreadContext;

namespace {

// The dispatcher hands the thread's command state back as it ends and catches what escapes
// an operation; should anything leave it even so, the state is put back here, or the thread's
// next command would count as a nested one, and the escape is the command's error.
void Dispatch(QDDeviceDriver& driver, const QDCommandWrapper& command, QDDriverThreadContext& ctx) {
  const int64_t nesting = ctx.Nesting();
  const QDDriverThreadContext::CommandState state = ctx.Command();
  try {
    zor::frame::CommandDispatcher(driver, command, ctx);
  } catch (...) {
    ctx.Nesting() = nesting;
    ctx.Command() = state;
    zor::frame::RecordCurrentException(ctx);
    command.SetStatus(QD_STATUS_ERROR);
  }
}

// What escaped the command before it reached the dispatcher becomes its error on the calling
// thread's context. Without a driver the command fails as when none can be made; without a
// context only the status tells: QD_STATUS_PENDING, the dispatcher's "not handled yet", which
// the host takes for a command that the driver did not carry out. QD_STATUS_ERROR would send the
// host asking for an error that no context holds, and QD_STATUS_UNSUPPORTED would call the opcode
// unsupported. The host still hears what escaped.
void FailCommand(const QDCommandWrapper& command, QDDeviceDriver* driver,
                 QDDriverThreadContext* ctx) noexcept {
  const zor::frame::EscapedException escaped = zor::frame::DescribeCurrentException();
  try {
    if (driver == nullptr) return command.SetStatus(QD_STATUS_UNSUPPORTED);
    if (ctx == nullptr) ctx = driver->CallingThreadContext();
    if (ctx == nullptr) {
      zor::frame::ReportException(L"QDDravionLynCommandDecoder", escaped);
      return command.SetStatus(QD_STATUS_PENDING);
    }
    // Outside any command the thread still holds the error of its last one.
    if (ctx->Nesting() == 0) ctx->SetError(0, 0, 0, 0);
    zor::frame::RecordException(*ctx, escaped);
    command.SetStatus(QD_STATUS_ERROR);
  } catch (...) {
    // Recording the error failed: the command was not carried out, and no error tells why.
    command.SetStatus(QD_STATUS_PENDING);
  }
}

}  // namespace

extern "C" void QDDravionLynCommandDecoder(QDCommandRecord* record) noexcept {
  // No record, nowhere to answer: a caller's slip must not become the driver's crash.
  if (record == nullptr) return;
  // The counter is read only for the statistics: it costs as much as a short command.
  const bool timed = zor::frame::TimingStatisticsOn();
  const uint64_t start = timed ? GetTimeStamp() : 0;
  QDCommandWrapper command(record);
  const uint16_t opcode = command.Opcode();
  QDDeviceDriver* driver = nullptr;
  QDDriverThreadContext* ctx = nullptr;
  // Nothing leaves the entry: the host library, and the application behind it, would end.
  try {
    driver = CQDDeviceDriverWrapper::Instance().GetDriver();
    if (driver != nullptr) {
      const int64_t systemIndex = opcode == zor::hostcommand::kSysAlloc ? 0 : command.SystemIndex();
      if (opcode == zor::hostcommand::kDrvThreadEnd) {
        driver->FreeThreadContext(systemIndex);
        return;
      }
      ctx = driver->GetThreadContext(systemIndex);
      if (ctx != nullptr) Dispatch(*driver, command, *ctx);
    } else {
      command.SetStatus(QD_STATUS_UNSUPPORTED);
    }
    if (timed) zor::frame::RecordOpcodeTiming(opcode, start, GetTimeStamp());
  } catch (...) {
    FailCommand(command, driver, ctx);
  }
}
