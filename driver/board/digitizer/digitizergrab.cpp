// The board system's grabs, grab wait and stop, and the channel and reference
// settings that need a request of their own.
#include <cmath>
#include <cstddef>
#include <cstring>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/digitizer/strips.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/integerchecks.h"
#include "driver/foundation/log.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/digitizertypes.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace zor::board {

namespace {

using errorcode::kAcquisitionFailed;
using errorcode::kDigitizerChannelError;
using errorcode::kInvalidBuffer;
using errorcode::kInvalidChannel;
using errorcode::kInvalidColorReference;
using errorcode::kInvalidDigitizerParameter;
using errorcode::kInvalidGrabParameter;
using errorcode::kInvalidReference;
using frame::bufattr::kDeviceMemory;
using protocol::kBoardBit;
using protocol::kCameraBit;
using protocol::kChannelBits;
using protocol::kColourReference;
using protocol::Q_BRIGHTNESS_REF;
using protocol::Q_CONTRAST_REF;
using protocol::Q_SATURATION_REF;
constexpr int64_t kAnyChannel = 0x40000000;
constexpr int64_t kHaltGrabs = 1810;
constexpr int64_t kHaltAll = 0x1000000;
using foundation::kGrabLogCategory;

// The wait a grab reply asks for: the record's time-out, where the default
// waits without limit unless the trigger is off, which takes the time-out word.
uint32_t UserWaitTimeout(const kernel::DigChannelRecord& record) {
  const kernel::DigPropertiesBlock& p = record.properties;
  int64_t timeout = p.grabTimeout;
  if (timeout == Q_DEFAULT) {
    timeout = p.grabTriggerState != Q_ENABLE ? p.timeoutWord : -1;
  }
  return timeout < 0 || timeout > 0xFFFFFFFE ? os::INFINITE : static_cast<uint32_t>(timeout);
}

uint64_t AsksForWait(const kernel::GrabRequest& request) { return request.waitInUserMode; }
uint64_t AsksForWait(const kernel::GrabWaitRequest& request) { return request.waitFlag; }

void LogGrabWait(const foundation::CLogProvider& source, uint32_t kind) {
  foundation::CLog* log = foundation::CLog::Instance();
  if (log->IsCategoryEnabled(kGrabLogCategory)) log->WriteEvent(source, kind);
}

}  // namespace

bool QDHwSpecSystem::BuildGrabRequest(const QDHwSpecDigitizerInfo& digitizer, int64_t count,
                                      uint64_t kernelEvent, kernel::GrabRequest& request) const {
  foundation::CError error;
  request.header = frame::FreshHeader(error);
  request.header.deviceHandle = handles_.device;
  request.header.systemId = handles_.systemId;
  request.header.objectId = kernelEvent;
  request.record = digitizer.CopyChannelBlock();
  std::memset(
      &request.waitInUserMode, 0,
      offsetof(kernel::GrabRequest, buffer) - offsetof(kernel::GrabRequest, waitInUserMode));
  request.continuous = count == -1 ? 1 : 0;
  return count == -1;
}

bool QDHwSpecSystem::BuildGrabBufferRequest(int64_t buffer, const QDHwSpecDigitizerInfo& digitizer,
                                            kernel::GrabBufferPart& part, int64_t value) const {
  return BuildGrabBufferRequest(buffers_.GetAt(buffer).get(), digitizer, part, value);
}

bool QDHwSpecSystem::BuildGrabBufferRequest(const frame::QDBufferInfo* record,
                                            const QDHwSpecDigitizerInfo& digitizer,
                                            kernel::GrabBufferPart& part, int64_t value) const {
  part = {};
  if (record != nullptr) {
    part.descriptor = record->Descriptor();
    part.kernelHandle = record->GetKernelHandle();
  }
  part.value = value;
  part.kernelPresetFirst = -1;
  part.kernelPresetSecond = -1;
  const kernel::DigPropertiesBlock p = digitizer.CopyProperties();
  double decimationX = p.decimationX;
  double decimationY = p.decimationY;
  if (decimationX == -1.0 && p.maxWidth != 0) {
    decimationX = QuantizeDecimation(static_cast<double>(part.descriptor.sizeX) / p.maxWidth);
  }
  if (decimationY == -1.0 && p.maxHeight != 0) {
    decimationY = QuantizeDecimation(static_cast<double>(part.descriptor.sizeY) / p.maxHeight);
  }
  part.skipX =
      decimationX > 0 ? foundation::TruncateSaturated<uint64_t>(1.0 / decimationX - 1.0, 0) : 0;
  part.skipY =
      decimationY > 0 ? foundation::TruncateSaturated<uint64_t>(1.0 / decimationY - 1.0, 0) : 0;
  part.oneBandPerPlane = p.bandCount == 3 && p.bandSwitch == 1 ? 0 : 1;
  const bool unflipped = (part.descriptor.attributeWord & kernel::kAttributeUnflipped) != 0;
  part.flipX = p.grabDirectionX == 4 && !unflipped ? 1 : 0;
  part.flipY = p.grabDirectionY == 4 && !unflipped ? 1 : 0;
  part.bothFields = p.fieldNum == 2 ? 1 : 0;
  return record != nullptr;
}

template <typename Request>
foundation::CError QDHwSpecSystem::SendWaitingRequest(uint32_t function, Request& request,
                                                      QDDriverThreadContext& ctx) {
  frame::QDZorThreadContext* context = CallerContext(ctx);
  if (context != nullptr && context->Registration() == 0) {
    context->RegisterEvent(os::HandleFromValue(handles_.device), handles_.systemId, true);
  }
  // The board resets the event when it asks for the wait, before it can complete.
  const os::Handle event = context != nullptr ? context->Event() : os::kNullHandle;
  request.eventRegistration = context != nullptr ? context->Registration() : 0;
  request.header.deviceHandle = handles_.device;
  request.header.systemId = handles_.systemId;
  request.header.status = {};
  frame::SendKernelRequest(handles_.device, function, &request, sizeof(request), &ctx);
  if (AsksForWait(request) != 0 && event != os::kNullHandle) {
    const uint32_t waited = os::WaitForSingleObject(event, UserWaitTimeout(request.record));
    foundation::CError endError;
    frame::LLsysEventWaitEnd(handles_, CallerKernelId(ctx), endError, &ctx);
    if (waited != os::WAIT_OBJECT_0 && request.header.status.errorSet == 0) {
      request.header.status.code = kAcquisitionFailed;
      request.header.status.subCode = 1;
      request.header.status.errorSet = 1;
    }
  }
  foundation::CError error;
  frame::MergeStatus(error, request.header.status);
  return error;
}

void QDHwSpecSystem::RecoverFromTimeout(int64_t digitizer, QDDriverThreadContext& ctx) {
  foundation::CError error;
  frame::LLsysControl(handles_, CallerKernelId(ctx), kHaltGrabs, kHaltAll, error, &ctx);
  // The halt dropped the grabs of every digitizer of the system, processing runs' too.
  for (int64_t index = 1; index < digitizers_.Size(); ++index) {
    if (const std::shared_ptr<QDHwSpecDigitizerInfo> other = FindDigitizer(index)) {
      TellProcessOfDrop(*other);
    }
  }
  ControlDigitizerInteger(digitizer, kernel::kGrabAbort, Q_DEFAULT, ctx);
}

int64_t QDHwSpecSystem::DigGrab(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return GrabInto(args.Int(0), args.Int(1), args.Int(2), ctx);
}

int64_t QDHwSpecSystem::GrabInto(int64_t digitizerIndex, int64_t buffer, int64_t count,
                                 QDDriverThreadContext& ctx) {
  const std::shared_ptr<frame::QDBufferInfo> record = buffers_.GetAt(buffer);
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(digitizerIndex);
  if (digitizer == nullptr) return 1;
  const bool continuous = count == -1;
  // Built part by part below: zeroing its 4 KB first would be written over.
  kernel::GrabRequest request;
  {
    frame::ChannelGuard lock(*digitizer);
    foundation::CError error;
    if (continuous && record != nullptr &&
        (record->Descriptor().attributeWord & kDeviceMemory) != 0) {
      error.SetError(kInvalidBuffer, 1);
    }
    const kernel::DigPropertiesBlock p = digitizer->CopyProperties();
    if (p.sourceOffsetX + p.sourceWidth > digitizer->DcfWidth() ||
        p.sourceOffsetY + p.sourceHeight > digitizer->DcfHeight()) {
      error.SetError(kInvalidDigitizerParameter, 4);
    }
    error.Report(ctx);
    if (ctx.ErrorCode() != 0) return 1;
    if (continuous) {
      digitizer->SetContinuousGrab(1);
      digitizer->SetContinuousGrabBuffer(buffer);
    }
    BuildGrabRequest(*digitizer, count, CallerKernelId(ctx), request);
    BuildGrabBufferRequest(record.get(), *digitizer, request.buffer, -1);
    if (!continuous && record != nullptr && record->HostId() != 0) {
      HostBufControl(record->HostId(), Q_GRAB_STATE, 1);
    }
  }
  foundation::CError error;
  try {
    error = SendWaitingRequest(kernel::kDigGrab, request, ctx);
  } catch (...) {
    // The command fails with what escaped: no continuous grab is left to restart after a control.
    if (continuous) digitizer->SetContinuousGrab(0);
    throw;
  }
  if (error.errorSet != 0) {
    if (continuous) digitizer->SetContinuousGrab(0);
    frame::Raise(error, &ctx);
    if (error.code == kAcquisitionFailed && error.subCode == 1)
      RecoverFromTimeout(digitizerIndex, ctx);
  }
  return 1;
}

void QDHwSpecSystem::DigGrabWaitFor(int64_t digitizerIndex, uint64_t flag,
                                    QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(digitizerIndex);
  if (digitizer == nullptr) return;
  if (flag != kernel::kWaitGrabEnd && flag != kernel::kWaitNextFrame) {
    ctx.SetError(kInvalidGrabParameter, 1, 0, 0);
    return;
  }
  LogGrabWait(*this, flag == kernel::kWaitGrabEnd ? 470 : 471);
  auto request = std::make_unique<kernel::GrabWaitRequest>();
  foundation::CError ignored;
  request->header = frame::FreshHeader(ignored);
  request->record = digitizer->CopyChannelBlock();
  request->waitFlag = flag;
  // Raised directly: the request's own error is the one reported.
  frame::Raise(SendWaitingRequest(kernel::kDigGrabWait, *request, ctx), &ctx);
  if (ctx.ErrorCode() == kAcquisitionFailed && GetThreadErrorSubCode(ctx) == 1) {
    RecoverFromTimeout(digitizerIndex, ctx);
  }
  LogGrabWait(*this, 473);
}

int64_t QDHwSpecSystem::DigGrabWait(const OperationArgs& args, QDDriverThreadContext& ctx) {
  DigGrabWaitFor(args.Int(0), static_cast<uint64_t>(args.Int(1)), ctx);
  return 1;
}

int64_t QDHwSpecSystem::DigStopGrab(int64_t digitizerIndex, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(digitizerIndex);
  if (digitizer == nullptr) return 1;
  foundation::CError error;
  kernel::DigRecordRequest request{};
  request.header = frame::FreshHeader(error);
  request.record = digitizer->CopyChannelBlock();
  frame::LLsysRequest(handles_, kernel::kDigStopGrab, request, error, &ctx);
  digitizer->SetContinuousGrab(0);
  return 1;
}

int64_t QDHwSpecSystem::CheckDigSourceWindow(int64_t digitizerIndex) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(digitizerIndex);
  if (digitizer == nullptr) return -1;
  const kernel::DigPropertiesBlock p = digitizer->CopyProperties();
  const bool fits = p.sourceWidth >= 1 && p.sourceHeight >= 1 &&
                    p.sourceOffsetX + p.sourceWidth <= p.maxWidth &&
                    p.sourceOffsetY + p.sourceHeight <= p.maxHeight;
  return fits ? 1 : -1;
}

int64_t QDHwSpecSystem::DigChannel(const OperationArgs& args, QDDriverThreadContext& ctx) {
  ChannelDigitizer(args.Int(1), ctx);
  return 1;
}

void QDHwSpecSystem::ChannelDigitizer(int64_t channel, QDDriverThreadContext& ctx) {
  if ((channel & kCameraBit) != 0) {
    ctx.SetErrorText(kDigitizerChannelError, L"Q_CAMERA is not supported on this system.", nullptr,
                     nullptr);
    return;
  }
  const int64_t bare = channel & ~kBoardBit;
  if (bare != kAnyChannel && bare != Q_DEFAULT) ctx.SetError(kInvalidChannel, 1, 0, 0);
}

int64_t QDHwSpecSystem::DigReference(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  ReferenceDigitizer(*digitizer, args.Int(1), args.Double(2), ctx);
  return 1;
}

void QDHwSpecSystem::ReferenceDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t type,
                                        double level, QDDriverThreadContext& ctx) {
  frame::ChannelGuard lock(digitizer);
  if ((type & kCameraBit) != 0) {
    ctx.SetErrorText(kInvalidColorReference, L"Q_CAMERA is not supported on this system.", nullptr,
                     nullptr);
    return;
  }
  const int64_t t = type & ~kBoardBit;
  const uint64_t recordChannel = digitizer.Channel().Properties().channel;
  uint64_t channelBits = static_cast<uint64_t>(t & kChannelBits);
  if (channelBits != 0 && (channelBits & ~recordChannel) != 0) {
    ctx.SetError(kInvalidReference, 3, 0, 0);
  }
  if (channelBits == 0) channelBits = recordChannel;
  const int64_t kind = t & ~kChannelBits;
  const bool isDefault = level == static_cast<double>(Q_DEFAULT);
  if (kind < kColourReference || kind > Q_CONTRAST_REF) {
    ctx.SetError(kInvalidReference, 1, 0, 0);
  } else if (!isDefault && !(level >= 0.0 && std::trunc(level) < 256.0)) {
    // Negative levels are as invalid as those above the range.
    ctx.SetError(kInvalidReference, 2, 0, 0);
  } else if ((kind == kColourReference || kind == Q_SATURATION_REF) && digitizer.DcfBands() == 1) {
    ctx.SetError(kInvalidColorReference, 3, 0, 0);
  }
  if (ctx.ErrorCode() != 0) return;
  const uint64_t value = isDefault ? 128 : foundation::TruncateSaturated<uint64_t>(level, 0);
  foundation::CError error;
  kernel::DigReferenceRequest request{};
  request.header = frame::FreshHeader(error);
  request.record = digitizer.CopyChannelBlock();
  request.channelBits = channelBits;
  request.colourLevel = request.saturationLevel = request.brightnessLevel = request.contrastLevel =
      Q_DEFAULT;
  if (kind == kColourReference) request.colourLevel = value;
  if (kind == Q_SATURATION_REF) request.saturationLevel = value;
  if (kind == Q_BRIGHTNESS_REF) request.brightnessLevel = value;
  if (kind == Q_CONTRAST_REF) request.contrastLevel = value;
  frame::LLsysRequest(handles_, kernel::kDigReference, request, error, &ctx);
}

}  // namespace zor::board
