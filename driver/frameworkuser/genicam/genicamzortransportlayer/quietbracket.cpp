#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"

#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kSaveErrorState = 221;
constexpr int64_t kRestoreErrorState = 222;
constexpr int64_t kErrorPrint = 0x41000000;
constexpr int64_t kErrorSetting = 15022;
constexpr int64_t kDisable = -9999;

}  // namespace

QuietHostBracket::QuietHostBracket() {
  HostInternalInquire(0, kSaveErrorState, &context_);
  HostAppInquire(Q_DEFAULT, kErrorPrint, &savedPrintMode_);
  HostAppControl(Q_DEFAULT, kErrorPrint, 0);
  HostAppInquire(Q_DEFAULT, kErrorSetting, &savedSetting_);
  HostAppControl(Q_DEFAULT, kErrorSetting, kDisable);
}

QuietHostBracket::~QuietHostBracket() {
  HostAppControl(Q_DEFAULT, kErrorSetting, savedSetting_);
  HostAppControl(Q_DEFAULT, kErrorPrint, savedPrintMode_);
  HostInternalControl(0, kRestoreErrorState, reinterpret_cast<int64_t>(&context_));
}

}  // namespace zor::genicam
