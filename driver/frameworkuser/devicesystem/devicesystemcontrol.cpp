// The device layer's system control: what it keeps itself, the driver-log
// controls, and everything else passed on to the host's own system object.
#include <cwchar>

#include "driver/foundation/log.h"
#include "driver/foundation/logtag.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/hostrefusal.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

using errorcode::kInvalidControl;
using namespace protocol;
constexpr uint32_t kLogMarkerKind = 439;

}  // namespace

int64_t QDDeviceSystem::SerialControl(int64_t type, int64_t value, QDDriverThreadContext& ctx) {
  const foundation::CError error = serialPorts_.Control(type, value);
  if (error.errorSet == 0) return 1;
  RecordSerialError(error, ctx);
  return -1;
}

int64_t QDDeviceSystem::SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  const ValueRecord record = args.Value(1);
  const int64_t value = record.AsInteger();
  if (IsSerialType(type)) return SerialControl(type, value, ctx);
  if (KeepSystemSetting(type, value, ctx) || ControlDriverLog(type, value)) return 1;
  if (RefusedSystemControl(type)) return -1;
  const int64_t hostSystem = GetHostSystemId(0);
  // A type that the host does not take either is served by no layer.
  const bool refused = HostRefuses([&] {
    if (IsDoubleSystemType(type)) {
      HostSysControlDouble(hostSystem, type, record.AsDouble());
    } else {
      HostSysControl(hostSystem, type, value);
    }
  });
  if (refused) ctx.SetError(kInvalidControl, 1, 0, 0);
  return 1;
}

bool QDDeviceSystem::KeepSystemSetting(int64_t type, int64_t value, QDDriverThreadContext& ctx) {
  switch (type) {
    case Q_HOST_OBJECT_ID:
      SetHostObjectId(value);
      return true;
    case Q_HOST_SYSTEM_ID:
      SetExternalHostSystemId(value);
      return true;
    case Q_TIMEOUT:
      if (value == Q_DEFAULT) {
        SetThreadTimeout(kDefaultThreadTimeoutSeconds);
      } else if (value < -1) {
        ctx.SetError(kInvalidControl, 3, 0, 0);
      } else {
        SetThreadTimeout(value);
      }
      return true;
    case Q_THREAD_MODE:
      // Another mode is not refused here: it goes on to the host.
      if (value != 1 && value != 2 && value != Q_DEFAULT) return false;
      SetEndOfCommandMode(value == Q_DEFAULT ? 2 : value);
      return true;
    case Q_BOARD_SERIAL_WORD:
      ctx.SetError(kInvalidControl, 2, 0, 0);
      return true;
    default:
      return false;
  }
}

bool QDDeviceSystem::ControlDriverLog(int64_t type, int64_t value) const {
  switch (type) {
    case kDriverLogSave: {
      wchar_t name[64];
      std::swprintf(name, 64, L"%ls%lld.zim", L"DebugDump", static_cast<long long>(value));
      foundation::CLog::Instance()->WriteEvent(*this, kLogMarkerKind);
      foundation::CLog::Instance()->Save(name);
      return true;
    }
    case Q_DRIVER_LOG_RESET:
      foundation::CLog::Instance()->Reset();
      return true;
    case Q_DRIVER_LOG_FOLDER:
      foundation::CLog::Instance()->SetFolder(reinterpret_cast<const wchar_t*>(value));
      return true;
    case kDriverLogValue:
      if (foundation::CLog::Instance()->Ring() != nullptr) {
        foundation::CLog::Instance()->Write(*this, kLogMarkerKind, foundation::LogTag("VALU"),
                                            static_cast<uint64_t>(value), foundation::kEmptyLogTag,
                                            0, foundation::kEmptyLogTag, 0);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace zor::frame
