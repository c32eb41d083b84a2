#include "tests/driver/firmware/check/simfirmwaresystem.h"

#include <cstdio>
#include <cstring>

#include "driver/firmware/check/firmwareupdater.h"
#include "driver/foundation/registrykey.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/power/security.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace firmwaretest {
namespace {
using zor::foundation::CRegistryKey;

constexpr int32_t kVolatileRuntime = 9;
constexpr uint32_t kShutdownReason = 0x80010002;
}  // namespace

SimFirmwareSystem::SimFirmwareSystem(boardsim::Board& board) {
  boardtest::BoardClient client(board);
  zor::kernel::SysAllocRequest alloc{};
  alloc.header = client.Header();
  client.Send(zor::kernel::kSysAlloc, alloc);
  std::memcpy(&code_, alloc.info + 0, 4);
  std::memcpy(&jtagAddress_, alloc.info + 8, 8);
  updateFlag_ = alloc.info[24];
  client.systemId = alloc.systemId;
  capabilities_ = static_cast<uint32_t>(client.SysRequest(zor::kernel::kSysRequestCapabilities));
}

void SimFirmwareSystem::SetCurrentJtagPort(zor::firmware::CBoardJtagPort* port) {
  port_ = port;
  ++portsSet;
  if (port != nullptr && onRunStart) onRunStart();
  if (port == nullptr && onRunEnd) onRunEnd();
}

int SimFirmwareSystem::GetFirmwareNeedReboot() {
  CRegistryKey key(kVolatileRuntime, L"", true);
  int32_t value = -1;
  if (!key.ReadDword(L"FWNeedReboot", value) && key.WriteDword(L"FWNeedReboot", 0)) value = 0;
  return value != 0;
}

int SimFirmwareSystem::RebootAfterFirmwareUpdate(const std::wstring& message,
                                                 uint32_t waitSeconds) {
  const os::Handle mutex = os::CreateMutex(true, L"VelantFirmwareUpdateMutex");
  if (mutex == os::kNullHandle) return 0;
  if (os::GetLastError() == os::ERROR_ALREADY_EXISTS) os::WaitForSingleObject(mutex, os::INFINITE);
  if (os::EnableShutdownPrivilege() &&
      os::InitiateSystemShutdown(message.c_str(), waitSeconds, true, false, kShutdownReason)) {
    // The mutex stays owned until the process ends.
    SetFirmwareNeedReboot(1);
    // Told on stderr, so that a test can see it after a process that ends here.
    std::fprintf(stderr, "shutdown requested in %u s\n", waitSeconds);
    return 1;
  }
  os::ReleaseMutex(mutex);
  os::CloseHandle(mutex);
  return 0;
}

uint32_t SimFirmwareSystem::IsFirmwareUpdaterAvailable() {
  return zor::firmware::IsFirmwareUpdaterAvailable();
}

void SimFirmwareSystem::LaunchFirmwareUpdater() { zor::firmware::LaunchFirmwareUpdater(); }

void SimFirmwareSystem::CallAppControl(int64_t type, int64_t value) {
  HostAppControl(Q_DEFAULT, type, value);
}

bool SimFirmwareSystem::IsUserAdmin() { return os::IsUserAdministrator(); }

void SetFirmwareNeedReboot(uint32_t value) {
  CRegistryKey key(kVolatileRuntime, L"", true);
  key.WriteDword(L"FWNeedReboot", value);
}

}  // namespace firmwaretest
