// GenICamControl: an object's node map with its display names, manifest and GenICam inquiries.
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr size_t kSystemTextRoom = 128;
constexpr uint32_t kControlSourceKind = 3;

std::string ObjectName(int64_t id) {
  int64_t length = 0;
  HostObjInquire(id, Q_OBJECT_NAME + Q_STRING_SIZE, &length);
  if (length < 1) return {};
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
  HostObjInquire(id, Q_OBJECT_NAME, text.data());
  return foundation::WStringToUtf8(text.data());
}

// The system's descriptor text; the room follows the length the host gives.
std::string SystemText(int64_t id) {
  int64_t length = 0;
  HostSysInquire(id, Q_SYSTEM_DESCRIPTOR + Q_STRING_SIZE, &length);
  std::vector<wchar_t> text(std::max<size_t>(kSystemTextRoom, static_cast<size_t>(length) + 1),
                            L'\0');
  HostSysInquire(id, Q_SYSTEM_DESCRIPTOR, text.data());
  return foundation::WStringToUtf8(text.data());
}

}  // namespace

GenICamControl::GenICamControl(const GenICamSystemFacts& system, int64_t hostObjectId,
                               uint64_t deviceNumber, uint32_t kind)
    : GenICamProxy(deviceNumber, system.commandWait),
      foundation::CLogProvider(static_cast<uint32_t>(system.systemNumber), 5, 111,
                               static_cast<uint32_t>(deviceNumber)),
      system_(system),
      featureBrowser_(system.hostSystemId),
      hostObjectId_(hostObjectId),
      kind_(kind),
      hookController_(std::make_shared<FeatureHookController>(kControlSourceKind)) {}

GenICamControl::~GenICamControl() { featureBrowser_.Close(); }

bool GenICamControl::InquireGenICam(int64_t eventId, int64_t infoType, void* out) {
  const FeatureHookController::Context* context = FeatureHookController::FindContext(eventId);
  return context != nullptr && FeatureHookController::InquireHookInfo(*context, infoType, out);
}

std::pair<std::string, std::string> GenICamControl::GetObjectPath(int64_t id) {
  if (id == 0) return {};
  int64_t type = 0;
  int64_t owner = 0;
  HostObjInquire(id, Q_OBJECT_TYPE, &type);
  const std::string name = ObjectName(id);
  HostObjInquire(id, Q_OWNER_SYSTEM, &owner);
  const ObjectClassInfo* row = FindObjectClass(type);
  if (row == nullptr) return {"", name};
  std::ostringstream path;
  if (type == Q_DIGITIZER) {
    int64_t number = 0;
    HostDigInquire(id, Q_NUMBER, &number);
    path << GetObjectPath(owner).first << "\\" << row->shortName << " " << number << "{" << id
         << "}";
  } else if (type == Q_SYSTEM) {
    int64_t number = 0;
    HostSysInquire(id, Q_NUMBER, &number);
    path << "System " << SystemText(id) << " " << number << "{" << id << "}";
  } else {
    path << GetObjectPath(owner).first << "\\" << row->shortName << " " << id << "{" << id << "}";
  }
  return {path.str(), name};
}

std::string GenICamControl::ReadDeviceUserName() {
  for (const char* feature : {"DeviceUserID", "DeviceID"}) {
    GenApi::CStringPtr value = NodeMap()->_Ptr != nullptr ? NodeMap()->_GetNode(feature) : nullptr;
    try {
      if (value.IsValid() && GenApi::IsReadable(value)) return value->GetValue().c_str();
    } catch (const GenICam::GenericException&) {
      // Try the next feature.
    }
  }
  return {};
}

std::string GenICamControl::BuildDeviceDisplayName() {
  foundation::ScopedLock lock(namesMutex_);
  if (!displayPath_.empty()) return displayPath_;
  if (kind_ >= 4) {
    auto [objectPath, objectName] = GetObjectPath(hostObjectId_);
    displayPath_ = std::move(objectPath);
    userName_ = std::move(objectName);
    return displayPath_;
  }
  const int64_t object = kind_ == 0 ? system_.hostSystemId : hostObjectId_;
  std::ostringstream path;
  // The control's address keeps the path of each map apart.
  path << GetObjectPath(object).first << "\\" << GetDeviceModelName() << "{"
       << static_cast<const void*>(this) << "}";
  if (kind_ == kDeviceNodeMapKind) {
    std::string userName = ReadDeviceUserName();
    if (!userName.empty()) userName_ = std::move(userName);
  }
  displayPath_ = path.str();
  return displayPath_;
}

std::string GenICamControl::GetDeviceDisplayName() {
  BuildDeviceDisplayName();
  foundation::ScopedLock lock(namesMutex_);
  return userName_;
}

GenICamManifestInfo GenICamControl::GetManifestInfo() {
  GenICamManifestInfo info;
  const char* modules[] = {"Q_GENTL_SYSTEM",        "Q_GENTL_INTERFACE", "Q_GENTL_DEVICE",
                           "Q_GENTL_REMOTE_DEVICE", "Q_GENTL_STREAM",    "Q_GENTL_BUFFER"};
  for (int i = 0; i < 6; ++i) info.genTLModules[i] = modules[i];
  auto generic = [&info] {
    info.objectClass = "ZorDigitizer";
    info.controlFunction = "QdigControlFeature";
    info.inquireFunction = "QdigInquireFeature";
  };
  if (kind_ == kDeviceNodeMapKind) {
    generic();
    return info;
  }
  auto* device =
      NodeMap() != nullptr ? dynamic_cast<GenApi::IDeviceInfo*>(NodeMap()->_Ptr) : nullptr;
  if (device == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  const std::string model = device->GetModelName().c_str();
  if (model == "QsysControl") {
    info = {"QsysInquire", "QsysControl", "ZorSystem", "", "", {}};
  } else if (model == "QdigControl") {
    info = {"QdigInquire", "QdigControl", "ZorDigitizer", "", "", {}};
  } else {
    generic();
    info.featurePrefix = model + ":";
  }
  for (int i = 0; i < 6; ++i) info.genTLModules[i] = modules[i];
  return info;
}

size_t GenICamControl::GetCount() const {
  foundation::ScopedLock lock(manifestMutex_);
  return manifest_.size();
}

void GenICamControl::AddEntry(const GenTLManifestEntry& entry) {
  foundation::ScopedLock lock(manifestMutex_);
  manifest_.push_back(entry);
}

GenTLManifestEntry GenICamControl::GetEntry(size_t index) const {
  foundation::ScopedLock lock(manifestMutex_);
  return manifest_.at(index);
}

}  // namespace zor::genicam
