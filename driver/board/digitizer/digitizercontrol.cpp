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
#include "platform/host/qtypes.h"

namespace zor::board {

namespace {

constexpr int64_t kForceBoard = 0x800000000000000;
using errorcode::kDigitizerChannelError;
using errorcode::kInvalidCameraFlag;
using errorcode::kInvalidControl;
using namespace protocol;

using foundation::InRange;

bool Refused(int64_t t) {
  return InRange(t, 0x20000, 0x20BB8) || t == 4054 || t == 5186 || InRange(t, 69555, 69559) ||
         t == 4379 || t == 4380 || t == 7730;
}

// The channel control and its variants.
bool IsChannelControl(int64_t t) {
  return t >= Q_CHANNEL && t <= Q_CHANNEL + 3 * kChannelVariantStep &&
         (t - Q_CHANNEL) % kChannelVariantStep == 0;
}

// Controls during which a continuous grab goes on.
bool KeepsGrabRunning(int64_t t, int64_t value) {
  if (t == 4328 || t == Q_SOURCE_SIZE_Y || t == 4360 || t == 4126 || t == kernel::kGrabAbort ||
      t == Q_GRAB_MODE) {
    return true;
  }
  const bool trigger = t == Q_GRAB_TRIGGER_STATE || t == Q_GRAB_TRIGGER_SOFTWARE ||
                       InRange(t, 0x20000, 0x20004) || InRange(t, 69745, 69749) ||
                       InRange(t, 132172, 132176);
  return trigger && value == 1;
}

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
  // 1049 names a digitizer still being allocated, which no other thread can reach yet; its node
  // maps are built then, and a map's lock must never be taken under the channel lock.
  const bool locks = !(t == kernel::kGrabAbort || t == Q_HOST_OBJECT_ID ||
                       ((t == Q_GRAB_TRIGGER_STATE || t == Q_GRAB_TRIGGER_SOFTWARE) && value == 1));
  if (locks) digitizer->Lock(0);
  const int64_t index = digitizer->GetIndex();
  bool restart = false;
  const int64_t buffer = digitizer->ContinuousGrabBuffer();
  if (digitizer->ContinuousGrab() && !KeepsGrabRunning(t, value)) {
    DigStopGrab(index, ctx);
    if (ctx.ErrorCode() != 0) ctx.SetError(0, 0, 0, 0);
    restart = true;
  }
  ControlDigitizer(*digitizer, callerType, t, args, ctx, locks);
  if (restart && ctx.ErrorCode() == 0) GrabInto(index, buffer, -1, ctx);
  if (locks) digitizer->Unlock(0);
  return 1;
}

int64_t QDHwSpecSystem::ControlDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t callerType,
                                         int64_t t, const OperationArgs& args,
                                         QDDriverThreadContext& ctx, bool channelLocked) {
  kernel::DigPropertiesBlock& p = digitizer.Channel().Properties();
  const frame::ValueRecord record = args.Value(2);
  int64_t value = record.AsInteger();
  const auto invalid = [&] {
    ctx.SetError(kInvalidControl, 3, 0, 0);
    return 1;
  };
  if (Refused(t)) {
    ctx.SetError(kInvalidControl, 1, 0, 0);
    return 1;
  }
  if ((t & ~kChannelBits) == kChannelLevel) {
    if (!InRange(value, 0, 255) && value != Q_DEFAULT) return invalid();
    if ((t & kChannelBits & ~int64_t{0x40000000}) != 0) {
      ctx.SetError(kDigitizerChannelError, 1, 0, 0);
      return 1;
    }
    t = kChannelLevel;
  } else if ((t & ~int64_t{0x6FC30000}) == kReferencePairFirst ||
             (t & ~int64_t{0x6FC30000}) == kReferencePairSecond ||
             InRange(t & ~kChannelBits, kReferenceLevelFirst, Q_CONTRAST_REF)) {
    ReferenceDigitizer(digitizer, t, record.AsDouble(), ctx);
    return 1;
  } else if (IsChannelControl(t)) {
    ChannelDigitizer(value == Q_DEFAULT ? value : value | (t - Q_CHANNEL), ctx);
    return 1;
  } else {
    switch (t) {
      case kDecimation:
      case Q_DECIMATION_X:
      case Q_DECIMATION_Y: {
        const double factor = record.AsDouble();
        if (!IsSupportedDecimation(factor)) return invalid();
        if (t != Q_DECIMATION_Y) p.decimationX = factor;
        if (t != Q_DECIMATION_X) p.decimationY = factor;
        return 1;
      }
      case Q_GRAB_TIMEOUT:
        if (value == 0) return invalid();
        digitizer.SetGrabTimeout(value);
        return 1;
      case Q_SOURCE_OFFSET_X:
        if (value < 0 || value >= static_cast<int64_t>(p.maxWidth) - 1) return invalid();
        digitizer.SetSourceOffsetX(value);
        return 1;
      case Q_SOURCE_OFFSET_Y:
        if (value < 0 || value >= static_cast<int64_t>(p.maxHeight) - 1) return invalid();
        digitizer.SetSourceOffsetY(value);
        return 1;
      case Q_SOURCE_SIZE_X:
        if (value < 2 || value > static_cast<int64_t>(p.maxWidth)) return invalid();
        digitizer.SetSourceSizeX(value);
        return 1;
      case Q_SOURCE_SIZE_Y:
        if (value < 2 || value > static_cast<int64_t>(p.maxHeight)) return invalid();
        digitizer.SetSourceSizeY(value);
        return 1;
      case Q_GRAB_MODE:
        if (value == Q_DEFAULT) value = 1;
        if (!InRange(value, 1, 3)) return invalid();
        p.grabMode = static_cast<uint64_t>(value);
        return 1;
      case Q_CONTROL_FLAG_MODE:
        if (value == Q_DEFAULT) value = 0x4000000;
        if (value != 10 && value != 0x4000000) return invalid();
        digitizer.SetControlFlagMode(value);
        return 1;
      case Q_BAND_SWITCH:
        if (value != 0 && value != 1) return invalid();
        p.bandSwitch = static_cast<uint64_t>(value);
        return 1;
      case Q_BAND_SWITCH_STATE:
        if (value != frame::kDisabled && value != frame::kEnabled && value != Q_DEFAULT) {
          return invalid();
        }
        p.bandSwitch = value == frame::kDisabled ? 0 : 1;
        return 1;
      case Q_GRAB_TRIGGER_SOFTWARE:
        if (value != 1) return invalid();
        t = Q_GRAB_TRIGGER_STATE;
        value = 1;
        break;
      case Q_GRAB_FIELD_NUM:
        if (value == Q_DEFAULT) value = 2;
        if (value != 1 && value != 2) return invalid();
        p.fieldNum = static_cast<uint64_t>(value);
        break;
      case Q_GRAB_START_MODE:
        if (value == Q_DEFAULT) value = 21;
        if (!InRange(value, 20, 22)) return invalid();
        digitizer.SetGrabStartMode(value);
        break;
      case Q_GRAB_DIRECTION_X:
      case Q_GRAB_DIRECTION_Y:
        if (value == Q_DEFAULT) value = 1;
        if (value != 1 && value != 4) return invalid();
        if (t == Q_GRAB_DIRECTION_X) {
          digitizer.SetGrabDirectionX(value);
        } else {
          digitizer.SetGrabDirectionY(value);
        }
        break;
      case Q_GRAB_TRIGGER_SOURCE:
        if (value != 0 && value != 0x10000 && value != 0x10000000) return invalid();
        break;
      case Q_GRAB_TRIGGER_STATE:
        if (value != 1) digitizer.SetGrabTriggerState(value);
        break;
      default:
        break;
    }
  }

  // Sent to the board; what it leaves to the user-mode layers goes to the
  // GenICam layer with the caller's own type and value.
  const bool heldBefore = GetPendingError(ctx) != 0;
  foundation::CError error;
  kernel::DigChannelRequest request{};
  request.header = frame::FreshHeader(error);
  request.record = digitizer.Channel().Block();
  request.type = static_cast<uint64_t>(t);
  if (digitizer.GetControlFlagMode() == 10 || (callerType & kForceBoard) != 0) {
    request.type |= kernel::kForceBoardBit;
  }
  request.value = static_cast<uint64_t>(value);
  frame::LLsysRequest(handles_, kernel::kDigControl, request, error, &ctx);
  if (frame::NotServedByKernel(request.header) && !heldBefore) {
    // The feature browser's publisher waits for client requests that need the
    // channel lock: it opens and closes outside it.
    const bool release = channelLocked && t == kFeatureBrowser;
    if (release) digitizer.Unlock(0);
    const int64_t result =
        FallBack([&] { return QDGeniCamDeviceSystem::DigControl(args, ctx); }, error, ctx);
    if (release) digitizer.Lock(0);
    return result;
  }
  return 1;
}

}  // namespace zor::board
