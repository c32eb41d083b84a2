// The board's system inquire: its own answers, then the kernel driver, then
// the GenICam layer for what the kernel leaves to the user-mode layers.
#include <bit>
#include <cstring>
#include <string>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/os/text/convert.h"

namespace zor::board {
namespace {

constexpr int64_t kStringSize = 0x50000000000;
constexpr int64_t kTypeFlagBits = 0xF0000000000;
using errorcode::kInvalidInquire;
constexpr int64_t kNullPointer = 2;
constexpr const wchar_t* kBoardName = L"DravionLyn";
constexpr std::size_t kPerformanceBytes = 216;

bool IsDoubleAnswer(int64_t type) {
  const int64_t plain = type & ~kTypeFlagBits;
  return (plain >= 7300 && plain <= 7399) || (plain >= 133072 && plain <= 134072) || plain == 5136;
}

// A text answer, or its length (terminator included) when that was asked.
void WriteText(const std::wstring& text, bool lengthAsked, int64_t* out) {
  if (lengthAsked) {
    *out = static_cast<int64_t>(text.size() + 1);
  } else {
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
}

}  // namespace

int64_t QDHwSpecSystem::SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t requested = args.Int(0);
  const bool lengthAsked = (requested & kStringSize) == kStringSize;
  const int64_t type = lengthAsked ? requested & ~kStringSize : requested;
  auto* out = args.Pointer<int64_t>(1);
  int64_t answer = 0;
  foundation::CError error;
  switch (type) {
    case 2000:
      answer = 59;
      break;
    case 1016:
    case 2024:
      answer = static_cast<int64_t>(handles_.device);
      break;
    case 1019:
    case 2077:
      answer = static_cast<int64_t>(frame::LLsysObjectInquire(
          handles_, CallerKernelId(ctx), static_cast<uint64_t>(type), error, &ctx));
      if (type == 2077 && answer != -1) answer /= 1000;
      break;
    case 2004:
      answer = ChannelCount();
      break;
    case 2006:
    case 2104:
    case 2114:
    case 2130:
      answer = (capabilityWord_ & kernel::kCapBit19) != 0 ? 1 : 0;
      break;
    case 2014:
      answer = static_cast<int64_t>(capabilityReport_);
      break;
    case 2034:
      answer = -9997;
      break;
    case 2093: {
      uint32_t serial = 0;
      IoCommand(kernel::kIoRead, kernel::kIoSerialNumberAddress, 4, &serial, ctx);
      answer = serial;
      break;
    }
    case 2113:
    case 4375:
    case 4376:
    case 0x40000000:
      answer = 1;
      break;
    case 2131:
    case 4517:
    case 4548:
      answer = 0;
      break;
    case 2134:
      answer = 0x8C00000;
      break;
    case 2155:
    case 2342:
      answer = FirmwareCode();
      break;
    case 2345:
    case 2346: {
      uint32_t revision = 0;
      std::memcpy(&revision, info_.bytes + 4, sizeof(revision));
      answer = revision;
      break;
    }
    case 2447:
      answer = systemEventHookMode_ == 8192 ? 8192 : 4096 + systemEventHookThreads_;
      break;
    case 4369:
      answer = 256;
      break;
    case 7702:
    case 7703: {
      if (out == nullptr) {
        ctx.SetError(kInvalidInquire, kNullPointer, 0, 0);
        return 1;
      }
      const char* text = reinterpret_cast<const char*>(info_.bytes + kernel::kSysInfoTextOffset);
      const std::size_t room = kernel::kSysInfoSize - kernel::kSysInfoTextOffset;
      WriteText(type == 7702 ? std::wstring(kBoardName)
                             : os::Utf8ToWide(std::string(text, strnlen(text, room))),
                lengthAsked, out);
      return 1;
    }
    default:
      return InquireBoard(requested, type, out, ctx);
  }
  if (out != nullptr) *out = answer;
  return 1;
}

int64_t QDHwSpecSystem::InquireBoard(int64_t requested, int64_t type, int64_t* out,
                                     QDDriverThreadContext& ctx) {
  const bool heldBefore = GetPendingError(ctx) != 0;
  foundation::CError error;
  kernel::SysRequest reply{};
  SystemRequest(static_cast<uint64_t>(type), error, ctx, &reply);
  if (frame::NotServedByKernel(reply.header)) {
    if (heldBefore) return 1;
    return FallBack(
        [&] {
          OperationArgs args;
          args.Push(requested);
          args.Push(reinterpret_cast<intptr_t>(out));
          return QDGeniCamDeviceSystem::SysInquire(args, ctx);
        },
        error, ctx);
  }
  if (error.errorSet != 0 || out == nullptr) return 1;
  if (type == static_cast<int64_t>(kernel::kSysRequestPerformance)) {
    std::memcpy(out, reinterpret_cast<const uint8_t*>(&reply) + 104, kPerformanceBytes);
  } else if (IsDoubleAnswer(type)) {
    *reinterpret_cast<double*>(out) = static_cast<double>(reply.value);
  } else {
    *out = static_cast<int64_t>(reply.value);
  }
  return 1;
}

int64_t QDHwSpecSystem::FallBack(const std::function<int64_t()>& layer,
                                 const foundation::CError& kernelError,
                                 QDDriverThreadContext& ctx) {
  // The kernel's "not served" is withdrawn before the layer answers, so that
  // an error the layer records itself is not withdrawn with it.
  ctx.SetError(0, 0, 0, 0);
  const int64_t result = layer();
  if (result != 1) kernelError.Report(ctx);
  return result;
}

}  // namespace zor::board
