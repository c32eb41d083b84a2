#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"

#include "driver/foundation/folders.h"
#include "driver/foundation/registrykey.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/os/sync/named_mutex.h"

namespace zor::frame {
namespace {

constexpr int32_t kImagingBoardLocation = 6;
constexpr const wchar_t* kParametersKey = L"DravionLyn\\Parameters";
constexpr int32_t kShortestCheckPeriodMs = 10;
constexpr int64_t kHostObjectIdControl = 1049;

// A value is taken only when it exists as a DWORD.
void ReadDword(foundation::CRegistryKey& key, const wchar_t* name, int32_t& field) {
  int32_t value = 0;
  if (key.GetValueType(name) == foundation::kRegTypeDword && key.ReadDword(name, value))
    field = value;
}

}  // namespace

QDGeniCamDeviceSystem::QDGeniCamDeviceSystem(const wchar_t* name, int64_t deviceNumber,
                                             int64_t initWord, const wchar_t* wideName,
                                             int64_t& startupStatus, QDDriverThreadContext& ctx)
    : QDDeviceSystem(name, deviceNumber, initWord, wideName, nullptr),
      featureBrowserSuffix_(L"/featurebrowser/featurebrowser.exe") {
  ReadRegistryParameters();
  const foundation::CZORString program = foundation::GetToolsDir() + featureBrowserSuffix_;
  newFeatureBrowser_ = foundation::FileExists(program.CStr()) && useNewFeatureBrowser_ != 0;
  xmlMutex_ = os::CreateMutex(false, L"ZOR_XML_Mutex");
  CheckGenICamInstallation(ctx);
  const bool failed = GetPendingError(ctx) != 0 || !SetGenICamEnvironment(ctx);
  startupStatus = failed ? kGenICamStartupFailed : 0;
}

QDGeniCamDeviceSystem::~QDGeniCamDeviceSystem() {
  if (xmlMutex_ != os::kNullHandle && xmlMutex_ != os::INVALID_HANDLE_VALUE) {
    os::CloseHandle(xmlMutex_);
  }
  xmlMutex_ = os::INVALID_HANDLE_VALUE;
}

void QDGeniCamDeviceSystem::ReadRegistryParameters() {
  foundation::CRegistryKey key(kImagingBoardLocation, kParametersKey, false);
  if (!key.IsOpen()) return;
  ReadDword(key, L"StreamStopCheckPeriodInMS", streamStopCheckPeriod_);
  if (streamStopCheckPeriod_ < kShortestCheckPeriodMs) {
    streamStopCheckPeriod_ = kShortestCheckPeriodMs;
  }
  ReadDword(key, L"StreamStopDelayInMS", streamStopDelay_);
  ReadDword(key, L"StreamStopThreadIdleExitTimeInMS", streamStopIdleExitTime_);
  ReadDword(key, L"FeatureBrowserServer", featureBrowserServer_);
  ReadDword(key, L"FeatureBrowserServerPortNumber", featureBrowserServerPort_);
  ReadDword(key, L"UseNewFeatureBrowser", useNewFeatureBrowser_);
}

int64_t QDGeniCamDeviceSystem::GetPendingError(QDDriverThreadContext& ctx) {
  return ctx.ErrorCode();
}

void QDGeniCamDeviceSystem::CreateTransportLayers() {}
void QDGeniCamDeviceSystem::GenerateFeatureHeaders() {}
void QDGeniCamDeviceSystem::FindNodeMaps() {}

// No GenICam type is served before the node maps exist: everything goes on
// to the device layer.
int64_t QDGeniCamDeviceSystem::SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return QDDeviceSystem::SysInquire(args, ctx);
}

int64_t QDGeniCamDeviceSystem::SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return QDDeviceSystem::SysControl(args, ctx);
}

int64_t QDGeniCamDeviceSystem::DigFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return QDDeviceSystem::DigFree(args, ctx);
}

int64_t QDGeniCamDeviceSystem::DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  // The host names a new digitizer's host object: its node maps come with it.
  if (args.Int(1) == kHostObjectIdControl) {
    if (std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(args.Int(0))) {
      digitizer->SetHostId(args.Value(2).value);
      CreateOwnNodeMaps(args.Value(2).value);
      return 1;
    }
  }
  return QDDeviceSystem::DigControl(args, ctx);
}

int64_t QDGeniCamDeviceSystem::DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return QDDeviceSystem::DigInquire(args, ctx);
}

}  // namespace zor::frame
