// System control and inquire of the GenICam layer: node maps of host objects,
// settings, the keep-alive control mode, firmware updates from GUF files and
// what the layer tells of itself. Other types go on to the device layer.
#include <cstring>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/genicamfirmwareupdate/cdigitizerfirmwareupdater.h"
#include "driver/frameworkuser/genicam/system/genicamtypes.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/protocol/genicamtypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

using namespace protocol;
constexpr int64_t kDeviceBits = 0xFF0000;
using errorcode::kInvalidControl;
constexpr int64_t kInvalidValue = 3;
using errorcode::kGenICamError;
constexpr int64_t kNotInstalled = 1;
using errorcode::kCameraFeatureError;
constexpr double kGenICamVersionNumber = 3.1;

}  // namespace

int64_t QDGeniCamDeviceSystem::PassOn(int64_t type, int64_t result, QDDriverThreadContext& ctx) {
  if (GetPendingError(ctx) != 0 && IsGenICamControlType(type)) {
    ctx.SetError(0, 0, 0, 0);
    ctx.SetError(kGenICamError, kNotInstalled, 0, 0);
  }
  return result;
}

int64_t QDGeniCamDeviceSystem::SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  if (!genicamAvailable_) return PassOn(args.Int(0), QDDeviceSystem::SysControl(args, ctx), ctx);
  const int64_t type = args.Int(0) & ~kDeviceBits;
  const ValueRecord record = args.Value(1);
  const int64_t value = record.AsInteger();
  switch (type) {
    case kCreateOwnNodeMaps:
      CreateOwnNodeMaps(value);
      return 1;
    case kEraseNodeMapEntry:
      EraseObjectNodeMap(value);
      return 1;
    case kReadRegistryParameters:
      if (value != Q_DEFAULT) {
        ctx.SetError(kInvalidControl, kInvalidValue, 0, 0);
      } else {
        ReadRegistryParameters();
      }
      return 1;
    case kKeepAliveControlMode:
      if (value != 1 && value != Q_DEFAULT && value != genicam::GenICamControl::kKeepAliveMode) {
        ctx.SetError(kInvalidControl, kInvalidValue, 0, 0);
        return 1;
      }
      keepAliveControlMode_ = value == genicam::GenICamControl::kKeepAliveMode;
      registry_->ForEachEntry([this](genicam::GenICamControl& control) {
        control.SetKeepAliveEnabled(keepAliveControlMode_);
      });
      return 1;
    case kGufFirmwareUpdate:
      UpdateFirmware(args.Int(0), record, ctx);
      return 1;
    case kFeatureBrowser:
      ControlFeatureBrowser(0, record, ctx);
      return 1;
    default:
      return QDDeviceSystem::SysControl(args, ctx);
  }
}

void QDGeniCamDeviceSystem::EraseObjectNodeMap(int64_t object) {
  if (object == 0) return;
  int64_t objectType = 0;
  HostObjInquire(object, Q_OBJECT_TYPE, &objectType);
  const wchar_t* module = objectType == Q_SYSTEM      ? L"QsysControl"
                          : objectType == Q_DIGITIZER ? L"QdigControl"
                          : objectType == Q_SEQUENCE  ? L"QseqControl"
                                                      : nullptr;
  if (module != nullptr) registry_->Erase(object, module);
}

void QDGeniCamDeviceSystem::UpdateFirmware(int64_t type, const ValueRecord& record,
                                           QDDriverThreadContext& ctx) {
  // The value is the address of the GUF file's wide path; no address is no path.
  if (record.kind == kValueDouble || record.value == 0 || record.value == Q_DEFAULT) {
    ctx.SetError(kInvalidControl, kInvalidValue, 0, 0);
    return;
  }
  const auto* path = reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(record.value));
  const int64_t device = (type & kDeviceBits) >> 16;
  try {
    genicam::CDigitizerFirmwareUpdater updater(GetHostObjectId(),
                                               foundation::WStringToUtf8(path).c_str(), &ctx);
    if (device != 0) {
      genicam::UpdateDigitizerFirmware(updater, device - 1);
    } else {
      genicam::UpdateDigitizersFirmware(updater);
    }
  } catch (const GenICam::GenericException& e) {
    const std::wstring description =
        L"Description: " + foundation::Utf8ToWString(e.GetDescription());
    ctx.SetErrorText(kCameraFeatureError, L"A GenICam exception occurred.", description.c_str(),
                     nullptr);
  }
}

int64_t QDGeniCamDeviceSystem::SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  if (!genicamAvailable_) return PassOn(type, QDDeviceSystem::SysInquire(args, ctx), ctx);
  void* out = args.Pointer<void>(1);
  const auto answer = [out](int64_t value) {
    if (out != nullptr) std::memcpy(out, &value, sizeof(value));
    return int64_t{1};
  };
  switch (type) {
    case Q_GENICAM_AVAILABLE:
    case kGenICamPresent:
    case kGenICamPresentAlias:
      return answer(1);
    case kNewFeatureBrowser:
      return answer(newFeatureBrowser_ ? 1 : 0);
    case kKeepAliveControlMode:
      return answer(keepAliveControlMode_ ? genicam::GenICamControl::kKeepAliveMode : 1);
    case kBrowserSession: {
      const std::shared_ptr<genicam::NodeMapPublisher> publisher = Publisher();
      return answer(publisher != nullptr ? publisher->SessionValue() : 0);
    }
    case kOwnNodeMap:
      return answer(NodeMapAddress(registry_->Get(GetHostObjectId(), L"QsysControl").get()));
    case kGenICamVersion:
      if (out != nullptr) std::memcpy(out, &kGenICamVersionNumber, sizeof(kGenICamVersionNumber));
      return 1;
    case kEmptyText:
      if (out != nullptr) *static_cast<wchar_t*>(out) = L'\0';
      return 1;
    case kStringLengthFlag + kEmptyText:
      return answer(1);
    default:
      return QDDeviceSystem::SysInquire(args, ctx);
  }
}

int64_t QDGeniCamDeviceSystem::NodeMapAddress(const genicam::GenICamControl* control) {
  if (control == nullptr) return 0;
  const std::shared_ptr<GenApi::CNodeMapRef>& map = control->NodeMap();
  return map != nullptr && map->_Ptr != nullptr ? reinterpret_cast<int64_t>(map.get()) : 0;
}

}  // namespace zor::frame
