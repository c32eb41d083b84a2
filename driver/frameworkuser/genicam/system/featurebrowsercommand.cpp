// Control type 6905: publishing the node maps of the system or of one digitizer to browser
// clients, and withdrawing them.
#include <bit>

#include "driver/foundation/conversions.h"
#include "driver/foundation/zordrvexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"

namespace zor::frame {
namespace {

enum class BrowserCommand { kOpen, kClose, kInvalid };

BrowserCommand DecodeBrowserCommand(int64_t value) {
  switch (value) {
    case 16:
    case 17:
    case 18:  // waits for a window only in the in-process browser
    case 0x10000000:
      return BrowserCommand::kOpen;
    case 32:
    case 33:
    case 34:
      return BrowserCommand::kClose;
    default:
      return BrowserCommand::kInvalid;
  }
}

constexpr int64_t kInvalidValueError = 4307;
constexpr int64_t kFeatureBrowserError = 4436;

}  // namespace

bool QDGeniCamDeviceSystem::ControlFeatureBrowser(int64_t digitizerIndex, ValueRecord value,
                                                  QDDriverThreadContext& ctx) {
  const int64_t code = value.kind == kValueInteger
                           ? value.value
                           : static_cast<int64_t>(std::bit_cast<double>(value.value));
  // Decoded first: a bad value makes no publisher.
  const BrowserCommand command = DecodeBrowserCommand(code);
  if (command == BrowserCommand::kInvalid) {
    ctx.SetError(kInvalidValueError, 3, 0, 0);
    return false;
  }
  std::vector<std::shared_ptr<genicam::GenICamControl>> controls;
  if (digitizerIndex == 0) {
    controls = FindNodeMaps(L"", 0, -1);
  } else if (std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(digitizerIndex)) {
    // The system's own map comes along in every search; a digitizer leaves it alone.
    for (auto& control : FindNodeMaps(L"", digitizer->GetHostId(), -1)) {
      if (control->GetDeviceModelName() != "QsysControl") controls.push_back(control);
    }
  }
  try {
    if (command == BrowserCommand::kOpen) {
      if (publisher_ == nullptr) {
        genicam::PublisherSystem system;
        system.hostId = GetHostObjectId();
        system.name = MakeSystemDisplayName();
        system.webServer = featureBrowserServer_ != 0;
        system.port = featureBrowserServerPort_;
        publisher_ = std::make_unique<genicam::NodeMapPublisher>(
            system, L"featurebrowser/featurebrowser.exe");
      }
      for (auto& control : controls) publisher_->Publish(*control);
      if (controls.empty()) ctx.SetError(kFeatureBrowserError, 3, 0, 0);
    } else if (publisher_ != nullptr) {
      std::shared_ptr<genicam::GenICamControl> systemControl;
      for (auto& control : controls) {
        if (control->GetDeviceModelName() == "QsysControl") {
          systemControl = control;
        } else {
          publisher_->RemoveControl(*control);
        }
      }
      // The system's own map goes last, and the publisher with it once nothing is left.
      if (systemControl != nullptr && publisher_->PublishedCount() == 1) {
        publisher_->RemoveControl(*systemControl);
      }
      if (publisher_->PublishedCount() == 0) publisher_.reset();
    }
  } catch (const foundation::ZorDrvException& e) {
    ctx.SetErrorSubText(static_cast<int64_t>(e.GetCodeA()), static_cast<int64_t>(e.GetCodeB()),
                        e.GetDescription(), nullptr);
  } catch (const GenICam::GenericException& e) {
    const std::wstring text = L"Description: " + foundation::Utf8ToWString(e.GetDescription());
    ctx.SetErrorSubText(kFeatureBrowserError, 3, text.c_str(), nullptr);
  }
  return GetPendingError(ctx) == 0;
}

}  // namespace zor::frame
