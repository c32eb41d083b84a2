// QuietHostBracket: host error printing off and error state saved for one register access.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"

#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kSaveErrorState = 221;
constexpr int64_t kRestoreErrorState = 222;
constexpr int64_t kErrorPrint = 0x41000000;
constexpr int64_t kPrintOff = 0;
constexpr int64_t kErrorSetting = 15022;
constexpr int64_t kDisable = -9999;

}  // namespace

// What is quiet already (an application that prints no errors, a nested
// access) is neither set nor set back.
QuietHostBracket::QuietHostBracket() {
  HostInternalInquire(0, kSaveErrorState, &context_);
  HostAppInquire(Q_DEFAULT, kErrorPrint, &savedPrintMode_);
  if (savedPrintMode_ != kPrintOff) HostAppControl(Q_DEFAULT, kErrorPrint, kPrintOff);
  HostAppInquire(Q_DEFAULT, kErrorSetting, &savedSetting_);
  if (savedSetting_ != kDisable) HostAppControl(Q_DEFAULT, kErrorSetting, kDisable);
}

QuietHostBracket::~QuietHostBracket() {
  if (savedSetting_ != kDisable) HostAppControl(Q_DEFAULT, kErrorSetting, savedSetting_);
  if (savedPrintMode_ != kPrintOff) HostAppControl(Q_DEFAULT, kErrorPrint, savedPrintMode_);
  HostInternalControl(0, kRestoreErrorState, reinterpret_cast<int64_t>(&context_));
}

}  // namespace zor::genicam
