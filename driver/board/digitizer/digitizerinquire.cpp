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
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::board {

namespace {

constexpr int64_t kCameraBit = 0x100000000;
constexpr int64_t kBoardBit = 0x200000000;
constexpr int64_t kLengthFlag = 0x50000000000;
using errorcode::kInvalidCameraFlag;
using errorcode::kInvalidInquire;
constexpr int64_t kIdentity = 7714;

bool In(int64_t value, int64_t first, int64_t last) { return value >= first && value <= last; }

bool Refused(int64_t t) {
  if (t == 4054 || t == 4379 || t == 4380 || t == 5186 || In(t, 69555, 69559)) return true;
  for (int64_t first : {131072, 131172, 131272, 131572, 131672, 131872, 133172, 133272}) {
    if (In(t, first, first + 4)) return true;
  }
  const int64_t bare = t & ~int64_t{0x26FC10000};
  return bare == 6650 || bare == 6651;
}

bool IsDoubleAnswer(int64_t t) {
  const int64_t bare = t & ~int64_t{0xF0300000000};
  return In(bare, 6000, 6699) || In(bare, 133072, 134072) || In(bare, 0x3A000, 0x3F800) ||
         (t & ~int64_t{0xF036FC30000}) == 6650 || (t & ~int64_t{0xF036FC30000}) == 6651 ||
         (t & ~int64_t{0xF0300090000}) == 6672 || bare == 0x400000;
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
  const kernel::DigPropertiesBlock& p = digitizer->Channel().Properties();
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
  if (t == 1102) {
    answer(0);
    ctx.SetError(kInvalidInquire, 1, 0, 0);
    return 1;
  }
  if (Refused(t)) {
    ctx.SetError(kInvalidInquire, 1, 0, 0);
    return 1;
  }
  switch (t) {
    case 6906:
      // The GenICam layer's node map of the digitizer, when it has one.
      return answer(DigitizerNodeMapAddress(args.Int(0)));
    case kIdentity:
      if (out != nullptr) {
        const std::wstring identity = DigitizerIdentity(*digitizer, ctx);
        std::wmemcpy(static_cast<wchar_t*>(out), identity.c_str(), identity.size() + 1);
      }
      return 1;
    case kIdentity + kLengthFlag:
      return answer(static_cast<int64_t>(DigitizerIdentity(*digitizer, ctx).size()) + 1);
    case 4069:
    case 4226:
      return answer(0);
    case 4062:
    case 4063:
    case 4064:
    case 4065:
    case 4068:
    case 4070:
    case 4227:
    case 4020:
    case 4427:
      return answer(1);
    case 6648:
    case 6649:
      return answerDouble(real != nullptr && IsSupportedDecimation(*real) ? 1.0 : 0.0);
    case 7701:
      if (out != nullptr) {
        const std::wstring& name = digitizer->DcfName();
        std::wmemcpy(static_cast<wchar_t*>(out), name.c_str(), name.size() + 1);
      }
      return 1;
    case 7701 + kLengthFlag:
      return answer(static_cast<int64_t>(digitizer->DcfName().size()) + 1);
    case 1009:
      return answer(static_cast<int64_t>(p.channel));
    case 1012:
    case 6705:
      return answer(static_cast<int64_t>(p.inputMode));
    case 1536:
      return answer(static_cast<int64_t>(p.maxWidth));
    case 1537:
      return answer(static_cast<int64_t>(p.maxHeight));
    case 1007:
    case 1008:
      return answer(static_cast<int64_t>(p.pixelDepth));
    case 1005:
      return answer(static_cast<int64_t>(p.bandCount));
    case 1006:
      return answer(static_cast<int64_t>(p.lutBandCount));
    case 6601:
      return answerDouble(p.decimationX);
    case 6602:
      return answerDouble(p.decimationY);
    case 6604:
      return answerDouble(1.0 / p.decimationX);
    case 6605:
      return answerDouble(1.0 / p.decimationY);
    case 4016:
      return answer(static_cast<int64_t>(p.grabMode));
    case 4017:
      return answer(static_cast<int64_t>(p.word4017));
    case 4018:
      return answer(static_cast<int64_t>(p.fieldNum));
    case 4021:
      return answer(p.fieldNum == 1 ? 1 : 0);
    case 4022:
      return answer(digitizer->GetSourceSizeX());
    case 4023:
      return answer(digitizer->GetSourceSizeY());
    case 4024:
      return answer(digitizer->GetSourceOffsetX());
    case 4025:
      return answer(digitizer->GetSourceOffsetY());
    case 4230:
      return answer(digitizer->GetGrabDirectionX());
    case 4231:
      return answer(digitizer->GetGrabDirectionY());
    case 4142:
      return answer(digitizer->GetGrabPeriod());
    case 4127:
      return answer(digitizer->GetGrabTimeout());
    case 4074:
      return answer(digitizer->GetGrabStartMode());
    case 4775:
      return answer(digitizer->GetControlFlagMode());
    case 1018:
      return answer(static_cast<int64_t>(p.bandSwitch));
    case 4325:
      return answer(p.bandSwitch == 1 ? frame::kEnabled : frame::kDisabled);
    default:
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
