// The device layer's own digitizer control and inquire: the settings every
// device system keeps, which the board and the GenICam layer fall back to.
#include <bit>
#include <cwchar>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"

namespace zor::frame {
namespace {

constexpr int64_t kInvalidControl = 4307;
constexpr int64_t kInquireNotSupported = 4310;
constexpr int64_t kEnabledValue = -9997;
constexpr int64_t kDisabledValue = -9999;

bool In(int64_t value, int64_t first, int64_t last) { return value >= first && value <= last; }

int64_t IntegerOf(const ValueRecord& record) {
  return record.kind == kValueDouble ? static_cast<int64_t>(std::bit_cast<double>(record.value))
                                     : record.value;
}

bool EnabledOrDisabled(int64_t value) { return value == kEnabledValue || value == kDisabledValue; }

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
      ctx.SetError(kInquireNotSupported, 1, 0, 0);
      return 1;
    }
  }
  // Not under the settings lock: the library may inquire back.
  if (type == 4385) return answer(GrabControlInquire(*digitizer));
  std::lock_guard lock(digitizer->SettingsLock());
  std::map<int64_t, int64_t>& kept = digitizer->KeptSettings();
  const auto keptOr = [&kept](int64_t t, int64_t fallback) {
    auto it = kept.find(t);
    return it != kept.end() ? it->second : fallback;
  };
  switch (type) {
    case 1014:
    case 1079:
    case 1081:
    case 6706:
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
  if (In(type, 5900, 5949)) return answer(0);
  if (In(type, 5950, 5999)) return answer(1);
  if (out != nullptr) *out = 0;
  ctx.SetError(kInquireNotSupported, 1, 0, 0);
  return 2;
}

}  // namespace zor::frame
