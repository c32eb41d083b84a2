// The device layer's system inquire: what it answers itself, the classes it
// refuses, and everything else passed on to the host's own system object.
#include "driver/foundation/log.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/hostrefusal.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

constexpr int64_t kStringSize = 0x50000000000;
using errorcode::kInvalidInquire;
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

// A fixed answer of this layer, when the type has one.
bool FixedAnswer(int64_t type, int64_t& answer) {
  switch (type) {
    case 2006:
    case 2029:
    case 2104:
    case 2113:
    case 2114:
    case 2138:
    case 2378:
    case 4364:
    case 4369:
    case 4450:
    case 4451:
    case 4452:
    case 4465:
    case 4466:
    case 4467:
    case 4517:
    case 4548:
    case 7703 + kStringSize:
    case 7707 + kStringSize:
      answer = 0;
      return true;
    case 2008:
    case 2050:
    case 2329:
    case 4379:
    case 4380:
    case 4394:
    case 4395:
    case 4398:
      answer = 1;
      return true;
    case 2009:
    case 2159:
      answer = 1000;
      return true;
    case 2014:
      answer = 0x10000000;
      return true;
    case 2044:
    case 2045:
    case 2130:
    case 2131:
    case 4518:
      answer = -9999;
      return true;
    case 4362:
      answer = 13952006;
      return true;
    case 7708 + kStringSize:
      answer = kFolderCharacters;
      return true;
    default:
      break;
  }
  if (type >= 4453 && type <= 4458) {
    answer = 0;
    return true;
  }
  if (type >= 4374 && type <= 4439) {
    answer = 0;
    return true;
  }
  if (type >= 4440 && type <= 4500) {
    answer = 1;
    return true;
  }
  return false;
}

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
  // Before the fixed answers: its range answers 0 around it.
  if (type == 4385) answer = GrabControlStateInquire();
  if (type == 4385 || FixedAnswer(type, answer)) {
    if (out != nullptr) *out = answer;
    return true;
  }
  switch (type) {
    case 1009:
      answer = deviceNumber_;
      break;
    case 1012:
    case 6705:
      answer = InitWord();
      break;
    case 1079:
      answer = 0;
      break;
    case 1103: {
      OperationArgs args;
      args.Push(Q_DEFAULT);
      args.Push(1103);
      args.Push(reinterpret_cast<intptr_t>(out));
      ThreadInquire(args, ctx);
      return true;
    }
    case 1804:
      answer = EndOfCommandMode();
      break;
    case 2004:
      answer = digitizerCount_;
      break;
    case 2077:
      answer = ThreadTimeout();
      break;
    case 2093:
    case 7703:
      answer = 0;
      ctx.SetError(kInvalidInquire, 1, 0, 0);
      break;
    case 2132:
      answer = static_cast<int64_t>(serialPorts_.PortCount());
      break;
    case 2301:
      answer = ExternalHostSystemId();
      break;
    case 2316: {
      const int64_t id = ExternalHostSystemId();
      answer = id == 0 || id == Q_DEFAULT ? -1 : HostSysInquire(id, 1009, nullptr);
      break;
    }
    case 2331:
      answer = digitizers_.InUse() - 1;
      break;
    case 4508:
      answer = HostSysInquire(GetHostSystemId(0), 4508, nullptr);
      break;
    case 7708:
      if (out != nullptr) {
        foundation::CLog::Instance()->GetFolder(reinterpret_cast<wchar_t*>(out), kFolderCharacters);
      }
      return true;
    default:
      if (type >= 7400 && type <= 7499) {
        ctx.SetError(kInvalidInquire, 1, 0, 0);
        return true;
      }
      return false;
  }
  if (out != nullptr) *out = answer;
  return true;
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
