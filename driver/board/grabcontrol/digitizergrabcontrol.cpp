// The digitizer operations that go to the grab-control library when it is
// there: continuous grab, halt, grab abort and the host's digitizer control.
#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/grabcontrol/grabcontrolbinding.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "platform/host/qtypes.h"

namespace zor::board {

GrabControlBinding& QDHwSpecSystem::GetGrabControlBinding(QDHwSpecDigitizerInfo& digitizer) {
  frame::ChannelGuard lock(digitizer);
  if (digitizer.Binding() == nullptr) {
    auto binding = std::make_unique<GrabControlBinding>();
    binding->Load(digitizer.GetIndex(), *this, digitizer.GetHostId(), HostObjectId());
    digitizer.SetBinding(std::move(binding));
  }
  return *digitizer.Binding();
}

int64_t QDHwSpecSystem::GrabControlInquire(frame::QDDigitizerInfo& digitizer) {
  // Every digitizer record of this system is the board's own.
  return GetGrabControlBinding(static_cast<QDHwSpecDigitizerInfo&>(digitizer))
      .Inquire(grabcontrol::kLibraryInquire);
}

int64_t QDHwSpecSystem::LoadGrabControlInquire() { return GrabControlBinding::ProbeInquire(); }

int64_t QDHwSpecSystem::DigGrabContinuous(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  std::shared_ptr<frame::QDBufferInfo> buffer = FindBuffer(args.Int(1));
  int64_t hostBuffer = 0;
  if (buffer != nullptr) {
    hostBuffer =
        buffer->State().associatedHostId != 0 ? buffer->State().associatedHostId : buffer->HostId();
  }
  GetGrabControlBinding(*digitizer).GrabContinuous(hostBuffer, args.Int(2), ctx);
  return 1;
}

int64_t QDHwSpecSystem::DigHalt(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  GetGrabControlBinding(*digitizer).Halt(args.Int(1), ctx);
  // What the attached object's stop records is not the halt's error.
  const bool clean = ctx.ErrorCode() == 0;
  if (TellAttachedOfStop(*digitizer, ctx) && clean) ctx.SetError(0, 0, 0, 0);
  return 1;
}

int64_t QDHwSpecSystem::DigGrabAbort(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  GetGrabControlBinding(*digitizer).GrabAbort(args.Double(1), args.Int(2), ctx);
  return 1;
}

int64_t QDHwSpecSystem::DigControlEntry(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t type = args.Int(1);
  if (type == Q_HOST_OBJECT_ID) {
    DigControl(args, ctx);
    return 1;
  }
  const frame::ValueRecord value = args.Value(2);
  GetGrabControlBinding(*digitizer).Control(type, value.value, value.kind, ctx);
  return 1;
}

}  // namespace zor::board
