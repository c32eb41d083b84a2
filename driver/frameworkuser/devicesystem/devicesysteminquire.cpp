// The device layer's system inquire: what it answers itself, the classes it
// refuses, and everything else passed on to the host's own system object.
#include "driver/foundation/log.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/hostrefusal.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/digitizertypes.h"
#include "driver/frameworkuser/protocol/fixedanswers.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

using errorcode::kInvalidInquire;
using namespace protocol;
constexpr int64_t kFolderCharacters = 260;

bool InBlock(int64_t type, int64_t start) { return type >= start && type < start + 64; }

bool InSpecialRange(int64_t type) {
  return (type >= 0xA0080000 && type <= 0xA008000F) || type == 0x10080000;
}

bool MaskedClassIs(int64_t type, std::initializer_list<int64_t> classes) {
  const int64_t masked = type & 0xEE000000;
  for (int64_t c : classes) {
    if (masked == c) return true;
  }
  return false;
}

// The fixed answers of this layer. Types with no public name are the host's.
constexpr FixedAnswer kFixedAnswers[] = {
    Single(Q_GENICAM_AVAILABLE, 0),
    Single(Q_PROCESSOR_NUM, 0),
    Single(2029, 0),
    Single(Q_MPEG4_ENCODER_PRESENT, 0),
    Single(2113, 0),
    Single(Q_VIDEO_ENCODER_SUPPORT, 0),
    Single(2138, 0),
    Single(Q_PROCESSING_SYSTEM_NUM, 0),
    Single(Q_IO_INTERRUPT_ACTIVATION, 0),
    Single(Q_IO_COUNT, 0),
    {Q_AUX_IO_COUNT, Q_AUX_IO_COUNT_OUT, 0},
    {4465, 4467, 0},
    Single(Q_GPU_PRESENT, 0),
    Single(Q_DISPLAY_SUPPORT, 0),
    Single(Q_SERIAL_NUMBER + Q_STRING_SIZE, 0),
    Single(7707 + Q_STRING_SIZE, 0),
    Single(Q_DIGITIZER_SUPPORTED, 1),
    Single(Q_DCF_SUPPORTED, 1),
    Single(Q_GRAB_PROCESS_SUPPORTED, 1),
    {Q_DIGITIZER_HOOK_SUPPORT, Q_SYSTEM_HOOK_SUPPORT, 1},
    {Q_GRAB_TRIGGER_SUPPORT, Q_GRAB_TIMESTAMP_SUPPORT, 1},
    Single(Q_SERIAL_PORT_SUPPORT, 1),
    Single(Q_PROCESS_BUFFER_NUM_MAX, 1000),
    Single(Q_GRAB_BUFFER_NUM_MAX, 1000),
    Single(Q_BOARD_TYPE, 0x10000000),
    {Q_MEMORY_PAGING, Q_WRITE_COMBINING, Q_DISABLE},
    {Q_COMPRESSION_SUPPORT, 2131, Q_DISABLE},
    Single(Q_DMA_ON_CPU, Q_DISABLE),
    Single(Q_DRIVER_BUILD, 13952006),
    Single(Q_DRIVER_LOG_FOLDER + Q_STRING_SIZE, kFolderCharacters),
    {4453, 4458, 0},
    {4374, 4439, 0},
    {4440, 4500, 1},
};

// A fixed answer of this layer, when the type has one.
bool FixedAnswerOf(int64_t type, int64_t& answer) {
  const FixedAnswer* fixed = FindFixedAnswer(kFixedAnswers, type);
  if (fixed != nullptr) answer = fixed->answer;
  return fixed != nullptr;
}

// The number of the host system given from outside; -1 when none was given.
int64_t HostSystemNumber(int64_t id) {
  return id == 0 || id == Q_DEFAULT ? -1 : HostSysInquire(id, Q_NUMBER, nullptr);
}

// A type that the host system answers for this one.
constexpr int64_t kHostAnswered = 4508;

// Types this layer refuses, nothing written.
constexpr int64_t kRefusedFirst = 7400;
constexpr int64_t kRefusedLast = 7499;

}  // namespace

bool RefusedSystemInquire(int64_t type) {
  return MaskedClassIs(type, {0xA0000000, 0xA8000000, 0xA4000000, 0x80000000, 0xE0000000,
                              0xC0000000, 0x40000000}) ||
         InSpecialRange(type) || InBlock(type, 0x84500) || InBlock(type, 0x83500) ||
         InBlock(type, 0x85500) || InBlock(type, 0x89500);
}

bool RefusedSystemControl(int64_t type) {
  return MaskedClassIs(type, {0xA0000000, 0xA8000000, 0xA4000000, 0xE0000000, 0xC0000000}) ||
         InSpecialRange(type) || InBlock(type, 0x84500) || InBlock(type, 0x83500) ||
         InBlock(type, 0x81500) || InBlock(type, 0x85500) || InBlock(type, 0x89500);
}

int64_t QDDeviceSystem::SerialInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx) {
  const foundation::CError error = serialPorts_.Inquire(type, out);
  if (error.errorSet == 0) return 1;
  RecordSerialError(error, ctx);
  return 2;
}

int64_t QDDeviceSystem::GrabControlStateInquire() {
  const int64_t known = grabControlState_.load();
  if (known != -1) return known;
  // The list lock is held only for the look-up: the library may call back.
  std::shared_ptr<QDDigitizerInfo> first;
  for (int64_t index = 1; index < digitizers_.Size() && first == nullptr; ++index) {
    first = digitizers_.GetAt(index);
  }
  const int64_t state = first != nullptr ? GrabControlInquire(*first) : LoadGrabControlInquire();
  int64_t unknown = -1;
  grabControlState_.compare_exchange_strong(unknown, state);
  return grabControlState_.load();
}

bool QDDeviceSystem::AnswerInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx) {
  int64_t answer = 0;
  // The system's own answers come first: the fixed range around the grab-control state answers 0.
  if (AnswerFromSystem(type, answer) || FixedAnswerOf(type, answer)) {
    if (out != nullptr) *out = answer;
    return true;
  }
  return AnswerSpecialInquire(type, out, ctx);
}

bool QDDeviceSystem::AnswerFromSystem(int64_t type, int64_t& answer) {
  struct SystemAnswer {
    int64_t type;
    int64_t (*read)(QDDeviceSystem& system);
  };
  static constexpr SystemAnswer kSystemAnswers[] = {
      {kGrabControlState, [](QDDeviceSystem& s) { return s.GrabControlStateInquire(); }},
      {Q_NUMBER, [](QDDeviceSystem& s) { return s.deviceNumber_; }},
      {kInitFlag, [](QDDeviceSystem& s) { return s.InitWord(); }},
      {Q_EXTENDED_INIT_FLAG, [](QDDeviceSystem& s) { return s.InitWord(); }},
      {Q_THREAD_MODE, [](QDDeviceSystem& s) { return s.EndOfCommandMode(); }},
      {Q_DIGITIZER_NUM, [](QDDeviceSystem& s) { return s.digitizerCount_; }},
      {Q_TIMEOUT, [](QDDeviceSystem& s) { return s.ThreadTimeout(); }},
      {Q_UART_PRESENT,
       [](QDDeviceSystem& s) { return static_cast<int64_t>(s.serialPorts_.PortCount()); }},
      {Q_HOST_SYSTEM_ID, [](QDDeviceSystem& s) { return s.ExternalHostSystemId(); }},
      {Q_HOST_SYSTEM_NUMBER,
       [](QDDeviceSystem& s) { return HostSystemNumber(s.ExternalHostSystemId()); }},
      {Q_DIGITIZER_ALLOCATED_NUM, [](QDDeviceSystem& s) { return s.digitizers_.InUse() - 1; }},
      {kHostAnswered,
       [](QDDeviceSystem& s) {
         return HostSysInquire(s.GetHostSystemId(0), kHostAnswered, nullptr);
       }},
  };
  for (const SystemAnswer& entry : kSystemAnswers) {
    if (entry.type != type) continue;
    answer = entry.read(*this);
    return true;
  }
  return false;
}

bool QDDeviceSystem::AnswerSpecialInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx) {
  switch (type) {
    case Q_CURRENT_THREAD_ID: {
      OperationArgs args;
      args.Push(Q_DEFAULT);
      args.Push(Q_CURRENT_THREAD_ID);
      args.Push(reinterpret_cast<intptr_t>(out));
      ThreadInquire(args, ctx);
      return true;
    }
    case Q_BOARD_SERIAL_WORD:
    case Q_SERIAL_NUMBER:
      ctx.SetError(kInvalidInquire, 1, 0, 0);
      if (out != nullptr) *out = 0;
      return true;
    case Q_DRIVER_LOG_FOLDER:
      if (out != nullptr) {
        foundation::CLog::Instance()->GetFolder(reinterpret_cast<wchar_t*>(out), kFolderCharacters);
      }
      return true;
    default:
      if (type < kRefusedFirst || type > kRefusedLast) return false;
      ctx.SetError(kInvalidInquire, 1, 0, 0);
      return true;
  }
}

int64_t QDDeviceSystem::SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  auto* out = args.Pointer<int64_t>(1);
  if (IsSerialType(type)) return SerialInquire(type, out, ctx);
  if (RefusedSystemInquire(type)) return -1;
  if (AnswerInquire(type, out, ctx)) return 1;
  // A type that the host does not answer either is served by no layer.
  if (HostRefuses([&] { HostSysInquire(GetHostSystemId(0), type, out); })) {
    if (out != nullptr) *out = 0;
    ctx.SetError(kInvalidInquire, 1, 0, 0);
  }
  return 1;
}

}  // namespace zor::frame
