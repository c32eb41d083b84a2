// The firmware update's progress bar, switched on or off by the runtime configuration.
#include "driver/frameworkuser/genicam/genicamfirmwareupdate/firmwareupdateprogress.h"

#include <algorithm>

#include "driver/foundation/conversions.h"
#include "driver/foundation/integerchecks.h"
#include "driver/foundation/runtimeconfig.h"

namespace zor::genicam {

void CDigitizerFirmwareUpdaterProgress::BeginProgress(const GenICam::gcstring&, int64_t) {
  auto window = std::make_unique<FirmwareUpdateProgressWindow>();
  const auto config = foundation::CRuntimeConfig::Instance();
  constexpr int32_t kDriver = foundation::CRuntimeConfig::kDriverSection;
  window->graphicSwitch = config->GetInt(kDriver, L"EnableFirmwareUpdateProgressGraphic", 1);
  window->textSwitch = config->GetInt(kDriver, L"EnableFirmwareUpdateProgressText", 1);
  if (window->graphicSwitch != 0) {
    window->window = std::make_unique<os::ProgressBar>(L"Updating firmware, please wait...", out_);
  }
  window_ = std::move(window);
}

void CDigitizerFirmwareUpdaterProgress::SetPosition(uint32_t position) {
  if (window_ == nullptr || !window_->active || window_->window == nullptr) return;
  window_->window->SetPosition(position);
  window_->window->PumpMessages();
}

void CDigitizerFirmwareUpdaterProgress::ReportProgressText(int64_t, const GenICam::gcstring& text) {
  if (window_ == nullptr) return;
  if (window_->active && window_->window != nullptr) {
    window_->window->SetTitle(foundation::Utf8ToWString(text.c_str()).c_str());
    window_->window->PumpMessages();
  }
  SetPosition(0);
}

void CDigitizerFirmwareUpdaterProgress::ReportProgressValue(int64_t, double percent) {
  // Truncated toward zero; what lies outside the bar's range shows as its ends.
  SetPosition(std::min<uint32_t>(foundation::TruncateSaturated<uint32_t>(percent, 0), 100));
}

void CDigitizerFirmwareUpdaterProgress::CompleteProgressStep(int64_t) { SetPosition(100); }

void CDigitizerFirmwareUpdaterProgress::EndProgress(bool) {
  if (window_ == nullptr) return;
  SetPosition(100);
  window_.reset();
}

}  // namespace zor::genicam
