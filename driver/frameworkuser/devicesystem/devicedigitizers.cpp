// The device layer's own digitizer control and inquire: the settings every
// device system keeps, which the board and the GenICam layer fall back to.
#include <array>
#include <cwchar>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/digitizertypes.h"
#include "driver/frameworkuser/protocol/fixedanswers.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/protocol/typeclasses.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "driver/frameworkuser/transport/llsysrequests.h"
#include "interfaces/kernel/deviceevent.h"

namespace zor::frame {
namespace {

using errorcode::kInvalidControl;
using errorcode::kInvalidInquire;
using namespace protocol;

// Settings the device layer keeps for the layers above it and gives no meaning of its own: the
// values each control takes, what it stores for Q_DEFAULT and what the inquire answers before
// any control. Types with no public name are the host's.
enum class Accepts { kSwitch, kSwitchOrZero, kCount, kAnyValue, kTimeout };
struct KeptSetting {
  int64_t type;
  Accepts accepts;
  int64_t forDefault;
  int64_t unset;
};
constexpr KeptSetting kKeptSettings[] = {
    {Q_GRAB_WAIT_FRAME_END, Accepts::kSwitchOrZero, Q_ENABLE, Q_ENABLE},
    {Q_GRAB_CONTINUOUS_END_TRIGGER, Accepts::kSwitch, Q_DEFAULT, Q_DEFAULT},
    {Q_LAST_GRAB_IN_TRUE_BUFFER, Accepts::kSwitchOrZero, Q_ENABLE, Q_ENABLE},
    {Q_GRAB_HALT_ON_NEXT_FIELD, Accepts::kSwitchOrZero, Q_ENABLE, Q_ENABLE},
    {4375, Accepts::kSwitchOrZero, Q_DISABLE, Q_DISABLE},
    {4376, Accepts::kCount, Q_DEFAULT, 0},
};

// A control type that is accepted and has no effect; its inquire answers Q_DEFAULT.
constexpr int64_t kIgnoredControl = 4801;

// Inquire types answered with a fixed value.
constexpr FixedAnswer kFixedAnswers[] = {
    Single(Q_SIGN, 0),
    Single(Q_GENICAM_AVAILABLE, 0),
    Single(1081, 0),
    Single(Q_SOURCE_NUMBER_OF_FRAMES, Q_INFINITE),
    Single(6706, 0),
    {Q_SOURCE_OFFSET_X, Q_SOURCE_OFFSET_Y, 0},
    Single(Q_GRAB_TRIGGER_SOURCE, 0),
    {4062, 4065, 0},
    {4069, 4070, 0},
    Single(4226, 0),
    Single(Q_IO_INTERRUPT_ACTIVATION, 0),
    Single(4374, 0),
    {4453, 4458, 0},
    {4465, 4467, 0},
    {5900, 5949, 0},
    Single(0xA400110C, 0),
    Single(0xA800110C, 0),
    Single(Q_CHANNEL, 0x40000000),
    Single(Q_CHANNEL + kChannelVariantStep, 0x40000000),
    Single(Q_CHANNEL_SYNC, 0x40000000),
    Single(Q_CHANNEL_NUM, 1),
    Single(Q_SCAN_MODE, 1),
    Single(4068, 1),
    Single(4227, 1),
    Single(4427, 1),
    {5950, 5999, 1},
    Single(kIgnoredControl, Q_DEFAULT),
    Single(6750, 4),
    Single(6751, 8),
};

// Inquire types answered with a word of the digitizer's properties.
struct PropertyAnswer {
  int64_t type;
  int64_t (*read)(const kernel::DigPropertiesBlock&);
};
constexpr PropertyAnswer kPropertyAnswers[] = {
    {17, [](const kernel::DigPropertiesBlock& p) { return static_cast<int64_t>(p.reserved64); }},
    {1102, [](const kernel::DigPropertiesBlock& p) { return p.signedWord; }},
    {kMaximumForm + Q_SIZE_X,
     [](const kernel::DigPropertiesBlock& p) { return static_cast<int64_t>(p.maxWidth); }},
    {kMaximumForm + Q_SIZE_Y,
     [](const kernel::DigPropertiesBlock& p) { return static_cast<int64_t>(p.maxHeight); }},
};

// Types whose high word (0x40 to 0x5F) carries a selector: some of them are refused.
constexpr int64_t kSelectorFirst = 0x40;
constexpr int64_t kSelectorLast = 0x5F;
constexpr int64_t kSelectedAnswersZero = 6706;
bool RefusedWithSelector(int64_t low) {
  return low == Q_SIZE_BAND || low == Q_TYPE || low == Q_SIZE_X || low == Q_SIZE_Y ||
         low == protocol::kSelectedDigitizerType;
}

// A trigger source that names another source; the source the end trigger looks for.
constexpr int64_t kSourceOfSource = 1;
constexpr int64_t kTriggerSourceReached = 0x10000;
// The state and source of a named source are inquired at these offsets from it.
constexpr int64_t kSourceStateOffset = 0x20000;
constexpr int64_t kSourceSourceOffset = 0x20064;

using foundation::InRange;

bool EnabledOrDisabled(int64_t value) { return value == Q_ENABLE || value == Q_DISABLE; }

const KeptSetting* FindKeptSetting(int64_t type) {
  for (const KeptSetting& setting : kKeptSettings) {
    if (setting.type == type) return &setting;
  }
  return nullptr;
}

bool Accepted(Accepts accepts, int64_t value) {
  switch (accepts) {
    case Accepts::kSwitch:
      return value == Q_DEFAULT || EnabledOrDisabled(value);
    case Accepts::kSwitchOrZero:
      return value == Q_DEFAULT || EnabledOrDisabled(value) || value == 0;
    case Accepts::kCount:
      return value >= 0;
    case Accepts::kAnyValue:
      return true;
    case Accepts::kTimeout:
      return value == Q_DEFAULT || value == Q_INFINITE || value >= 1;
  }
  return false;
}

// Settings the digitizer's record keeps (under the settings lock), in the form each takes.
struct RecordSetting {
  int64_t type;
  Accepts accepts;
  void (*store)(QDDigitizerInfo& digitizer, int64_t type, int64_t value);
};
int64_t EnabledUnlessDisabled(int64_t value) { return value == Q_DISABLE ? value : Q_ENABLE; }
// The record keeps whether the check is off.
void KeepCheckOff(QDDigitizerInfo& digitizer, int64_t type, int64_t value)
    ZOR_REQUIRES(digitizer.SettingsLock()) {
  digitizer.KeptSettings()[type] = value == Q_DISABLE ? 1 : 0;
}
constexpr RecordSetting kRecordSettings[] = {
    {Q_HOST_OBJECT_ID, Accepts::kAnyValue,
     [](QDDigitizerInfo& d, int64_t /*type*/, int64_t value) { d.SetHostId(value); }},
    {Q_GRAB_FIELD_CHECK, Accepts::kSwitch, KeepCheckOff},
    {Q_GRAB_LINE_CHECK, Accepts::kSwitch, KeepCheckOff},
    {Q_PROCESS_EVENTS, Accepts::kSwitch,
     [](QDDigitizerInfo& d, int64_t /*type*/, int64_t value) {
       d.SetProcessEnableSetting(EnabledUnlessDisabled(value));
     }},
    {kIgnoredControl, Accepts::kAnyValue, [](QDDigitizerInfo&, int64_t, int64_t) {}},
    {Q_PROCESS_GRAB_MONITOR, Accepts::kSwitch,
     [](QDDigitizerInfo& d, int64_t /*type*/, int64_t value) {
       d.SetGrabMonitorSetting(EnabledUnlessDisabled(value));
     }},
    {Q_PROCESS_TIMEOUT, Accepts::kTimeout,
     [](QDDigitizerInfo& d, int64_t /*type*/, int64_t value) {
       d.SetProcessTimeout(value == Q_DEFAULT ? Q_INFINITE : value);
     }},
    {Q_GRAB_ERROR_REPORTING, Accepts::kSwitch,
     [](QDDigitizerInfo& d, int64_t /*type*/, int64_t value) {
       d.SetGrabErrorReporting(EnabledUnlessDisabled(value));
     }},
};

const RecordSetting* FindRecordSetting(int64_t type) {
  for (const RecordSetting& setting : kRecordSettings) {
    if (setting.type == type) return &setting;
  }
  return nullptr;
}

enum class Stored { kYes, kValueRefused, kTypeNotTaken, kTypeUnknown };

// The digitizer control's own settings, stored when the value is one the setting takes.
Stored StoreSetting(QDDigitizerInfo& digitizer, int64_t type, int64_t value)
    ZOR_REQUIRES(digitizer.SettingsLock()) {
  if (const KeptSetting* kept = FindKeptSetting(type)) {
    if (!Accepted(kept->accepts, value)) return Stored::kValueRefused;
    digitizer.KeptSettings()[type] = value == Q_DEFAULT ? kept->forDefault : value;
    return Stored::kYes;
  }
  // Named by the digitizer, never taken by this layer.
  if (type == Q_GRAB_FIELD_NUM) return Stored::kTypeNotTaken;
  const RecordSetting* setting = FindRecordSetting(type);
  if (setting == nullptr) return Stored::kTypeUnknown;
  if (!Accepted(setting->accepts, value)) return Stored::kValueRefused;
  setting->store(digitizer, type, value);
  return Stored::kYes;
}

// Frames the board counted over the seconds its counter measured; 0 before the
// board gave a counter frequency.
double MeasuredFrameRate(const std::array<uint64_t, 8>& status) {
  const uint64_t frequency = status[kernel::kStatusCounterFrequency];
  const uint64_t ticks = status[kernel::kStatusElapsedTicks];
  if (frequency == 0 || ticks == 0) return 0.0;
  return static_cast<double>(status[kernel::kStatusFramesCounted]) /
         (static_cast<double>(ticks) / static_cast<double>(frequency));
}

// The settings the digitizer's record keeps and the counts it holds; false for a type it
// does not hold.
bool AnswerFromRecord(QDDigitizerInfo& digitizer, int64_t type, void* out) {
  const auto answer = [out](int64_t value) {
    if (out != nullptr) *static_cast<int64_t*>(out) = value;
    return true;
  };
  const auto answerDouble = [out](double value) {
    if (out != nullptr) *static_cast<double*>(out) = value;
    return true;
  };
  foundation::ScopedLock lock(digitizer.SettingsLock());
  std::map<int64_t, int64_t>& kept = digitizer.KeptSettings();
  const auto keptOr = [&kept](int64_t t, int64_t fallback) {
    auto it = kept.find(t);
    return it != kept.end() ? it->second : fallback;
  };
  if (const KeptSetting* setting = FindKeptSetting(type)) {
    return answer(keptOr(type, setting->unset));
  }
  for (const PropertyAnswer& property : kPropertyAnswers) {
    if (property.type == type) return answer(property.read(digitizer.CopyProperties()));
  }
  switch (type) {
    case Q_GRAB_PERIOD:
      return answer(digitizer.GetGrabPeriod());
    case Q_GRAB_FIELD_CHECK:
    case Q_GRAB_LINE_CHECK:
      return answer(keptOr(type, 0) != 0 ? Q_DISABLE : Q_ENABLE);
    case Q_PROCESS_EVENTS:
      return answer(digitizer.ProcessEnableSetting());
    case Q_PROCESS_GRAB_MONITOR:
      return answer(digitizer.GrabMonitorSetting());
    case Q_PROCESS_FRAME_MISSED:
      return answer(digitizer.Counters().missed.load());
    case Q_PROCESS_FRAME_COUNT:
      return answer(digitizer.Counters().frames.load());
    case kGrabFramesCounted:
      return answer(static_cast<int64_t>(digitizer.GrabStatus()[kernel::kStatusFramesCounted]));
    case Q_PROCESS_FRAME_RATE:
      return answerDouble(MeasuredFrameRate(digitizer.GrabStatus()));
    case Q_DIG_PROCESS_IN_PROGRESS:
      return answer(digitizer.ProcessingRunning() ? 1 : 0);
    case Q_PROCESS_TIMEOUT:
      return answer(digitizer.GetProcessTimeout());
    case Q_SELECTED_FRAME_RATE:
      return answerDouble(digitizer.GetSelectedFrameRate());
    case Q_GRAB_ERROR_REPORTING:
      return answer(digitizer.GetGrabErrorReporting());
    case Q_PROCESS_TOTAL_BUFFER_NUM:
      return answer(digitizer.ProcessingRunning() ? digitizer.Counters().buffers.load() : 0);
    default:
      return false;
  }
}

}  // namespace

int64_t QDDeviceSystem::DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t type = args.Int(1);
  const int64_t value = args.Value(2).AsInteger();
  frame::ChannelGuard lock(*digitizer);
  foundation::ScopedLock settingsLock(digitizer->SettingsLock());
  switch (StoreSetting(*digitizer, type, value)) {
    case Stored::kYes:
      break;
    case Stored::kValueRefused:
      ctx.SetError(kInvalidControl, 3, 0, 0);
      break;
    case Stored::kTypeNotTaken:
      ctx.SetError(kInvalidControl, 1, 0, 0);
      return 0;
    case Stored::kTypeUnknown:
      ctx.SetError(kInvalidControl, 2, 0, 0);
      return 0;
  }
  // An error held from earlier in the command fails the control too.
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
  int64_t state = InquireDigitizerWord(digitizer, Q_GRAB_TRIGGER_STATE, ctx);
  int64_t source = InquireDigitizerWord(digitizer, Q_GRAB_TRIGGER_SOURCE, ctx);
  if (state == Q_DISABLE) return Q_DISABLE;
  // A source that names another source is followed at most twice.
  for (int step = 0; step < 2 && source == kSourceOfSource; ++step) {
    state = InquireDigitizerWord(digitizer, source + kSourceStateOffset, ctx);
    source = InquireDigitizerWord(digitizer, source + kSourceSourceOffset, ctx);
    if (state == Q_DISABLE) return Q_DISABLE;
  }
  return source == kTriggerSourceReached ? Q_ENABLE : Q_DISABLE;
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
  if (InRange(type >> 16, kSelectorFirst, kSelectorLast)) {
    const int64_t low = type & 0xFFFF;
    if (low == kSelectedAnswersZero) return answer(0);
    if (RefusedWithSelector(low)) {
      ctx.SetError(kInvalidInquire, 1, 0, 0);
      return 1;
    }
  }
  // Not under the settings lock: the library may inquire back, the kernel is
  // asked, and the end trigger asks the system's own inquire.
  if (type == kGrabControlState) return answer(GrabControlInquire(*digitizer));
  if (type == Q_PROCESS_PENDING_GRAB_NUM) {
    uint64_t pending = 0;
    LLsysDigInquireValue(handles_, digitizer->Channel().Block().kernelDigitizer, type, pending,
                         &ctx);
    return answer(static_cast<int64_t>(pending));
  }
  if (type == Q_GRAB_CONTINUOUS_END_TRIGGER) {
    int64_t stored = Q_DEFAULT;
    {
      foundation::ScopedLock lock(digitizer->SettingsLock());
      auto it = digitizer->KeptSettings().find(type);
      if (it != digitizer->KeptSettings().end()) stored = it->second;
    }
    return answer(stored == Q_DEFAULT ? ResolveEndTrigger(args.Int(0), ctx) : stored);
  }
  if (AnswerFromRecord(*digitizer, type, args.Pointer<void>(2))) return 1;
  if (const FixedAnswer* fixed = FindFixedAnswer(kFixedAnswers, type)) return answer(fixed->answer);
  if (out != nullptr) *out = 0;
  ctx.SetError(kInvalidInquire, 1, 0, 0);
  return 2;
}

}  // namespace zor::frame
