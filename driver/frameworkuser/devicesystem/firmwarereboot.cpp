// The shutdown that a firmware update of the board needs, and the mark that
// keeps a pending one known across processes until the computer restarts.
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/os/core/error.h"
#include "platform/os/power/security.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/wait.h"

namespace zor::frame {
namespace {

using foundation::kVolatileRuntimeLocation;
constexpr const wchar_t* kMarkName = L"FWNeedReboot";
constexpr const wchar_t* kUpdateMutexName = L"VelantFirmwareUpdateMutex";
constexpr uint32_t kShutdownReason = 0x80010002;  // planned, hardware, installation
using errorcode::kSystemOperationError;
constexpr int64_t kCannotSynchronize = 2;
constexpr int64_t kShutdownRefused = 4;
// Waits for another process's update in slices, so that one whose shutdown
// already runs (and keeps the mutex for good) is noticed.
constexpr uint32_t kWaitSliceMs = 200;

// Kept owned and open for the rest of the process once a shutdown started.
os::Handle g_shutdownMutex = os::kNullHandle;

void KeepForTheProcess(os::Handle mutex) {
  if (g_shutdownMutex == os::kNullHandle) {
    g_shutdownMutex = mutex;
  } else {
    os::CloseHandle(mutex);
  }
}

void Record(int64_t code, int64_t sub, QDDriverThreadContext* ctx) {
  if (ctx != nullptr) ctx->SetError(code, sub, 0, 0);
}

}  // namespace

bool QDDeviceSystem::GetFirmwareNeedReboot() {
  int64_t mark = -1;
  {
    foundation::CRegistryKey key(kVolatileRuntimeLocation, nullptr, false);
    int32_t value = 0;
    if (key.IsOpen() && key.ReadDword(kMarkName, value)) return value != 0;
  }
  foundation::CRegistryKey key(kVolatileRuntimeLocation, nullptr, true);
  if (key.IsOpen() && key.WriteDword(kMarkName, 0)) mark = 0;
  return mark != 0;
}

void QDDeviceSystem::SetFirmwareNeedReboot(uint32_t value) {
  foundation::CRegistryKey key(kVolatileRuntimeLocation, nullptr, true);
  if (key.IsOpen()) key.WriteDword(kMarkName, value);
}

int QDDeviceSystem::RebootAfterFirmwareUpdate(const std::wstring& message, uint32_t waitSeconds) {
  QDDriverThreadContext* ctx = CallingThreadContext();
  const os::Handle mutex = os::CreateMutex(true, kUpdateMutexName);
  if (mutex == os::kNullHandle) {
    Record(kSystemOperationError, kCannotSynchronize, ctx);
    return 0;
  }
  bool owned = true;
  bool shutdownElsewhere = false;
  if (os::GetLastError() == os::ERROR_ALREADY_EXISTS) {
    for (;;) {
      const uint32_t waited = os::WaitForSingleObject(mutex, kWaitSliceMs);
      if (waited == os::WAIT_OBJECT_0 || waited == os::WAIT_ABANDONED_0) break;
      if (waited == os::WAIT_TIMEOUT && !GetFirmwareNeedReboot()) continue;
      // The holder started a shutdown already, or the wait itself failed.
      owned = false;
      shutdownElsewhere = waited == os::WAIT_TIMEOUT;
      break;
    }
  }
  // Without the privilege no shutdown is asked for at all.
  if (owned && !os::EnableShutdownPrivilege()) {
    Record(kSystemOperationError, kShutdownRefused, ctx);
    os::ReleaseMutex(mutex);
    os::CloseHandle(mutex);
    return 0;
  }
  if (owned) {
    if (os::InitiateSystemShutdown(message.c_str(), waitSeconds, true, false, kShutdownReason)) {
      SetFirmwareNeedReboot(1);
      KeepForTheProcess(mutex);
      return 1;
    }
    os::ReleaseMutex(mutex);
  } else if (shutdownElsewhere) {
    SetFirmwareNeedReboot(1);
    KeepForTheProcess(mutex);
    return 0;
  }
  os::CloseHandle(mutex);
  return 0;
}

}  // namespace zor::frame
