// The board system's digitizer control: the values the driver keeps, the
// checks of each, and the controls the board or the GenICam layer serve.
#include <cmath>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/digitizer/strips.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/digitizertypes.h"
#include "driver/frameworkuser/protocol/genicamtypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/protocol/typeclasses.h"
#include "platform/host/qtypes.h"

namespace zor::board {

namespace {

constexpr int64_t kForceBoard = 0x800000000000000;
using errorcode::kDigitizerChannelError;
using errorcode::kInvalidCameraFlag;
using errorcode::kInvalidControl;
using namespace protocol;

using foundation::InAnyRange;
using foundation::InRange;

// Controls the digitizer refuses: the host's own types, the systems' hook-support types and the
// first type of the GenICam layer's features.
bool Refused(int64_t t) {
  return InAnyRange(t, kHostBlockedControls) || InAnyRange(t, kHostOnlyDigitizerTypes) ||
         t == Q_DIGITIZER_HOOK_SUPPORT || t == Q_SYSTEM_HOOK_SUPPORT || t == kFeatureTypesFirst;
}

// The channel control and its variants.
bool IsChannelControl(int64_t t) {
  return t >= Q_CHANNEL && t <= Q_CHANNEL + 3 * kChannelVariantStep &&
         (t - Q_CHANNEL) % kChannelVariantStep == 0;
}

// Controls during which a continuous grab goes on.
bool KeepsGrabRunning(int64_t t, int64_t value) {
  if (InAnyRange(t, kGrabKeepingControls) || t == Q_SOURCE_SIZE_Y || t == kernel::kGrabAbort ||
      t == Q_GRAB_MODE) {
    return true;
  }
  const bool trigger = t == Q_GRAB_TRIGGER_STATE || t == Q_GRAB_TRIGGER_SOFTWARE ||
                       InAnyRange(t, kGrabKeepingTriggers);
  return trigger && value == 1;
}

// The reference levels and pairs, whatever channel bits they carry (and, on a pair, bits 16 and
// 17, which have no name).
bool IsReferenceControl(int64_t t) {
  const int64_t pair = t & ~(kChannelBits | 0x30000);
  return pair == kReferencePairFirst || pair == kReferencePairSecond ||
         InRange(t & ~kChannelBits, kColourReference, Q_CONTRAST_REF);
}

// What a control of one of the settings the driver keeps without the board came to.
enum class DriverSetting { kNotOne, kStored, kInvalid };

DriverSetting StoreDriverSetting(QDHwSpecDigitizerInfo& digitizer, int64_t t,
                                 const frame::ValueRecord& record) {
  const int64_t value = record.AsInteger();
  const auto store = [](bool valid, auto&& apply) {
    if (!valid) return DriverSetting::kInvalid;
    apply();
    return DriverSetting::kStored;
  };
  // The settings the block holds change under its lock.
  const auto change = [&digitizer](auto&& apply) { digitizer.ChangeProperties(apply); };
  const kernel::DigPropertiesBlock p = digitizer.CopyProperties();
  const int64_t width = static_cast<int64_t>(p.maxWidth);
  const int64_t height = static_cast<int64_t>(p.maxHeight);
  switch (t) {
    case kDecimation:
    case Q_DECIMATION_X:
    case Q_DECIMATION_Y: {
      const double factor = record.AsDouble();
      return store(IsSupportedDecimation(factor), [&] {
        change([&](kernel::DigPropertiesBlock& q) {
          if (t != Q_DECIMATION_Y) q.decimationX = factor;
          if (t != Q_DECIMATION_X) q.decimationY = factor;
        });
      });
    }
    case Q_GRAB_TIMEOUT:
      return store(value != 0, [&] { digitizer.SetGrabTimeout(value); });
    case Q_SOURCE_OFFSET_X:
      return store(InRange(value, 0, width - 2), [&] { digitizer.SetSourceOffsetX(value); });
    case Q_SOURCE_OFFSET_Y:
      return store(InRange(value, 0, height - 2), [&] { digitizer.SetSourceOffsetY(value); });
    case Q_SOURCE_SIZE_X:
      return store(InRange(value, 2, width), [&] { digitizer.SetSourceSizeX(value); });
    case Q_SOURCE_SIZE_Y:
      return store(InRange(value, 2, height), [&] { digitizer.SetSourceSizeY(value); });
    case Q_GRAB_MODE: {
      const int64_t mode = value == Q_DEFAULT ? 1 : value;
      return store(InRange(mode, 1, 3), [&] {
        change([&](kernel::DigPropertiesBlock& q) { q.grabMode = static_cast<uint64_t>(mode); });
      });
    }
    case Q_CONTROL_FLAG_MODE: {
      const int64_t mode = value == Q_DEFAULT ? 0x4000000 : value;
      return store(mode == 10 || mode == 0x4000000, [&] { digitizer.SetControlFlagMode(mode); });
    }
    case Q_BAND_SWITCH:
      return store(value == 0 || value == 1, [&] {
        change([&](kernel::DigPropertiesBlock& q) { q.bandSwitch = static_cast<uint64_t>(value); });
      });
    case Q_BAND_SWITCH_STATE:
      return store(value == Q_DISABLE || value == Q_ENABLE || value == Q_DEFAULT, [&] {
        change([&](kernel::DigPropertiesBlock& q) { q.bandSwitch = value == Q_DISABLE ? 0 : 1; });
      });
    default:
      return DriverSetting::kNotOne;
  }
}

// Stores what a control that also goes to the board sets, and settles the type and value the
// board is sent; false when the value is not one the type takes.
bool StoreBoardSetting(QDHwSpecDigitizerInfo& digitizer, int64_t& t, int64_t& value) {
  switch (t) {
    case Q_GRAB_TRIGGER_SOFTWARE:
      if (value != 1) return false;
      t = Q_GRAB_TRIGGER_STATE;
      return true;
    case Q_GRAB_FIELD_NUM:
      if (value == Q_DEFAULT) value = 2;
      if (value != 1 && value != 2) return false;
      digitizer.ChangeProperties(
          [value](kernel::DigPropertiesBlock& p) { p.fieldNum = static_cast<uint64_t>(value); });
      return true;
    case Q_GRAB_START_MODE:
      if (value == Q_DEFAULT) value = 21;
      if (!InRange(value, 20, 22)) return false;
      digitizer.SetGrabStartMode(value);
      return true;
    case Q_GRAB_DIRECTION_X:
    case Q_GRAB_DIRECTION_Y:
      if (value == Q_DEFAULT) value = 1;
      if (value != 1 && value != 4) return false;
      if (t == Q_GRAB_DIRECTION_X) {
        digitizer.SetGrabDirectionX(value);
      } else {
        digitizer.SetGrabDirectionY(value);
      }
      return true;
    case Q_GRAB_TRIGGER_SOURCE:
      return value == 0 || value == 0x10000 || value == 0x10000000;
    case Q_GRAB_TRIGGER_STATE:
      if (value != 1) digitizer.SetGrabTriggerState(value);
      return true;
    default:
      return true;
  }
}

void RecordInvalidValue(QDDriverThreadContext& ctx) { ctx.SetError(kInvalidControl, 3, 0, 0); }

}  // namespace

void QDHwSpecSystem::ControlDigitizerInteger(int64_t digitizer, int64_t type, int64_t value,
                                             QDDriverThreadContext& ctx) {
  OperationArgs args;
  args.Push(digitizer);
  args.Push(type);
  args.Push(frame::ValueRecord{value, frame::kValueInteger});
  DigControl(args, ctx);
}

int64_t QDHwSpecSystem::DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t callerType = args.Int(1);
  if ((callerType & kCameraBit) != 0) {
    ctx.SetError(kInvalidCameraFlag, (callerType & kBoardBit) != 0 ? 1 : 2, 0, 0);
    return 1;
  }
  const int64_t t = callerType & ~(kBoardBit | kForceBoard);
  const int64_t value = args.Value(2).AsInteger();
  // Q_HOST_OBJECT_ID names a digitizer still being allocated, which no other thread reaches yet;
  // its node maps are built then, and a map's lock must never be taken under the channel lock.
  frame::ChannelLock channel(*digitizer, std::defer_lock);
  if (!(t == kernel::kGrabAbort || t == Q_HOST_OBJECT_ID ||
        ((t == Q_GRAB_TRIGGER_STATE || t == Q_GRAB_TRIGGER_SOFTWARE) && value == 1))) {
    channel.lock();
  }
  const int64_t index = digitizer->GetIndex();
  bool restart = false;
  const int64_t buffer = digitizer->ContinuousGrabBuffer();
  if (digitizer->ContinuousGrab() && !KeepsGrabRunning(t, value)) {
    DigStopGrab(index, ctx);
    if (ctx.ErrorCode() != 0) ctx.SetError(0, 0, 0, 0);
    restart = true;
  }
  ControlDigitizer(*digitizer, callerType, t, args, ctx, channel);
  // The abort dropped a processing run's grabs too.
  if (t == kernel::kGrabAbort) TellProcessOfDrop(*digitizer);
  if (restart && ctx.ErrorCode() == 0) GrabInto(index, buffer, -1, ctx);
  return 1;
}

void QDHwSpecSystem::ControlDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t callerType,
                                      int64_t t, const OperationArgs& args,
                                      QDDriverThreadContext& ctx, frame::ChannelLock& channel) {
  if (Refused(t)) {
    ctx.SetError(kInvalidControl, 1, 0, 0);
    return;
  }
  const frame::ValueRecord record = args.Value(2);
  int64_t value = record.AsInteger();
  if ((t & ~kChannelBits) == kChannelLevel) {
    if (!InRange(value, 0, 255) && value != Q_DEFAULT) return RecordInvalidValue(ctx);
    if ((t & kChannelBits & ~int64_t{0x40000000}) != 0) {
      ctx.SetError(kDigitizerChannelError, 1, 0, 0);
      return;
    }
    t = kChannelLevel;
  } else if (IsReferenceControl(t)) {
    return ReferenceDigitizer(digitizer, t, record.AsDouble(), ctx);
  } else if (IsChannelControl(t)) {
    return ChannelDigitizer(value == Q_DEFAULT ? value : value | (t - Q_CHANNEL), ctx);
  } else if (const DriverSetting kept = StoreDriverSetting(digitizer, t, record);
             kept != DriverSetting::kNotOne) {
    if (kept == DriverSetting::kInvalid) RecordInvalidValue(ctx);
    return;
  } else if (!StoreBoardSetting(digitizer, t, value)) {
    return RecordInvalidValue(ctx);
  }
  SendDigitizerControl(digitizer, callerType, t, value, args, ctx, channel);
}

void QDHwSpecSystem::SendDigitizerControl(QDHwSpecDigitizerInfo& digitizer, int64_t callerType,
                                          int64_t t, int64_t value, const OperationArgs& args,
                                          QDDriverThreadContext& ctx, frame::ChannelLock& channel) {
  // What the board leaves to the user-mode layers goes to the GenICam layer with the caller's
  // own type and value.
  const bool heldBefore = GetPendingError(ctx) != 0;
  foundation::CError error;
  kernel::DigChannelRequest request{};
  request.header = frame::FreshHeader(error);
  request.record = digitizer.CopyChannelBlock();
  request.type = static_cast<uint64_t>(t);
  if (digitizer.GetControlFlagMode() == 10 || (callerType & kForceBoard) != 0) {
    request.type |= kernel::kForceBoardBit;
  }
  request.value = static_cast<uint64_t>(value);
  frame::LLsysRequest(handles_, kernel::kDigControl, request, error, &ctx);
  if (!frame::NotServedByKernel(request.header) || heldBefore) return;
  // The GenICam layer calls into node maps, whose register accesses come back into this road
  // and take the channel lock under the map's lock (and the feature browser's publisher waits
  // for client requests that need it): the layer runs outside the channel lock and takes it
  // itself where it touches the digitizer's record.
  const bool release = channel.owns_lock();
  if (release) channel.unlock();
  FallBack([&] { return QDGeniCamDeviceSystem::DigControl(args, ctx); }, error, ctx);
  if (release) channel.lock();
}

}  // namespace zor::board
