// The progress of a firmware update, shown as a bar on the terminal (the
// progress window of the platform layer).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/genapi/genapi.h"
#include "platform/os/ui/progress_bar.h"

namespace zor::genicam {

struct FirmwareUpdateProgressWindow {
  std::unique_ptr<os::ProgressBar> window;  // none when the graphic is switched off
  int32_t graphicSwitch = 1;
  int32_t textSwitch = 1;
  bool active = true;
};

class CDigitizerFirmwareUpdaterProgress : public GenICam::IFirmwareUpdateProgressObserver {
 public:
  // out: where the bar is drawn; null draws on stderr when it is a terminal.
  explicit CDigitizerFirmwareUpdaterProgress(std::FILE* out = nullptr) : out_(out) {}

  void BeginProgress(const GenICam::gcstring& title, int64_t stepCount) override;
  void ReportProgressText(int64_t step, const GenICam::gcstring& text) override;
  void ReportProgressValue(int64_t step, double percent) override;
  void CompleteProgressStep(int64_t step) override;
  void EndProgress(bool succeeded) override;
  void ReportWarning(const GenICam::gcstring&) override {}

  // The window of a running update, null outside one.
  const FirmwareUpdateProgressWindow* Window() const { return window_.get(); }

 private:
  void SetPosition(uint32_t position);

  std::FILE* out_;
  // Owned here, so that an update that fails before its end frees it too.
  std::unique_ptr<FirmwareUpdateProgressWindow> window_;
};

}  // namespace zor::genicam
