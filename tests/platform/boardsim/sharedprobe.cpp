// A module with its own copies of the simulator and the operating-system
// layer, as the driver library has: it opens the board and uses it as the
// driver would.
#include <cstdint>

#include "interfaces/kernel/kernelrequests.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace {

os::Handle OpenBoard() {
  boardsim::RegisterBoardDevices();
  return os::CreateFile(L"\\\\.\\DRAVIONLYN_0", os::GENERIC_READ | os::GENERIC_WRITE, 0,
                        os::OPEN_EXISTING, 0);
}

template <class T>
bool Send(os::Handle device, uint32_t function, T& record) {
  uint32_t bytes = 0;
  return os::DeviceIoControl(device, zor::kernel::ControlCode(function), &record, sizeof(T),
                             &record, sizeof(T), &bytes, nullptr) &&
         bytes == sizeof(T);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint64_t ProbeDriverVersion() {
  os::Handle device = OpenBoard();
  zor::kernel::DriverVersionRequest r{};
  uint32_t bytes = 0;
  const bool sent =
      os::DeviceIoControl(device, zor::kernel::ControlCode(zor::kernel::kGetDriverVersion), nullptr,
                          0, &r, sizeof(r), &bytes, nullptr);
  os::CloseHandle(device);
  return sent ? r.version : 0;
}

// Registers one of this module's events with the board and has the board set it.
extern "C" __attribute__((visibility("default"))) bool ProbeEventSetByBoard() {
  os::Handle device = OpenBoard();
  os::Handle event = os::CreateEvent(true, false);
  zor::kernel::ThreadAllocRequest alloc{};
  alloc.initWord = zor::kernel::kEventManualReset | zor::kernel::kEventNotSignalled;
  alloc.eventHandle = os::HandleValue(event);
  zor::kernel::ThreadControlRequest control{};
  bool signalled = false;
  if (Send(device, zor::kernel::kThreadAlloc, alloc) && !alloc.header.status.errorSet) {
    control.eventId = alloc.eventId;
    control.value = 1;
    signalled = Send(device, zor::kernel::kThreadControl, control) &&
                os::WaitForSingleObject(event, 1000) == os::WAIT_OBJECT_0;
  }
  os::CloseHandle(event);
  os::CloseHandle(device);
  return signalled;
}
