// The device layer's own digitizer control and inquire: the settings every
// device system keeps, which the board and the GenICam layer fall back to.
#include <array>
#include <bit>
#include <cwchar>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "interfaces/kernel/deviceevent.h"

namespace zor::frame {
namespace {

using errorcode::kInvalidControl;
using errorcode::kInvalidInquire;
constexpr int64_t kEnabledValue = -9997;
constexpr int64_t kDisabledValue = -9999;
constexpr int64_t kEndTrigger = 2038;
constexpr int64_t kTriggerState = 4200;
constexpr int64_t kTriggerSource = 4053;
constexpr int64_t kSourceOfSource = 1;
constexpr int64_t kTriggerSourceReached = 0x10000;
constexpr int64_t kPendingGrabs = 6926;

bool In(int64_t value, int64_t first, int64_t last) { return value >= first && value <= last; }

int64_t IntegerOf(const ValueRecord& record) {
  return record.kind == kValueDouble ? static_cast<int64_t>(std::bit_cast<double>(record.value))
                                     : record.value;
}

bool EnabledOrDisabled(int64_t value) { return value == kEnabledValue || value == kDisabledValue; }

// Frames the board counted over the seconds its counter measured; 0 before the
// board gave a counter frequency.
double MeasuredFrameRate(const std::array<uint64_t, 8>& status) {
  const uint64_t frequency = status[kernel::kStatusCounterFrequency];
  const uint64_t ticks = status[kernel::kStatusElapsedTicks];
  if (frequency == 0 || ticks == 0) return 0.0;
  return static_cast<double>(status[kernel::kStatusFramesCounted]) /
         (static_cast<double>(ticks) / static_cast<double>(frequency));
}

}  // namespace

int64_t QDDeviceSystem::DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t type = args.Int(1);
  const int64_t value = IntegerOf(args.Value(2));
  std::map<int64_t, int64_t>& kept = digitizer->KeptSettings();
  bool valid = true;
  std::lock_guard lock(*digitizer);
  std::lock_guard settingsLock(digitizer->SettingsLock());
  switch (type) {
    case 1049:
      digitizer->SetHostId(value);
      break;
    case 2034:
    case 2046:
    case 2071:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value) || value == 0;
      if (valid) kept[type] = value == Q_DEFAULT ? kEnabledValue : value;
      break;
    case 2038:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value);
      if (valid) kept[type] = value;
      break;
    case 4018:
      ctx.SetError(kInvalidControl, 1, 0, 0);
      return 0;
    case 4330:
    case 4331:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value);
      if (valid) kept[type] = value == kDisabledValue ? 1 : 0;
      break;
    case 4372:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value);
      if (valid)
        digitizer->SetProcessEnableSetting(value == kDisabledValue ? value : kEnabledValue);
      break;
    case 4375:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value) || value == 0;
      if (valid) kept[type] = value == Q_DEFAULT ? kDisabledValue : value;
      break;
    case 4376:
      valid = value >= 0;
      if (valid) kept[type] = value;
      break;
    case 4801:
      break;
    case 5351:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value);
      if (valid) digitizer->SetGrabMonitorSetting(value == kDisabledValue ? value : kEnabledValue);
      break;
    case 5364:
      valid = value == Q_DEFAULT || value == -1 || value >= 1;
      if (valid) digitizer->SetProcessTimeout(value == Q_DEFAULT ? -1 : value);
      break;
    case 6924:
      valid = value == Q_DEFAULT || EnabledOrDisabled(value);
      if (valid) digitizer->SetGrabErrorReporting(value == kDisabledValue ? value : kEnabledValue);
      break;
    default:
      ctx.SetError(kInvalidControl, 2, 0, 0);
      return 0;
  }
  if (!valid) ctx.SetError(kInvalidControl, 3, 0, 0);
  return ctx.ErrorCode() != 0 ? 0 : 1;
}

int64_t QDDeviceSystem::InquireDigitizerWord(int64_t digitizer, int64_t type,
                                             QDDriverThreadContext& ctx) {
  int64_t value = 0;
  OperationArgs inquire;
  inquire.Push(digitizer);
  inquire.Push(type);
  inquire.Push(reinterpret_cast<intptr_t>(&value));
  DigInquire(inquire, ctx);
  return value;
}

int64_t QDDeviceSystem::ResolveEndTrigger(int64_t digitizer, QDDriverThreadContext& ctx) {
  int64_t state = InquireDigitizerWord(digitizer, kTriggerState, ctx);
  int64_t source = InquireDigitizerWord(digitizer, kTriggerSource, ctx);
  if (state == kDisabledValue) return kDisabledValue;
  // A source that names another source is followed at most twice.
  for (int step = 0; step < 2 && source == kSourceOfSource; ++step) {
    state = InquireDigitizerWord(digitizer, source + 0x20000, ctx);
    source = InquireDigitizerWord(digitizer, source + 0x20064, ctx);
    if (state == kDisabledValue) return kDisabledValue;
  }
  return source == kTriggerSourceReached ? kEnabledValue : kDisabledValue;
}

int64_t QDDeviceSystem::DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t type = args.Int(1);
  auto* out = args.Pointer<int64_t>(2);
  const auto answer = [out](int64_t value) {
    if (out != nullptr) *out = value;
    return 1;
  };
  const auto answerDouble = [&args](double value) {
    if (auto* real = args.Pointer<double>(2)) *real = value;
    return 1;
  };
  const int64_t high = type >> 16;
  if (In(high, 0x40, 0x5F)) {
    const int64_t low = type & 0xFFFF;
    if (low == 6706) return answer(0);
    if (low == 1005 || low == 1008 || low == 1536 || low == 1537 || low == 6766) {
      ctx.SetError(kInvalidInquire, 1, 0, 0);
      return 1;
    }
  }
  // Not under the settings lock: the library may inquire back, the kernel is
  // asked, and the end trigger asks the system's own inquire.
  if (type == 4385) return answer(GrabControlInquire(*digitizer));
  if (type == kPendingGrabs) {
    uint64_t pending = 0;
    LLsysDigInquireValue(handles_, digitizer->Channel().Block().kernelWord1, type, pending, &ctx);
    return answer(static_cast<int64_t>(pending));
  }
  if (type == kEndTrigger) {
    int64_t stored = Q_DEFAULT;
    {
      std::lock_guard lock(digitizer->SettingsLock());
      auto it = digitizer->KeptSettings().find(type);
      if (it != digitizer->KeptSettings().end()) stored = it->second;
    }
    return answer(stored == Q_DEFAULT ? ResolveEndTrigger(args.Int(0), ctx) : stored);
  }
  std::lock_guard lock(digitizer->SettingsLock());
  std::map<int64_t, int64_t>& kept = digitizer->KeptSettings();
  const auto keptOr = [&kept](int64_t t, int64_t fallback) {
    auto it = kept.find(t);
    return it != kept.end() ? it->second : fallback;
  };
  const kernel::DigPropertiesBlock& p = digitizer->Channel().Properties();
  switch (type) {
    case 17:
      return answer(static_cast<int64_t>(p.reserved64));
    case 1102:
      return answer(p.word120);
    case 0x20000000600:
      return answer(static_cast<int64_t>(p.maxWidth));
    case 0x20000000601:
      return answer(static_cast<int64_t>(p.maxHeight));
    case 1014:
    case 1079:
    case 1081:
    case 6706:
    case 4024:
    case 4025:
    case kTriggerSource:
    case 4069:
    case 4070:
    case 4226:
    case 4364:
    case 4374:
    case 0xA400110C:
    case 0xA800110C:
      return answer(0);
    case 1080:
      return answer(-1);
    case 2034:
    case 2046:
    case 2071:
      return answer(keptOr(type, kEnabledValue));
    case 4375:
      return answer(keptOr(type, kDisabledValue));
    case 4376:
      return answer(keptOr(type, 0));
    case 4000:
    case 8096:
    case 12192:
      return answer(0x40000000);
    case 4001:
    case 4021:
    case 4068:
    case 4227:
    case 4427:
      return answer(1);
    case 4142:
      return answer(digitizer->GetGrabPeriod());
    case 4330:
    case 4331:
      return answer(keptOr(type, 0) != 0 ? kDisabledValue : kEnabledValue);
    case 4372:
      return answer(digitizer->ProcessEnableSetting());
    case 5351:
      return answer(digitizer->GrabMonitorSetting());
    case 4801:
      return answer(Q_DEFAULT);
    case 5334:
      return answer(digitizer->Counters().missed.load());
    case 5335:
      return answer(digitizer->Counters().frames.load());
    case 6925:
      return answer(static_cast<int64_t>(digitizer->GrabStatus()[kernel::kStatusFramesCounted]));
    case 6607:
      return answerDouble(MeasuredFrameRate(digitizer->GrabStatus()));
    case 5337:
      return answer(digitizer->ProcessingRunning() ? 1 : 0);
    case 5364:
      return answer(digitizer->GetProcessTimeout());
    case 6606:
      return answerDouble(digitizer->GetSelectedFrameRate());
    case 6750:
      return answer(4);
    case 6751:
      return answer(8);
    case 6924:
      return answer(digitizer->GetGrabErrorReporting());
    case 6927:
      return answer(digitizer->ProcessingRunning() ? digitizer->Counters().buffers.load() : 0);
    default:
      break;
  }
  if (In(type, 4062, 4065) || In(type, 4453, 4458) || In(type, 4465, 4467) ||
      In(type, 5900, 5949)) {
    return answer(0);
  }
  if (In(type, 5950, 5999)) return answer(1);
  if (out != nullptr) *out = 0;
  ctx.SetError(kInvalidInquire, 1, 0, 0);
  return 2;
}

}  // namespace zor::frame
