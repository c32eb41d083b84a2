// Control type 6905: publishing the node maps of the system or of one digitizer to browser
// clients and withdrawing them, or showing them in the in-process browser.
#include <algorithm>
#include <sstream>

#include "driver/foundation/conversions.h"
#include "driver/foundation/zordrvexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featurebrowser/featurebrowser.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

enum class BrowserCommand { kOpen, kClose, kInvalid };

// The values of the feature-browser control and what each asks for.
struct BrowserValue {
  int64_t value;
  BrowserCommand command;
};
constexpr BrowserValue kBrowserValues[] = {
    {16, BrowserCommand::kOpen},        {17, BrowserCommand::kOpen},
    {18, BrowserCommand::kOpen},  // waits for a window only in the in-process browser
    {Q_DEFAULT, BrowserCommand::kOpen}, {32, BrowserCommand::kClose},
    {33, BrowserCommand::kClose},       {34, BrowserCommand::kClose},
};

BrowserCommand DecodeBrowserCommand(int64_t value) {
  for (const BrowserValue& entry : kBrowserValues) {
    if (entry.value == value) return entry.command;
  }
  return BrowserCommand::kInvalid;
}

using errorcode::kFeatureBrowserError;
using errorcode::kGenICamSetupError;
using errorcode::kInvalidControl;
constexpr int64_t kWriteHeadersValue = 5071;

using ControlPtr = std::shared_ptr<genicam::GenICamControl>;

genicam::BrowserDescriptor MakeDescriptor(genicam::GenICamControl& control, int64_t systemHostId) {
  genicam::BrowserDescriptor descriptor;
  descriptor.name = control.GetDeviceModelName();
  descriptor.id = reinterpret_cast<int64_t>(control.NodeMap().get());
  descriptor.control = &control;
  if (descriptor.name == "QsysControl") {
    descriptor.controlPrefix = "QsysControl(ZorSystem, ";
    descriptor.inquirePrefix = "QsysInquire(ZorSystem, ";
    descriptor.owner = systemHostId;
  } else if (descriptor.name == "QdigControl") {
    descriptor.controlPrefix = "QdigControl(ZorDigitizer, ";
    descriptor.inquirePrefix = "QdigInquire(ZorDigitizer, ";
    descriptor.owner = control.HostObjectId();
  } else {
    descriptor.featureStyle = true;
    descriptor.controlPrefix = "QdigControlFeature(ZorDigitizer, ";
    descriptor.inquirePrefix = "QdigInquireFeature(ZorDigitizer, ";
  }
  return descriptor;
}

std::string SystemName(int64_t systemHostId) {
  int64_t length = 0;
  HostSysInquire(systemHostId, Q_SYSTEM_DESCRIPTOR + Q_STRING_SIZE, &length);
  std::vector<wchar_t> name(static_cast<size_t>(std::max<int64_t>(length, 0)) + 1, L'\0');
  if (length > 0) HostSysInquire(systemHostId, Q_SYSTEM_DESCRIPTOR, name.data());
  return foundation::WStringToAnsi(name.data());
}

}  // namespace

std::vector<ControlPtr> QDGeniCamDeviceSystem::FindAddressedMaps(int64_t digitizerIndex,
                                                                 const QDDigitizerInfo* digitizer) {
  if (digitizerIndex == 0) return FindNodeMaps(L"", 0, -1);
  if (digitizer == nullptr) return {};
  return FindNodeMaps(digitizer->GetDeviceName(), digitizer->GetHostId(), -1);
}

std::shared_ptr<genicam::NodeMapPublisher> QDGeniCamDeviceSystem::Publisher() const {
  foundation::ScopedLock lock(publisherLock_);
  return publisher_;
}

void QDGeniCamDeviceSystem::SetPublisher(std::shared_ptr<genicam::NodeMapPublisher> publisher) {
  foundation::ScopedLock lock(publisherLock_);
  publisher_ = std::move(publisher);
}

void QDGeniCamDeviceSystem::PublishMaps(const std::vector<ControlPtr>& controls,
                                        QDDriverThreadContext& ctx) {
  std::shared_ptr<genicam::NodeMapPublisher> publisher = Publisher();
  if (publisher == nullptr) {
    genicam::PublisherSystem system;
    system.hostId = GetHostObjectId();
    system.logSource = DeviceNumber();
    system.name = MakeSystemDisplayName();
    system.webServer = featureBrowserServer_ != 0;
    system.port = featureBrowserServerPort_;
    publisher =
        std::make_shared<genicam::NodeMapPublisher>(system, L"featurebrowser/featurebrowser.exe");
    SetPublisher(publisher);
  }
  for (const ControlPtr& control : controls) publisher->Publish(*control);
  if (controls.empty()) ctx.SetError(kFeatureBrowserError, 3, 0, 0);
}

void QDGeniCamDeviceSystem::WithdrawMaps(const std::vector<ControlPtr>& controls) {
  const std::shared_ptr<genicam::NodeMapPublisher> publisher = Publisher();
  if (publisher == nullptr) return;
  ControlPtr systemControl;
  for (const ControlPtr& control : controls) {
    if (control->GetDeviceModelName() == "QsysControl") {
      systemControl = control;
    } else {
      publisher->RemoveControl(*control);
    }
  }
  // The system's own map goes last, and the publisher with it once nothing is left.
  if (systemControl != nullptr && publisher->PublishedCount() == 1) {
    publisher->RemoveControl(*systemControl);
  }
  if (publisher->PublishedCount() == 0) SetPublisher(nullptr);
}

void QDGeniCamDeviceSystem::WithdrawFreedMaps(const ControlPtr& control) {
  foundation::ScopedLock publishing(publishingLock_);
  const std::shared_ptr<genicam::NodeMapPublisher> publisher = Publisher();
  if (publisher == nullptr) return;
  publisher->RemoveControl(*control);
  if (publisher->PublishedCount() == 0) SetPublisher(nullptr);
}

void QDGeniCamDeviceSystem::ControlFeatureBrowser(int64_t digitizerIndex, ValueRecord value,
                                                  QDDriverThreadContext& ctx) {
  const int64_t code = value.AsInteger();
  // Decoded first: a bad value makes no publisher.
  const BrowserCommand command = DecodeBrowserCommand(code);
  if (command == BrowserCommand::kInvalid && (newFeatureBrowser_ || code != kWriteHeadersValue)) {
    ctx.SetError(kInvalidControl, 3, 0, 0);
    return;
  }
  std::shared_ptr<QDDigitizerInfo> digitizer;
  if (digitizerIndex != 0) digitizer = digitizers_.GetAt(digitizerIndex);
  if (!newFeatureBrowser_) return ControlInProcessBrowser(digitizerIndex, digitizer, code, ctx);
  std::vector<ControlPtr> controls = FindAddressedMaps(digitizerIndex, digitizer.get());
  // The system's own map comes along in every search; a digitizer leaves it alone.
  if (digitizerIndex != 0) {
    std::erase_if(controls, [](const ControlPtr& control) {
      return control->GetDeviceModelName() == "QsysControl";
    });
  }
  try {
    foundation::ScopedLock publishing(publishingLock_);
    if (command == BrowserCommand::kOpen) {
      PublishMaps(controls, ctx);
    } else {
      WithdrawMaps(controls);
    }
  } catch (const foundation::ZorDrvException& e) {
    ctx.SetErrorSubText(static_cast<int64_t>(e.GetCodeA()), static_cast<int64_t>(e.GetCodeB()),
                        e.GetDescription(), nullptr);
  } catch (const GenICam::GenericException& e) {
    const std::wstring text = L"Description: " + foundation::Utf8ToWString(e.GetDescription());
    ctx.SetErrorSubText(kFeatureBrowserError, 3, text.c_str(), nullptr);
  }
}

void QDGeniCamDeviceSystem::ControlInProcessBrowser(
    int64_t digitizerIndex, const std::shared_ptr<QDDigitizerInfo>& digitizer, int64_t value,
    QDDriverThreadContext& ctx) {
  if (value == kWriteHeadersValue) GenerateFeatureHeaders();
  const genicam::BrowserAction action = genicam::DecodeBrowserControlAction(value);
  if (action == genicam::BrowserAction::kInvalid) {
    ctx.SetError(kInvalidControl, 3, 0, 0);
    return;
  }
  // A digitizer index outside the list, or a map never registered, has no browser.
  const bool addressesDigitizer = digitizerIndex != 0;
  ControlPtr addressed;
  if (!addressesDigitizer) {
    addressed = registry_->Get(GetHostObjectId(), L"QsysControl");
  } else if (digitizer != nullptr) {
    addressed = registry_->Get(digitizer->GetHostId(), L"QdigControl");
  }
  if (action == genicam::BrowserAction::kClose) {
    if (addressed != nullptr) addressed->Browser().Close();
    return;
  }
  const std::vector<ControlPtr> controls = FindAddressedMaps(digitizerIndex, digitizer.get());
  std::vector<genicam::BrowserDescriptor> descriptors;
  for (const ControlPtr& control : controls) {
    if (control != nullptr) descriptors.push_back(MakeDescriptor(*control, GetHostObjectId()));
  }
  // Nothing to show, or no browser to show it in: no window opens for an error.
  if (descriptors.empty() || addressed == nullptr) {
    ctx.SetError(kGenICamSetupError, 3, 0, 0);
    return;
  }
  std::ostringstream title;
  title << SystemName(GetHostObjectId()) << " " << DeviceNumber() << " Digitizer "
        << (digitizer != nullptr ? digitizer->DeviceNumber() : -1);
  const bool wait = genicam::DecodeBrowserControlWait(value) == 1;
  foundation::CError error;
  // Opening may wait for the window, or for the browser to end; the board
  // sends 6905 here without the digitizer's channel lock, so it stays free.
  addressed->Browser().Open(error, title.str(),
                            genicam::OrderBrowserDescriptors(std::move(descriptors)), wait);
  if (error.errorSet != 0) {
    ctx.SetError(static_cast<int64_t>(error.code), static_cast<int64_t>(error.subCode), 0, 0);
  }
}

}  // namespace zor::frame
