// Digitizer control and inquire of the GenICam layer: acquisition mode and
// start, keep-alive values and control mode, the GenTL manifest, node-map
// addresses, the feature bag and the JSON export. Other types go on to the
// device layer.
#include <algorithm>
#include <cstring>
#include <sstream>

#include "driver/foundation/conversions.h"
#include "driver/foundation/drvtimer.h"
#include "driver/foundation/folders.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "driver/frameworkuser/genicam/featurebrowser/jsonexport.h"
#include "driver/frameworkuser/genicam/system/genicamtypes.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/czorfeaturebag.h"
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/featurebagtext.h"
#include "driver/frameworkuser/protocol/genicamtypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

using namespace protocol;
constexpr int64_t kControlMode = 4133;
constexpr int64_t kAcquisitionMode = 6908;
constexpr int64_t kAcquisitionStop = 6928;
constexpr int64_t kFirstKeepAlive = 6929;
constexpr int64_t kSecondKeepAlive = 6930;
constexpr int64_t kAcquisitionStart = 6931;
constexpr int64_t kJsonExport = 6935;
constexpr int64_t kBrowserPolling = 6973;
constexpr int64_t kStartCode = 29;
constexpr int64_t kContinuousAcquisition = -1;
constexpr int64_t kSingleFrame = 1;
constexpr int64_t kFirstStoredValue = 6937;
constexpr int64_t kManifestCount = 5455;
// Word w of manifest entry e (up to 16 entries, five words each): kManifestWords + 16 * w + e.
constexpr int64_t kManifestWords = kManifestCount + 1;
constexpr int64_t kManifestEntry = 6805;
constexpr int64_t kManifestText = 7862;
constexpr int64_t kBrowserWindow = 6922;
constexpr int64_t kNameText = 7861;
using errorcode::kInvalidControl;
constexpr int64_t kInvalidValue = 3;
using errorcode::kFeatureAccessError;
using errorcode::kInvalidFeatureControl;
constexpr int64_t kStopWaitNs = 1'000'000'000;
constexpr uint32_t kRetryMs = 5;

// Register accesses come back into the driver as nested commands, which record
// their own errors on this thread; where this layer answers a failure itself,
// those records are withdrawn (unless the command had failed before).
class NestedErrors {
 public:
  explicit NestedErrors(QDDriverThreadContext& ctx) : ctx_(ctx), held_(ctx.ErrorCode() != 0) {}
  void Withdraw() {
    if (!held_ && ctx_.ErrorCode() != 0) ctx_.SetError(0, 0, 0, 0);
  }

 private:
  QDDriverThreadContext& ctx_;
  bool held_;
};

std::wstring Wide(const std::string& text) { return foundation::Utf8ToWString(text); }

bool Invalid(QDDriverThreadContext& ctx) {
  ctx.SetError(kInvalidControl, kInvalidValue, 0, 0);
  return true;
}

void RecordFeatureError(const char* name, const GenICam::GenericException& e,
                        QDDriverThreadContext& ctx) {
  const std::wstring text =
      L"GenICam exception occurred accessing feature \"" + Wide(name) + L"\".";
  const std::wstring description = L"Description: " + Wide(e.GetDescription());
  ctx.SetErrorText(kFeatureAccessError, text.c_str(), description.c_str(), nullptr);
}

void RecordMissingFeature(genicam::GenICamControl& control, const char* name,
                          QDDriverThreadContext& ctx) {
  const std::wstring where = L"Camera specific info: Error occurred on the " +
                             Wide(control.GetDeviceModelName()) + L" " +
                             Wide(control.GetDeviceVendorName()) + L".";
  const std::wstring missing = L"The device does not have a \"" + Wide(name) + L"\" feature.";
  ctx.SetErrorText(kFeatureAccessError, where.c_str(), missing.c_str(), nullptr);
}

GenApi::INode* FindNode(genicam::GenICamControl& control, const char* name,
                        QDDriverThreadContext& ctx) {
  const std::shared_ptr<GenApi::CNodeMapRef>& map = control.NodeMap();
  if (map == nullptr || map->_Ptr == nullptr) {
    ctx.SetErrorText(kFeatureAccessError, L"The camera's node map is not yet initialized.", nullptr,
                     nullptr);
    return nullptr;
  }
  GenApi::INode* node = map->_GetNode(name);
  if (node == nullptr) RecordMissingFeature(control, name, ctx);
  return node;
}

// The enumeration's entry by its symbolic name; the error is recorded on failure.
bool SetEnumeration(genicam::GenICamControl& control, const char* name, const char* entry,
                    QDDriverThreadContext& ctx) {
  NestedErrors nested(ctx);
  try {
    GenApi::CEnumerationPtr enumeration(FindNode(control, name, ctx));
    if (!enumeration.IsValid()) return false;
    enumeration->FromString(entry);
    return true;
  } catch (const GenICam::GenericException& e) {
    nested.Withdraw();
    RecordFeatureError(name, e, ctx);
    return false;
  }
}

// Remembers a selector's value and puts it back when it goes; a failure on
// either side is swallowed.
class SelectorValueKeeper {
 public:
  SelectorValueKeeper(std::shared_ptr<GenApi::CNodeMapRef> map, const char* name)
      : map_(std::move(map)) {
    try {
      node_ = map_ != nullptr ? GenApi::CValuePtr(map_->_GetNode(name)) : nullptr;
      if (node_.IsValid() && GenApi::IsReadable(node_)) value_ = node_->ToString();
    } catch (const GenICam::GenericException&) {
      value_.clear();
    }
  }
  ~SelectorValueKeeper() {
    try {
      if (node_.IsValid() && GenApi::IsWritable(node_) && !value_.empty()) {
        node_->FromString(value_);
      }
    } catch (const GenICam::GenericException&) {
      // The selector stays where the work left it.
    }
  }
  SelectorValueKeeper(const SelectorValueKeeper&) = delete;
  SelectorValueKeeper& operator=(const SelectorValueKeeper&) = delete;

 private:
  std::shared_ptr<GenApi::CNodeMapRef> map_;
  GenApi::CValuePtr node_;
  GenICam::gcstring value_;
};

void SetControlMode(genicam::GenICamControl& control, int64_t value, QDDriverThreadContext& ctx) {
  if (value == 1) {
    control.SetControlMode(1);
  } else if (value == genicam::GenICamControl::kKeepAliveMode || value == Q_DEFAULT) {
    control.SetControlMode(genicam::GenICamControl::kKeepAliveMode);
  } else {
    Invalid(ctx);
  }
}

void SetKeepAlive(genicam::GenICamControl& control, int64_t type, int64_t value) {
  const int64_t fallback = type == kFirstKeepAlive ? 1000 : 0;
  const int64_t kept = value == Q_DEFAULT ? fallback : std::max<int64_t>(value, 0);
  control.SetKeepAliveValue(type - kFirstKeepAlive, static_cast<uint32_t>(kept));
}

void StartAcquisition(QDDigitizerInfo& digitizer, genicam::GenICamControl& control, int64_t value,
                      QDDriverThreadContext& ctx) {
  if (value == kStartCode) {
    control.ExecuteCommand("AcquisitionStart", &ctx);
  } else if (value == Q_DEFAULT) {
    frame::ChannelGuard channel(digitizer);
    digitizer.SetProcessRequestState(0);
  } else {
    Invalid(ctx);
  }
}

int64_t AnswerWord(void* out, int64_t value) {
  if (out != nullptr) std::memcpy(out, &value, sizeof(value));
  return 1;
}

// A text, or its length + 1 for the string-length form of the type.
int64_t AnswerText(void* out, bool lengthForm, const std::wstring& value) {
  if (lengthForm) return AnswerWord(out, static_cast<int64_t>(value.size()) + 1);
  if (out != nullptr) std::wmemcpy(static_cast<wchar_t*>(out), value.c_str(), value.size() + 1);
  return 1;
}

bool IsManifestText(int64_t type) { return type >= kManifestText && type < kManifestText + 16; }

bool IsManifestWord(int64_t type) { return type >= kManifestWords && type < kManifestWords + 80; }

std::wstring ManifestName(genicam::GenICamControl& control, int64_t type) {
  const size_t entry = static_cast<size_t>(type - kManifestText);
  return entry < control.GetCount() ? control.GetEntry(entry).name : L"";
}

// The stored values and the manifest's words and names; false for any other type.
bool AnswerStoredOrManifest(genicam::GenICamControl& control, int64_t type, void* out) {
  if (type >= kFirstStoredValue && type < kFirstStoredValue + 5) {
    AnswerWord(out, control.StoredValue(static_cast<size_t>(type - kFirstStoredValue)));
    return true;
  }
  if (IsManifestWord(type)) {
    const size_t entry = static_cast<size_t>((type - kManifestWords) % 16);
    const size_t field = static_cast<size_t>((type - kManifestWords) / 16);
    AnswerWord(out, entry < control.GetCount() ? control.GetEntry(entry).words[field] : 0);
    return true;
  }
  if (IsManifestText(type)) {
    AnswerText(out, false, ManifestName(control, type));
    return true;
  }
  return false;
}

}  // namespace

std::shared_ptr<genicam::GenICamControl> QDGeniCamDeviceSystem::DigitizerControl(
    int64_t index, const QDDigitizerInfo& digitizer) const {
  if (genicam::GenICamControl* entry = registry_->FindEntry(index)) {
    // Entries are the registry's own controls; share the one registered.
    for (const auto& control : registry_->Find(L"*", digitizer.GetHostId(), -1)) {
      if (control.get() == entry) return control;
    }
  }
  return registry_->Get(digitizer.GetHostId(), L"QdigControl");
}

int64_t QDGeniCamDeviceSystem::DigitizerNodeMapAddress(int64_t index) const {
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(index);
  return digitizer == nullptr ? 0 : NodeMapAddress(DigitizerControl(index, *digitizer).get());
}

int64_t QDGeniCamDeviceSystem::DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t index = args.Int(0);
  const int64_t type = args.Int(1);
  if (!genicamAvailable_) return PassOn(type, QDDeviceSystem::DigControl(args, ctx), ctx);
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(index);
  if (digitizer == nullptr) return QDDeviceSystem::DigControl(args, ctx);
  const ValueRecord record = args.Value(2);
  const int64_t value = record.AsInteger();
  if (type == Q_HOST_OBJECT_ID) {
    digitizer->SetHostId(value);
    CreateOwnNodeMaps(value);
    return 1;
  }
  if (type == kDeviceName) {
    // The value is the address of a wide text; no address is no text.
    if (record.kind == kValueDouble || value == 0 || value == Q_DEFAULT) {
      Invalid(ctx);
    } else {
      digitizer->SetDeviceName(reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(value)));
    }
    return 1;
  }
  if (type == kFeatureBrowser) {
    ControlFeatureBrowser(index, record, ctx);
    return 1;
  }
  const std::shared_ptr<genicam::GenICamControl> control = DigitizerControl(index, *digitizer);
  if (type == kJsonExport) {
    ExportJson(index, *digitizer, control.get(), ctx);
    return 1;
  }
  if (control == nullptr) return QDDeviceSystem::DigControl(args, ctx);
  switch (type) {
    case kControlMode:
      SetControlMode(*control, value, ctx);
      return 1;
    case kAcquisitionMode:
      SetAcquisitionMode(index, *digitizer, *control, value, ctx);
      return 1;
    case kAcquisitionStop:
      StopAcquisition(*digitizer, *control, value, ctx);
      return 1;
    case kFirstKeepAlive:
    case kSecondKeepAlive:
      SetKeepAlive(*control, type, value);
      return 1;
    case kAcquisitionStart:
      StartAcquisition(*digitizer, *control, value, ctx);
      return 1;
    case kBrowserPolling:
      ControlPolling(*control, value, ctx);
      return 1;
    case kFeatureBag:
      StoreFeatureBag(*control, ctx);
      return 1;
    default:
      return QDDeviceSystem::DigControl(args, ctx);
  }
}

void QDGeniCamDeviceSystem::SetAcquisitionMode(int64_t index, QDDigitizerInfo& digitizer,
                                               genicam::GenICamControl& control, int64_t value,
                                               QDDriverThreadContext& ctx) {
  if (value == kContinuousAcquisition || value == Q_DEFAULT) {
    if (SetEnumeration(control, "AcquisitionMode", "Continuous", ctx)) {
      control.SetAcquisitionMode(kContinuousAcquisition);
    }
  } else if (value == kSingleFrame) {
    SetSingleFrame(index, digitizer, control, ctx);
  } else {
    Invalid(ctx);
  }
}

void QDGeniCamDeviceSystem::StopAcquisition(QDDigitizerInfo& digitizer,
                                            genicam::GenICamControl& control, int64_t value,
                                            QDDriverThreadContext& ctx) {
  if (value != kStartCode && value != Q_DEFAULT) {
    Invalid(ctx);
    return;
  }
  {
    frame::ChannelGuard channel(digitizer);
    digitizer.SpareOperation1(value == kStartCode ? kStartCode : 0);
  }
  if (GetPendingError(ctx) == 0) WaitForAcquisitionStop(control, ctx);
}

void QDGeniCamDeviceSystem::ControlPolling(genicam::GenICamControl& control, int64_t value,
                                           QDDriverThreadContext& ctx) {
  if (value != Q_ENABLE && value != Q_DISABLE && value != Q_DEFAULT) {
    Invalid(ctx);
    return;
  }
  if (newFeatureBrowser_) {
    const std::shared_ptr<genicam::NodeMapPublisher> publisher = Publisher();
    if (publisher == nullptr) return;
    if (value == Q_ENABLE) {
      publisher->StartPolling();
    } else {
      publisher->StopPolling();
    }
    return;
  }
  if (value == Q_ENABLE && control.NodeMap() != nullptr) {
    control.Browser().StartPolling(control.NodeMap()->_Ptr);
  } else if (value != Q_ENABLE) {
    control.Browser().StopPolling();
  }
}

void QDGeniCamDeviceSystem::SetSingleFrame(int64_t index, QDDigitizerInfo& digitizer,
                                           genicam::GenICamControl& control,
                                           QDDriverThreadContext& ctx) {
  const int64_t timeoutMs = InquireDigitizerWord(index, Q_GRAB_TIMEOUT, ctx);
  const uint64_t timeoutNs =
      timeoutMs == -1 ? 1'000'000'000ull
                      : static_cast<uint64_t>(std::max<int64_t>(timeoutMs, 0)) * 1'000'000ull;
  if (control.AcquisitionMode() == kContinuousAcquisition) {
    frame::ChannelGuard channel(digitizer);
    if (control.GetControlMode() == genicam::GenICamControl::kKeepAliveMode) {
      digitizer.SpareOperation1(0);
    }
  }
  foundation::CDrvTimer timer;
  timer.Start(false);
  while (true) {
    SetEnumeration(control, "AcquisitionMode", "SingleFrame", ctx);
    if (GetPendingError(ctx) == 0 || timer.ElapsedNs() > timeoutNs) break;
    ctx.SetError(0, 0, 0, 0);
    HostSleep(kRetryMs);
  }
  if (GetPendingError(ctx) == 0) control.SetAcquisitionMode(kSingleFrame);
}

void QDGeniCamDeviceSystem::WaitForAcquisitionStop(genicam::GenICamControl& control,
                                                   QDDriverThreadContext& ctx) {
  const std::shared_ptr<GenApi::CNodeMapRef> map = control.NodeMap();
  if (map == nullptr || map->_Ptr == nullptr) return;
  // Declared first, so that what the selector's restoring records goes too.
  struct Withdrawal {
    NestedErrors nested;
    ~Withdrawal() { nested.Withdraw(); }
  } withdrawal{NestedErrors(ctx)};
  SelectorValueKeeper keeper(map, "AcquisitionStatusSelector");
  try {
    GenApi::CEnumerationPtr selector(map->_GetNode("AcquisitionStatusSelector"));
    if (!selector.IsValid()) return;
    selector->FromString("AcquisitionActive");
  } catch (const GenICam::GenericException&) {
    return;
  }
  foundation::CDrvTimer timer;
  timer.Start(false);
  while (true) {
    try {
      GenApi::CValuePtr status(map->_GetNode("AcquisitionStatus"));
      if (!status.IsValid() || status->ToString() == "0" || status->ToString() == "false") break;
    } catch (const GenICam::GenericException&) {
      break;
    }
    if (timer.ElapsedNs() > static_cast<uint64_t>(kStopWaitNs)) break;
    HostSleep(0);
  }
}

void QDGeniCamDeviceSystem::StoreFeatureBag(genicam::GenICamControl& control,
                                            QDDriverThreadContext& ctx) {
  const std::shared_ptr<GenApi::CNodeMapRef> map = control.NodeMap();
  if (map == nullptr || map->_Ptr == nullptr) return;
  NestedErrors nested(ctx);
  try {
    genicam::CZorFeatureBag bag;
    bag.StoreFromNodeMap(map->_Ptr);
    std::ostringstream text;
    genicam::CZorFeatureBag::WritePersistenceFile(text, bag);
    std::wstring listing = genicam::MakeFeatureBagText(text.str(), *map->_Ptr);
    foundation::ScopedLock lock(featureBagLock_);
    featureBagText_ = std::move(listing);
  } catch (const GenICam::GenericException& e) {
    nested.Withdraw();
    const std::wstring description = L"Description: " + Wide(e.GetDescription());
    ctx.SetErrorText(kInvalidFeatureControl, L"A GenICam exception occurred.", description.c_str(),
                     L"GenICam exception occurred while storing streamable features to bag.");
  }
}

void QDGeniCamDeviceSystem::ExportJson(int64_t index, const QDDigitizerInfo& digitizer,
                                       genicam::GenICamControl* own, QDDriverThreadContext& ctx) {
  // Values that cannot be read are written as the writer's fallbacks.
  struct Withdrawal {
    NestedErrors nested;
    ~Withdrawal() { nested.Withdraw(); }
  } withdrawal{NestedErrors(ctx)};
  foundation::CZORString temp;
  if (!foundation::GetFolderVariable(temp, L"TEMP")) return;
  const std::string folder = foundation::WStringToUtf8(temp.CStr());
  for (const auto& control : FindNodeMaps(digitizer.GetDeviceName(), digitizer.GetHostId(), -1)) {
    const std::string model = control->GetDeviceModelName();
    if (model.empty() || control->NodeMap() == nullptr || control->NodeMap()->_Ptr == nullptr) {
      continue;
    }
    try {
      genicam::ExportNodeMapJson(*control->NodeMap()->_Ptr, folder, model, model);
    } catch (const GenICam::GenericException&) {
      // What was written stays; the next map is tried.
    }
  }
  if (own == nullptr || own->NodeMap() == nullptr || own->NodeMap()->_Ptr == nullptr) return;
  const std::string label = genicam::GetDeviceDisplayLabel(*own);
  const std::string name = MakeDigitizerDisplayName(index) + "\\" + label;
  try {
    genicam::ExportNodeMapJson(*own->NodeMap()->_Ptr, folder, label, name);
  } catch (const GenICam::GenericException&) {
    // The files stay as far as they were written.
  }
}

int64_t QDGeniCamDeviceSystem::DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t index = args.Int(0);
  const int64_t type = args.Int(1);
  if (!genicamAvailable_) return PassOn(type, QDDeviceSystem::DigInquire(args, ctx), ctx);
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(index);
  if (digitizer == nullptr) return QDDeviceSystem::DigInquire(args, ctx);
  const std::shared_ptr<genicam::GenICamControl> control = DigitizerControl(index, *digitizer);
  if (control == nullptr) return QDDeviceSystem::DigInquire(args, ctx);
  void* out = args.Pointer<void>(2);
  const bool lengthForm = IsStringLengthType(type);
  const int64_t bare = lengthForm ? StripStringLengthFlag(type) : type;
  if (bare == kManifestCount || IsManifestWord(bare) || bare == kManifestEntry ||
      IsManifestText(bare)) {
    ReadManifestTable();
  }
  if (lengthForm) return InquireTextLength(bare, *digitizer, *control, args, ctx);
  switch (type) {
    case Q_GENICAM_AVAILABLE:
      return AnswerWord(out, 1);
    case kControlMode:
      return AnswerWord(out, control->GetControlMode());
    case kManifestCount:
      return AnswerWord(out, static_cast<int64_t>(control->GetCount()));
    case kManifestEntry:
      if (control->GetCount() > 0 && out != nullptr) {
        const genicam::GenTLManifestEntry entry = control->GetEntry(0);
        std::memcpy(out, entry.words, 8);
        std::memcpy(static_cast<char*>(out) + 8, entry.value, 16);
      }
      return 1;
    case Q_GC_NODEMAP_PTR:
      return AnswerWord(out, NodeMapAddress(control.get()));
    case kAcquisitionMode: {
      NestedErrors nested(ctx);
      const int64_t mode = ReadAcquisitionMode(*control);
      nested.Withdraw();
      return AnswerWord(out, mode);
    }
    case kBrowserWindow:
      // The in-process browser has no window of its own to find.
      return AnswerWord(out, 0);
    case kFirstKeepAlive:
    case kSecondKeepAlive:
      return AnswerWord(out, control->KeepAliveValue(static_cast<size_t>(type - kFirstKeepAlive)));
    case kOwnNodeMap:
      return AnswerWord(
          out, NodeMapAddress(registry_->Get(digitizer->GetHostId(), L"QdigControl").get()));
    case kBrowserPolling:
      return AnswerWord(out, PollingState(*control));
    case kDeviceName:
      return AnswerText(out, false, digitizer->GetDeviceName());
    case kFeatureBag:
      return AnswerText(out, false, control->NodeMap() != nullptr ? FeatureBagText() : L"");
    case kNameText:
      return AnswerText(out, false, control->NameText());
    default:
      if (AnswerStoredOrManifest(*control, type, out)) return 1;
      return QDDeviceSystem::DigInquire(args, ctx);
  }
}

int64_t QDGeniCamDeviceSystem::InquireTextLength(int64_t bare, QDDigitizerInfo& digitizer,
                                                 genicam::GenICamControl& control,
                                                 const OperationArgs& args,
                                                 QDDriverThreadContext& ctx) {
  void* out = args.Pointer<void>(2);
  switch (bare) {
    case kDeviceName:
      return AnswerText(out, true, digitizer.GetDeviceName());
    case kFeatureBag:
      return AnswerText(out, true, FeatureBagText());
    case kNameText:
      return AnswerText(out, true, control.NameText());
    default:
      if (IsManifestText(bare)) return AnswerText(out, true, ManifestName(control, bare));
      return QDDeviceSystem::DigInquire(args, ctx);
  }
}

int64_t QDGeniCamDeviceSystem::PollingState(genicam::GenICamControl& control) const {
  if (newFeatureBrowser_) {
    const std::shared_ptr<genicam::NodeMapPublisher> publisher = Publisher();
    if (publisher == nullptr) return 0;
    return publisher->IsPolling() ? Q_ENABLE : Q_DISABLE;
  }
  return control.Browser().Polling() != nullptr ? Q_ENABLE : Q_DISABLE;
}

int64_t QDGeniCamDeviceSystem::ReadAcquisitionMode(genicam::GenICamControl& control) {
  try {
    const std::shared_ptr<GenApi::CNodeMapRef> map = control.NodeMap();
    GenApi::CEnumerationPtr mode(
        map != nullptr && map->_Ptr != nullptr ? map->_GetNode("AcquisitionMode") : nullptr);
    const GenICam::gcstring value = mode->ToString();
    if (value == "Continuous") {
      control.SetAcquisitionMode(kContinuousAcquisition);
      return kContinuousAcquisition;
    }
    if (value == "SingleFrame") {
      control.SetAcquisitionMode(kSingleFrame);
      return kSingleFrame;
    }
    return 0;
  } catch (const GenICam::GenericException&) {
    return kContinuousAcquisition;
  }
}

std::wstring QDGeniCamDeviceSystem::FeatureBagText() const {
  foundation::ScopedLock lock(featureBagLock_);
  return featureBagText_;
}

}  // namespace zor::frame
