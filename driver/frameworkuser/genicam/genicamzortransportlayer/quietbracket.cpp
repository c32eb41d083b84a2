// QuietHostBracket: host error printing off and error state saved for one register access.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"

#include "platform/host/hostservices.h"

namespace zor::genicam {

// What is quiet already (an application that prints no errors, a nested
// access) is neither set nor set back.
QuietHostBracket::QuietHostBracket() {
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &context_);
  HostAppInquire(Q_DEFAULT, Q_ERROR_PRINT, &savedPrintMode_);
  if (savedPrintMode_ != Q_PRINT_DISABLE) HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  HostAppInquire(Q_DEFAULT, Q_ERROR_SETTING, &savedSetting_);
  if (savedSetting_ != Q_DISABLE) HostAppControl(Q_DEFAULT, Q_ERROR_SETTING, Q_DISABLE);
}

QuietHostBracket::~QuietHostBracket() {
  if (savedSetting_ != Q_DISABLE) HostAppControl(Q_DEFAULT, Q_ERROR_SETTING, savedSetting_);
  if (savedPrintMode_ != Q_PRINT_DISABLE) HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, savedPrintMode_);
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<int64_t>(&context_));
}

}  // namespace zor::genicam
