// The board system's grab processing: the request is checked, the
// digitizer's handler made on first use, and the run started, stopped or
// waited for.
#include <optional>
#include <vector>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/process/cdigprocesshdler.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/thread.h"

namespace zor::board {
namespace {

constexpr int64_t kCountShift = 5;
constexpr int64_t kUnboundedCount = 0x7FFFFFF;
using errorcode::kAcquisitionFailed;
using errorcode::kInvalidGrabParameter;
using errorcode::kInvalidOperationFlag;
using errorcode::kSystemAllocationError;
constexpr int32_t kProcessObjectKind = 254;
constexpr uint64_t kStopFollower = 0x20000;
constexpr int64_t kAttachedStop = 6928;
// The function a run's errors are reported under when no command is there to fail.
constexpr const wchar_t* kProcessFunctionName = L"QdigProcess";

std::vector<frame::ProcessBufferEntry> CopyProcessBuffers(const int64_t* ids, int64_t count) {
  std::vector<frame::ProcessBufferEntry> buffers;
  for (int64_t i = 0; ids != nullptr && i < count; ++i) {
    frame::ProcessBufferEntry entry;
    entry.hostBuffer = ids[i];
    buffers.push_back(entry);
  }
  return buffers;
}

}  // namespace

CDigProcessHdler* QDHwSpecSystem::StartDigProcess(QDHwSpecDigitizerInfo& digitizer,
                                                  QDDriverThreadContext& ctx) {
  foundation::CError error;
  const uint64_t object = frame::LLsysObjectAlloc(handles_, kProcessObjectKind, error, &ctx);
  if (object == 0) {
    ctx.SetError(kSystemAllocationError, 2, 0, 0);
    return nullptr;
  }
  digitizer.SetProcessHandler(std::make_unique<CDigProcessHdler>(*this, digitizer, object));
  return digitizer.ProcessHandler();
}

void QDHwSpecSystem::StopProcessing(QDHwSpecDigitizerInfo& digitizer, QDDriverThreadContext* ctx) {
  CDigProcessHdler* handler = digitizer.ProcessHandler();
  if (handler == nullptr) return;
  {
    foundation::ScopedLock lock(handler->Lock());
    if (handler->Active() || handler->Pending()) handler->Halt(0);
    const foundation::CError error = handler->Stop(ctx, false);
    if (ctx != nullptr) {
      error.Report(*ctx);
    } else {
      frame::ReportThreadError(kProcessFunctionName, error);
    }
  }
  handler->WaitForDeliveries();
}

void QDHwSpecSystem::TellProcessOfDrop(const QDHwSpecDigitizerInfo& digitizer) {
  if (CDigProcessHdler* handler = digitizer.ProcessHandler()) handler->OnGrabsDropped();
}

void QDHwSpecSystem::EndProcessAfterFailure(QDHwSpecDigitizerInfo& digitizer,
                                            CDigProcessHdler& handler) {
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  if (driver == nullptr) return;
  // The delivering thread runs no command: the stop records on a context of its own.
  QDDriverThreadContext ctx(*driver, os::GetCurrentThreadId());
  bool inHookThread = false;
  StopDigProcess(digitizer, handler, Q_STOP, inHookThread, ctx);
  if ((handler.Flags() & Q_SYNCHRONOUS) != 0) handler.SignalEnd();
  frame::ReportHeldError(kProcessFunctionName, ctx);
}

void QDHwSpecSystem::TakeFunctionFailure(CDigProcessHdler& handler, QDDriverThreadContext& ctx) {
  const std::optional<frame::EscapedException> failure = handler.TakeFailure();
  if (!failure.has_value()) return;
  if (ctx.ErrorCode() == 0) {
    frame::RecordHookFailure(ctx, *failure);
  } else {
    frame::ReportHookFailure(*failure);
  }
}

int64_t QDHwSpecSystem::SysFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  // The board stops writing into the buffers before they go with the system.
  for (int64_t index = 1; index < digitizers_.Size(); ++index) {
    if (auto digitizer = FindDigitizer(index)) {
      StopProcessing(*digitizer, nullptr);
      DigStopGrab(index, ctx);
    }
  }
  return QDGeniCamDeviceSystem::SysFree(args, ctx);
}

bool QDHwSpecSystem::TellAttachedOfStop(QDHwSpecDigitizerInfo& digitizer,
                                        QDDriverThreadContext& ctx) {
  const frame::QDDigitizerInfo::AttachedObject* attached = digitizer.GetAttachedObject();
  if (attached == nullptr || attached->ObjectType() != kStopFollower) return false;
  OperationArgs control;
  control.Push(digitizer.GetIndex());
  control.Push(kAttachedStop);
  control.Push(Q_DEFAULT);
  DigControl(control, ctx);
  return true;
}

void QDHwSpecSystem::StopDigProcess(QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler,
                                    int64_t operation, bool& inHookThread,
                                    QDDriverThreadContext& ctx) {
  handler.SetOperation(operation);
  handler.PrepareStop();
  const bool wait = (operation & Q_WAIT) != 0;
  inHookThread = IsInHookThread(kDigitizerHookBase + static_cast<uint64_t>(digitizer.GetIndex()));
  // A stop waits for the grabs on the board at most the process time-out: the halt below ends
  // the run whether they ended or not, so the wait's outcome is no error of the stop.
  if (wait && !inHookThread) static_cast<void>(handler.WaitForEnd(digitizer.GetProcessTimeout()));
  TellAttachedOfStop(digitizer, ctx);
  {
    foundation::ScopedLock lock(handler.Lock());
    handler.Halt(0);
    if (!wait && !inHookThread) {
      static_cast<void>(handler.WaitForEnd(digitizer.GetProcessTimeout()));
    }
    const foundation::CError error = handler.Stop(&ctx, false);
    digitizer.OnDigProcessStopped();
    error.Report(ctx);
  }
  handler.WaitForDeliveries();
}

int64_t QDHwSpecSystem::DigProcess(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t count = args.Int(2);
  std::vector<frame::ProcessBufferEntry> buffers =
      CopyProcessBuffers(args.Pointer<const int64_t>(1), count);
  ProcessRun run{args.Int(3), args.Int(4)};
  if (!CheckProcessRequest(run, ctx)) return 1;

  if ((run.operation & (Q_START | Q_START_SEQUENCE)) == 0) {
    CDigProcessHdler* handler = digitizer->ProcessHandler();
    if ((run.operation & Q_STOP) == 0 || handler == nullptr) return 1;
    bool inHookThread = false;
    StopDigProcess(*digitizer, *handler, run.operation, inHookThread, ctx);
    // A synchronous starter waits for this run's end.
    if (inHookThread && (handler->Flags() & Q_SYNCHRONOUS) != 0) handler->SignalEnd();
    return 1;
  }
  if (!PlanProcessStart(*digitizer, run, count, ctx)) return 1;

  CDigProcessHdler* handler = nullptr;
  {
    frame::ChannelGuard channel(*digitizer);
    handler = digitizer->ProcessHandler();
    if (handler == nullptr) handler = StartDigProcess(*digitizer, ctx);
  }
  if (handler == nullptr || ctx.ErrorCode() != 0) return 1;

  {
    // The check that no run is active and the start are one step: another thread's start
    // finds the run active.
    foundation::ScopedLock lock(handler->Lock());
    const std::optional<bool> flagged = CheckProcessBuffers(*digitizer, *handler, buffers, ctx);
    if (!flagged.has_value()) return 1;
    StartProcessHandler(*digitizer, *handler, buffers, *flagged, run, ctx);
  }
  if (ctx.ErrorCode() != 0) {
    handler->WaitForDeliveries();
    TakeFunctionFailure(*handler, ctx);
    return 1;
  }
  if ((run.flag & Q_SYNCHRONOUS) != 0) WaitForProcessEnd(*digitizer, *handler, ctx);
  return 1;
}

bool QDHwSpecSystem::CheckProcessRequest(ProcessRun& run, QDDriverThreadContext& ctx) {
  const int64_t operation = run.operation;
  int64_t& flag = run.flag;
  if (operation == 6 || operation == 10) {
    ctx.SetError(kInvalidOperationFlag, 1, 0, 0);
    return false;
  }
  const bool firstGrabTrigger = flag == Q_TRIGGER_FOR_FIRST_GRAB ||
                                flag == (Q_SYNCHRONOUS | Q_TRIGGER_FOR_FIRST_GRAB) ||
                                flag == (Q_ASYNCHRONOUS | Q_TRIGGER_FOR_FIRST_GRAB);
  if (flag == Q_TRIGGER_FOR_FIRST_GRAB) {
    if ((operation & Q_START) != 0) {
      flag = Q_ASYNCHRONOUS | Q_TRIGGER_FOR_FIRST_GRAB;
    } else if ((operation & Q_START_SEQUENCE) != 0) {
      flag = Q_SYNCHRONOUS | Q_TRIGGER_FOR_FIRST_GRAB;
    }
  } else if (!firstGrabTrigger && flag != Q_SYNCHRONOUS && flag != Q_ASYNCHRONOUS &&
             flag != Q_DEFAULT) {
    ctx.SetError(kInvalidOperationFlag, 2, 0, 0);
    return false;
  }
  return true;
}

bool QDHwSpecSystem::PlanProcessStart(QDHwSpecDigitizerInfo& digitizer, ProcessRun& run,
                                      int64_t count, QDDriverThreadContext& ctx) {
  const int64_t operation = run.operation;
  int64_t& flag = run.flag;
  int64_t& frames = run.frames;
  if ((operation & Q_START_SEQUENCE) != 0) {
    frames = operation >> kCountShift;
    if (frames == 0) frames = count;
    if (flag == Q_DEFAULT) flag = Q_SYNCHRONOUS;
    return true;
  }
  if ((operation & ~int64_t{Q_START}) != 0 && (flag & Q_TRIGGER_FOR_FIRST_GRAB) == 0) {
    ctx.SetError(kInvalidOperationFlag, 1, 0, 0);
    return false;
  }
  if (flag == Q_DEFAULT) flag = Q_ASYNCHRONOUS;
  if ((flag & Q_TRIGGER_FOR_FIRST_GRAB) != 0) {
    frames = operation >> kCountShift;
    if (frames == kUnboundedCount) frames = -1;
    const foundation::CError prepared = digitizer.PrepareProcess(1, frames);
    if (prepared.errorSet != 0) {
      prepared.Report(ctx);
      return false;
    }
  }
  return true;
}

std::optional<bool> QDHwSpecSystem::CheckProcessBuffers(
    QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler,
    const std::vector<frame::ProcessBufferEntry>& buffers, QDDriverThreadContext& ctx) {
  if (handler.Active()) {
    ctx.SetError(kInvalidGrabParameter, 4, 0, 0);
    return std::nullopt;
  }
  foundation::CError invalid;
  digitizer.SetProcessBuffers(buffers);
  digitizer.ValidateProcessBuffers(invalid);
  if (invalid.errorSet != 0) {
    invalid.Report(ctx);
    return std::nullopt;
  }
  if (buffers.empty()) {
    ctx.SetError(kInvalidGrabParameter, 3, 0, 0);
    return std::nullopt;
  }
  bool flagged = false;
  for (const frame::ProcessBufferEntry& entry : buffers) {
    QINT64 driverIndex = 0;
    HostBufInquire(entry.hostBuffer, Q_DRIVER_INDEX, &driverIndex);
    // The window the digitizer grabs must fit its camera frame.
    if (CheckDigSourceWindow(digitizer.GetIndex()) == -1) {
      if (ctx.ErrorCode() == 0) ctx.SetError(kInvalidGrabParameter, 3, 0, 0);
      return std::nullopt;
    }
    if (!flagged) flagged = CheckProcessBuffer(driverIndex) != 0;
  }
  return flagged;
}

void QDHwSpecSystem::StartProcessHandler(QDHwSpecDigitizerInfo& digitizer,
                                         CDigProcessHdler& handler,
                                         const std::vector<frame::ProcessBufferEntry>& buffers,
                                         bool flagged, const ProcessRun& run,
                                         QDDriverThreadContext& ctx) {
  if (flagged) digitizer.OnProcessBufferFlagged();
  digitizer.ClearGrabStatus();
  digitizer.Counters().frames = 0;
  handler.SetBuffers(buffers);
  foundation::CError error;
  try {
    error = handler.Start(run.operation & (Q_START | Q_START_SEQUENCE), run.flag, run.frames, 0,
                          false, &ctx);
    if (error.errorSet == 0) {
      OnDigProcessStarted(digitizer);
      if (frame::QDDigitizerInfo::AttachedObject* attached = digitizer.GetAttachedObject()) {
        attached->NotifyProcessStarted();
      }
      handler.IssueProcessRequest(error, &ctx, false);
    }
  } catch (...) {
    // What escaped is the command's error; the run it began must not stay as if it ran. The
    // stop records nothing on the command, whose error the escape is to be.
    frame::ReportThreadError(kProcessFunctionName, handler.Stop(nullptr, false));
    throw;
  }
  if (error.errorSet != 0) {
    // Nothing runs: the grabs queued so far go and the flags with them. The start's error is
    // the command's; a stop that fails too is told to the host beside it.
    const foundation::CError stopped = handler.Stop(&ctx, false);
    error.Report(ctx);
    frame::ReportThreadError(kProcessFunctionName, stopped);
  }
}

void QDHwSpecSystem::WaitForProcessEnd(QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler,
                                       QDDriverThreadContext& ctx) {
  // An unbounded run too ends at the time-out when one is set: a drop may leave it waiting.
  const int ended = handler.WaitForEnd(digitizer.GetProcessTimeout());
  if (ended == 0) ctx.SetError(kAcquisitionFailed, 1, 0, 0);
  // A processing function that threw ended the run: its failure is what the command reports.
  // After a time-out it is taken once halted: a stalled continuation holds the hook lock until
  // then.
  if (ended != 0) TakeFunctionFailure(handler, ctx);
  TellAttachedOfStop(digitizer, ctx);
  {
    foundation::ScopedLock lock(handler.Lock());
    if (ended == 0) handler.Halt(0);
    const foundation::CError error = handler.Stop(&ctx, false);
    digitizer.OnDigProcessStopped();
    error.Report(ctx);
  }
  if (ended == 0) TakeFunctionFailure(handler, ctx);
  handler.WaitForDeliveries();
}

}  // namespace zor::board
