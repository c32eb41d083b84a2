// QDGeniCamDeviceSystem: GenICam settings, installation check, node maps and display names.
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/foundation/folders.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/featureheaders/featureheaders.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/named_mutex.h"

namespace zor::frame {
namespace {

using foundation::kImagingBoardLocation;
constexpr const wchar_t* kParametersKey = L"DravionLyn\\Parameters";
constexpr int32_t kShortestCheckPeriodMs = 10;

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
  // Freed host objects take their node maps along, whichever browser is used, and out of the
  // browser's publisher too.
  registry_ = std::make_unique<genicam::NodeMapRegistry>(true);
  registry_->SetDropHandler([this](const std::shared_ptr<genicam::GenICamControl>& control) {
    WithdrawFreedMaps(control);
  });
  xmlMutex_ = os::CreateMutex(false, L"ZOR_XML_Mutex");
  CheckGenICamInstallation(ctx);
  const bool failed = GetPendingError(ctx) != 0 || !SetGenICamEnvironment(ctx);
  startupStatus = failed ? kGenICamStartupFailed : 0;
}

QDGeniCamDeviceSystem::~QDGeniCamDeviceSystem() {
  registry_.reset();
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

genicam::GenICamSystemFacts QDGeniCamDeviceSystem::ControlFacts() const {
  genicam::GenICamSystemFacts facts;
  facts.hostSystemId = GetHostObjectId();
  facts.systemNumber = DeviceNumber();
  facts.streamStopCheckPeriodMs = static_cast<uint32_t>(streamStopCheckPeriod_);
  facts.streamStopDelayMs = static_cast<uint32_t>(streamStopDelay_);
  facts.streamStopIdleExitTimeMs = static_cast<uint32_t>(streamStopIdleExitTime_);
  return facts;
}

void QDGeniCamDeviceSystem::CreateOwnNodeMaps(int64_t hostObjectId) {
  genicam::CreateOwnNodeMaps(*registry_, ControlFacts(), hostObjectId, CallingThreadContext(),
                             [this](int64_t id, const genicam::XmlResourceRecord& record) {
                               return CreateTransportLayers(id, record);
                             });
}

genicam::TransportLayers QDGeniCamDeviceSystem::CreateTransportLayers(
    int64_t hostObjectId, const genicam::XmlResourceRecord& record) {
  return genicam::CreateTransportLayers(hostObjectId, record);
}

void QDGeniCamDeviceSystem::GenerateFeatureHeaders() {
  std::vector<genicam::GenICamXmlResource> resources;
  genicam::LoadGenICamXmlResources(resources);
  genicam::GenerateFeatureHeaders(resources, genicam::GenICamRootFolder());
}

std::string QDGeniCamDeviceSystem::MakeSystemDisplayName() const {
  // A system without a name leaves no error behind.
  genicam::QuietHostBracket quiet;
  int64_t length = 0;
  HostSysInquire(GetHostObjectId(), Q_SYSTEM_DESCRIPTOR + Q_STRING_SIZE, &length);
  std::vector<wchar_t> name(static_cast<size_t>(std::max<int64_t>(length, 0)) + 1, L'\0');
  if (length > 0) HostSysInquire(GetHostObjectId(), Q_SYSTEM_DESCRIPTOR, name.data());
  std::ostringstream text;
  text << "System " << foundation::WStringToUtf8(name.data()) << " " << DeviceNumber() << "{"
       << GetHostObjectId() << "}";
  return text.str();
}

std::string QDGeniCamDeviceSystem::MakeDigitizerDisplayName(int64_t digitizerIndex) const {
  std::ostringstream text;
  text << MakeSystemDisplayName();
  if (std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(digitizerIndex)) {
    text << "\\Digitizer " << digitizer->DeviceNumber() << "{"
         << static_cast<const void*>(digitizer.get()) << "}";
  }
  return text.str();
}

std::vector<std::shared_ptr<genicam::GenICamControl>> QDGeniCamDeviceSystem::FindNodeMaps(
    const std::wstring& modules, int64_t objectId, int64_t secondId) {
  return registry_->Find(modules, objectId, secondId);
}

int64_t QDGeniCamDeviceSystem::DigFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t index = args.Int(0);
  registry_->EraseEntry(index);
  // Entries are keyed by the digitizer's host id.
  if (std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(index)) {
    registry_->Erase(digitizer->GetHostId(), L"QdigControl");
  }
  return QDDeviceSystem::DigFree(args, ctx);
}

}  // namespace zor::frame
