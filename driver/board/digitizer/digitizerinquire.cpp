// The board system's digitizer inquire: what the driver answers from the
// digitizer's record, and what it asks of the board.
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/digitizer/strips.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/digitizertypes.h"
#include "driver/frameworkuser/protocol/fixedanswers.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/protocol/typeclasses.h"

namespace zor::board {

namespace {

using errorcode::kInvalidCameraFlag;
using errorcode::kInvalidInquire;
using namespace protocol;

// Answered with 0 and refused.
constexpr int64_t kRefusedWritingZero = 1102;

// Types the board answers with a fixed value; the host's, with no public name.
constexpr FixedAnswer kFixedAnswers[] = {
    Single(4069, 0), Single(4226, 0), Single(4062, 1), Single(4063, 1),
    Single(4064, 1), Single(4065, 1), Single(4068, 1), Single(4070, 1),
    Single(4227, 1), Single(4020, 1), Single(4427, 1),
};

using foundation::InAnyRange;

// Bits 40 to 43 of a type: flags of the host's that change nothing of what the type asks.
constexpr int64_t kHostFlagBits = 0xF0000000000;

// The reference pair, whatever channel bits and the given further bits ride on it.
bool IsReferencePair(int64_t t, int64_t furtherBits) {
  const int64_t bare = t & ~(kChannelBits | furtherBits);
  return bare == kReferencePairFirst || bare == kReferencePairSecond;
}

// Inquiries the digitizer refuses: the host's own types, the systems' hook-support types and the
// reference pair (with bit 16, which has no name).
bool Refused(int64_t t) {
  return InAnyRange(t, kHostOnlyDigitizerTypes) || InAnyRange(t, kRefusedInquireRuns) ||
         t == Q_DIGITIZER_HOOK_SUPPORT || t == Q_SYSTEM_HOOK_SUPPORT ||
         IsReferencePair(t, kBoardBit | 0x10000);
}

// The board's answers that the host takes as doubles, whatever flags ride on the type: the
// reference pair (with bits 16 and 17, which have no name) and the host's double types.
bool IsDoubleAnswer(int64_t t) {
  const int64_t flags = kHostFlagBits | kCameraBit | kBoardBit;
  const int64_t bare = t & ~flags;
  return InAnyRange(bare, kDigitizerDoubleClasses) || bare == kDigitizerDoubleType ||
         IsReferencePair(t, flags | 0x30000) ||
         (t & ~(flags | kFlaggedDigitizerDoubleBits)) == kFlaggedDigitizerDouble;
}

bool AnswerWord(void* out, int64_t value) {
  if (out != nullptr) *static_cast<int64_t*>(out) = value;
  return true;
}

bool AnswerDouble(void* out, double value) {
  if (out != nullptr) *static_cast<double*>(out) = value;
  return true;
}

// What the kernel's property block of the digitizer's channel says; false for anything else.
bool AnswerFromProperties(const kernel::DigPropertiesBlock& p, int64_t t, void* out) {
  switch (t) {
    case Q_NUMBER:
      return AnswerWord(out, static_cast<int64_t>(p.channel));
    case kInitFlag:
    case Q_EXTENDED_INIT_FLAG:
      return AnswerWord(out, static_cast<int64_t>(p.inputMode));
    case Q_SIZE_X:
      return AnswerWord(out, static_cast<int64_t>(p.maxWidth));
    case Q_SIZE_Y:
      return AnswerWord(out, static_cast<int64_t>(p.maxHeight));
    case Q_SIZE_BIT:
    case Q_TYPE:
      return AnswerWord(out, static_cast<int64_t>(p.pixelDepth));
    case Q_SIZE_BAND:
      return AnswerWord(out, static_cast<int64_t>(p.bandCount));
    case Q_SIZE_BAND_LUT:
      return AnswerWord(out, static_cast<int64_t>(p.lutBandCount));
    case Q_DECIMATION_X:
      return AnswerDouble(out, p.decimationX);
    case Q_DECIMATION_Y:
      return AnswerDouble(out, p.decimationY);
    case Q_DECIMATION_FACTOR_X:
      return AnswerDouble(out, 1.0 / p.decimationX);
    case Q_DECIMATION_FACTOR_Y:
      return AnswerDouble(out, 1.0 / p.decimationY);
    case Q_GRAB_MODE:
      return AnswerWord(out, static_cast<int64_t>(p.grabMode));
    case kGrabModeWord:
      return AnswerWord(out, static_cast<int64_t>(p.grabModeWord));
    case Q_GRAB_FIELD_NUM:
      return AnswerWord(out, static_cast<int64_t>(p.fieldNum));
    case Q_SCAN_MODE:
      return AnswerWord(out, p.fieldNum == 1 ? 1 : 0);
    case Q_BAND_SWITCH:
      return AnswerWord(out, static_cast<int64_t>(p.bandSwitch));
    case Q_BAND_SWITCH_STATE:
      return AnswerWord(out, p.bandSwitch == 1 ? Q_ENABLE : Q_DISABLE);
    default:
      return false;
  }
}

// The settings the digitizer's record holds; false for a type it does not hold.
bool AnswerFromRecord(QDHwSpecDigitizerInfo& digitizer, int64_t t, void* out) {
  if (AnswerFromProperties(digitizer.CopyProperties(), t, out)) return true;
  switch (t) {
    case Q_SOURCE_SIZE_X:
      return AnswerWord(out, digitizer.GetSourceSizeX());
    case Q_SOURCE_SIZE_Y:
      return AnswerWord(out, digitizer.GetSourceSizeY());
    case Q_SOURCE_OFFSET_X:
      return AnswerWord(out, digitizer.GetSourceOffsetX());
    case Q_SOURCE_OFFSET_Y:
      return AnswerWord(out, digitizer.GetSourceOffsetY());
    case Q_GRAB_DIRECTION_X:
      return AnswerWord(out, digitizer.GetGrabDirectionX());
    case Q_GRAB_DIRECTION_Y:
      return AnswerWord(out, digitizer.GetGrabDirectionY());
    case Q_GRAB_PERIOD:
      return AnswerWord(out, digitizer.GetGrabPeriod());
    case Q_GRAB_TIMEOUT:
      return AnswerWord(out, digitizer.GetGrabTimeout());
    case Q_GRAB_START_MODE:
      return AnswerWord(out, digitizer.GetGrabStartMode());
    case Q_CONTROL_FLAG_MODE:
      return AnswerWord(out, digitizer.GetControlFlagMode());
    default:
      return false;
  }
}

}  // namespace

int64_t QDHwSpecSystem::DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t type = args.Int(1);
  void* out = args.Pointer<void>(2);
  if ((type & kCameraBit) != 0) {
    ctx.SetError(kInvalidCameraFlag, (type & kBoardBit) != 0 ? 1 : 2, 0, 0);
    return 1;
  }
  const int64_t t = type & ~kBoardBit;
  auto* integer = static_cast<int64_t*>(out);
  auto* real = static_cast<double*>(out);
  const auto answer = [&](int64_t v) {
    if (integer != nullptr) *integer = v;
    return 1;
  };
  const auto answerDouble = [&](double v) {
    if (real != nullptr) *real = v;
    return 1;
  };
  if (t == kRefusedWritingZero) {
    answer(0);
    ctx.SetError(kInvalidInquire, 1, 0, 0);
    return 1;
  }
  if (Refused(t)) {
    ctx.SetError(kInvalidInquire, 1, 0, 0);
    return 1;
  }
  if (const FixedAnswer* fixed = FindFixedAnswer(kFixedAnswers, t)) return answer(fixed->answer);
  switch (t) {
    case Q_GC_NODEMAP_PTR:
      // The GenICam layer's node map of the digitizer, when it has one.
      return answer(DigitizerNodeMapAddress(args.Int(0)));
    case kDeviceIdentity:
      if (out != nullptr) {
        const std::wstring identity = DigitizerIdentity(*digitizer, ctx);
        std::wmemcpy(static_cast<wchar_t*>(out), identity.c_str(), identity.size() + 1);
      }
      return 1;
    case kDeviceIdentity + Q_STRING_SIZE:
      return answer(static_cast<int64_t>(DigitizerIdentity(*digitizer, ctx).size()) + 1);
    case kDecimationSupportedX:
    case kDecimationSupportedY:
      return answerDouble(real != nullptr && IsSupportedDecimation(*real) ? 1.0 : 0.0);
    case Q_FORMAT:
      if (out != nullptr) {
        const std::wstring& name = digitizer->DcfName();
        std::wmemcpy(static_cast<wchar_t*>(out), name.c_str(), name.size() + 1);
      }
      return 1;
    case Q_FORMAT + Q_STRING_SIZE:
      return answer(static_cast<int64_t>(digitizer->DcfName().size()) + 1);
    default:
      if (AnswerFromRecord(*digitizer, t, out)) return 1;
      return InquireBoardDigitizer(*digitizer, t, out, args, ctx);
  }
}

int64_t QDHwSpecSystem::InquireBoardDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t type,
                                              void* out, const OperationArgs& args,
                                              QDDriverThreadContext& ctx) {
  const bool heldBefore = GetPendingError(ctx) != 0;
  foundation::CError error;
  kernel::DigChannelRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.record = digitizer.CopyChannelBlock();
  request.type = static_cast<uint64_t>(type);
  frame::LLsysRequest(handles_, kernel::kDigInquire, request, error, &ctx);
  if (frame::NotServedByKernel(request.header) && !heldBefore) {
    return FallBack([&] { return QDGeniCamDeviceSystem::DigInquire(args, ctx); }, error, ctx);
  }
  if (error.errorSet == 0 && out != nullptr) {
    if (IsDoubleAnswer(type)) {
      *static_cast<double*>(out) = static_cast<double>(static_cast<int64_t>(request.value));
    } else {
      *static_cast<int64_t*>(out) = static_cast<int64_t>(request.value);
    }
  }
  return 1;
}

std::wstring QDHwSpecSystem::DigitizerIdentity(QDHwSpecDigitizerInfo& digitizer,
                                               QDDriverThreadContext& ctx) {
  foundation::CError error;
  kernel::DigChannelRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.record = digitizer.CopyChannelBlock();
  request.type = kernel::kDigIdentity;
  frame::LLsysRequest(handles_, kernel::kDigInquire, request, error, &ctx);
  if (error.errorSet != 0 || request.value == 0) return std::wstring();
  wchar_t text[24];
  std::swprintf(text, std::size(text), L"DLYN-%012llX",
                static_cast<unsigned long long>(request.value));
  return text;
}

}  // namespace zor::board
