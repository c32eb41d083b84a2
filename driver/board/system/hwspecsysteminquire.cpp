// The board's system inquire: its own answers, then the kernel driver, then
// the GenICam layer for what the kernel leaves to the user-mode layers.
#include <bit>
#include <cstring>
#include <string>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/fixedanswers.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/os/text/convert.h"

namespace zor::board {
namespace {

using namespace protocol;
using errorcode::kInvalidInquire;
constexpr int64_t kNullPointer = 2;
constexpr const wchar_t* kSystemDescriptor = L"DravionLyn";
constexpr std::size_t kPerformanceBytes = 216;

// The board's fixed answers. Types with no public name are the host's.
constexpr FixedAnswer kFixedAnswers[] = {
    Single(Q_SYSTEM_TYPE, 59),
    Single(Q_ERROR_TRACE, Q_ENABLE),
    Single(2113, 1),
    Single(Q_EVENT_SUPPORT, 1),
    Single(Q_ASYNCHRONOUS_CALL_SUPPORT, 1),
    Single(0x40000000, 1),
    Single(2131, 0),
    Single(Q_GPU_PRESENT, 0),
    Single(Q_DISPLAY_SUPPORT, 0),
    Single(Q_ON_BOARD_MEMORY_SIZE, 0x8C00000),
    Single(Q_IO_COUNT, 256),
};

// A text answer, or its length (terminator included) when that was asked.
void WriteText(const std::wstring& text, bool lengthAsked, int64_t* out) {
  if (lengthAsked) {
    *out = static_cast<int64_t>(text.size() + 1);
  } else {
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
}

bool IsTextType(int64_t type) { return type == Q_SYSTEM_DESCRIPTOR || type == Q_SERIAL_NUMBER; }

// The board's name, or the text of the low-level allocation's block.
std::wstring SystemText(int64_t type, const frame::SysInfoBlock& info) {
  if (type == Q_SYSTEM_DESCRIPTOR) return kSystemDescriptor;
  const char* text = reinterpret_cast<const char*>(info.bytes + kernel::kSysInfoTextOffset);
  const std::size_t room = kernel::kSysInfoSize - kernel::kSysInfoTextOffset;
  return os::Utf8ToWide(std::string(text, strnlen(text, room)));
}

}  // namespace

// The answers that the board's state gives, a row per type.
struct QDHwSpecSystem::StateAnswers {
  using Answer = int64_t (*)(QDHwSpecSystem& system, int64_t type, QDDriverThreadContext& ctx);
  struct Row {
    int64_t type;
    Answer answer;
  };

  static int64_t DeviceHandle(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    return static_cast<int64_t>(system.handles_.device);
  }
  static int64_t KernelObject(QDHwSpecSystem& system, int64_t type, QDDriverThreadContext& ctx) {
    foundation::CError error;
    return static_cast<int64_t>(frame::LLsysObjectInquire(
        system.handles_, system.CallerKernelId(ctx), static_cast<uint64_t>(type), error, &ctx));
  }
  // The kernel keeps the time-out in milliseconds; -1 stays infinite.
  static int64_t TimeoutSeconds(QDHwSpecSystem& system, int64_t type, QDDriverThreadContext& ctx) {
    const int64_t milliseconds = KernelObject(system, type, ctx);
    return milliseconds != -1 ? milliseconds / 1000 : milliseconds;
  }
  static int64_t ChannelCount(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    return system.ChannelCount();
  }
  static int64_t EncoderBit(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    return (system.capabilityWord_ & kernel::kCapEncoder) != 0 ? 1 : 0;
  }
  static int64_t CapabilityReport(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    return static_cast<int64_t>(system.capabilityReport_);
  }
  static int64_t SerialWord(QDHwSpecSystem& system, int64_t, QDDriverThreadContext& ctx) {
    uint32_t serial = 0;
    system.IoCommand(kernel::kIoRead, kernel::kIoSerialNumberAddress, 4, &serial, ctx);
    return serial;
  }
  static int64_t FirmwareCode(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    return system.FirmwareCode();
  }
  static int64_t Revision(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    uint32_t revision = 0;
    std::memcpy(&revision, system.info_.bytes + 4, sizeof(revision));
    return revision;
  }
  static int64_t HookThreads(QDHwSpecSystem& system, int64_t, QDDriverThreadContext&) {
    return system.systemEventHookMode_ == kSingleHookThread
               ? kSingleHookThread
               : kSeveralHookThreads + system.systemEventHookThreads_;
  }

  static const Row* Find(int64_t type) {
    static constexpr Row kRows[] = {
        {kDeviceHandle, DeviceHandle},         {kSystemDeviceHandle, DeviceHandle},
        {kThreadLastEvent, KernelObject},      {Q_TIMEOUT, TimeoutSeconds},
        {Q_DIGITIZER_NUM, ChannelCount},       {Q_PROCESSOR_NUM, EncoderBit},
        {Q_MPEG4_ENCODER_PRESENT, EncoderBit}, {Q_VIDEO_ENCODER_SUPPORT, EncoderBit},
        {Q_COMPRESSION_SUPPORT, EncoderBit},   {Q_BOARD_TYPE, CapabilityReport},
        {Q_BOARD_SERIAL_WORD, SerialWord},     {Q_FIRMWARE_CODE, FirmwareCode},
        {kFirmwareCodeWord, FirmwareCode},     {Q_BOARD_REVISION, Revision},
        {kBoardRevisionWord, Revision},        {Q_MODIFIED_BUFFER_HOOK_THREAD_NUM, HookThreads},
    };
    for (const Row& row : kRows) {
      if (row.type == type) return &row;
    }
    return nullptr;
  }
};

int64_t QDHwSpecSystem::SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t requested = args.Int(0);
  const bool lengthAsked = (requested & Q_STRING_SIZE) == Q_STRING_SIZE;
  const int64_t type = lengthAsked ? requested & ~Q_STRING_SIZE : requested;
  auto* out = args.Pointer<int64_t>(1);
  if (const FixedAnswer* fixed = FindFixedAnswer(kFixedAnswers, type)) {
    if (out != nullptr) *out = fixed->answer;
    return 1;
  }
  if (const StateAnswers::Row* row = StateAnswers::Find(type)) {
    const int64_t answer = row->answer(*this, type, ctx);
    if (out != nullptr) *out = answer;
    return 1;
  }
  if (IsTextType(type)) {
    if (out == nullptr) {
      ctx.SetError(kInvalidInquire, kNullPointer, 0, 0);
      return 1;
    }
    WriteText(SystemText(type, info_), lengthAsked, out);
    return 1;
  }
  return InquireBoard(requested, type, out, ctx);
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
  } else if (IsDoubleSystemType(type)) {
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
