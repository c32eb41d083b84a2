// QDZorThreadContext: a thread's host thread and the context event registered with the kernel.
#include "driver/frameworkuser/context/qdzorthreadcontext.h"

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "interfaces/kernel/kernelcodes.h"
#include "interfaces/kernel/threadrequests.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/event.h"

namespace zor::frame {
namespace {

kernel::ContextEventRequest ContextEventRequest(os::Handle device, uint64_t systemId,
                                                os::Handle event, uint64_t registration) {
  kernel::ContextEventRequest request{};
  request.header.deviceHandle = os::HandleValue(device);
  request.header.systemId = systemId;
  request.eventHandle = os::HandleValue(event);
  request.registration = registration;
  return request;
}

constexpr uint32_t kContextEventCode = kernel::ControlCode(kernel::kThreadContextEvent);

}  // namespace

QDZorThreadContext::QDZorThreadContext(QDDriverThreadContext& owner, int64_t systemIndex)
    : owner_(owner), systemIndex_(systemIndex) {}

QDZorThreadContext::~QDZorThreadContext() {
  if (event_ != os::kNullHandle) {
    if (device_ != os::INVALID_HANDLE_VALUE && registration_ != 0) {
      // May run on another thread (a system free), so not on the owner's
      // overlapped block; a failure concerns no command and is not recorded.
      kernel::ContextEventRequest request =
          ContextEventRequest(device_, systemId_, event_, registration_);
      os::Overlapped overlapped;
      uint32_t bytes = 0;
      if (!os::DeviceIoControl(device_, kContextEventCode, &request, sizeof(request), &request,
                               sizeof(request), &bytes, &overlapped) &&
          os::GetLastError() == os::ERROR_IO_PENDING) {
        os::GetOverlappedResult(device_, &overlapped, &bytes, true);
      }
    }
    os::CloseHandle(event_);
  }
  if (hostThreadId_ != 0) HostThrFree(hostThreadId_);
}

uint64_t QDZorThreadContext::RegisterEvent(os::Handle device, uint64_t systemId, bool doRegister) {
  const os::Handle event = os::CreateEvent(true, false);
  uint64_t registration = 0;
  if (device != os::INVALID_HANDLE_VALUE && doRegister) {
    kernel::ContextEventRequest request = ContextEventRequest(device, systemId, event, 0);
    owner_.DeviceIoControl(device, kContextEventCode, &request, sizeof(request), &request,
                           sizeof(request));
    registration = request.registration;
    device_ = device;
    systemId_ = systemId;
  }
  if (event_ != os::kNullHandle) os::CloseHandle(event_);
  event_ = event;
  registration_ = registration;
  return registration;
}

}  // namespace zor::frame
