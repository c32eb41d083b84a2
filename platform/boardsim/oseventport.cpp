#include "platform/boardsim/oseventport.h"

#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace boardsim {

void OsEventPort::Set(uint64_t handle) { os::SetEvent(os::HandleFromValue(handle)); }

void OsEventPort::Reset(uint64_t handle) { os::ResetEvent(os::HandleFromValue(handle)); }

bool OsEventPort::IsSet(uint64_t handle) {
  const os::Handle event = os::HandleFromValue(handle);
  if (os::WaitForSingleObject(event, 0) != os::WAIT_OBJECT_0) return false;
  os::SetEvent(event);  // give back what the probe took from an automatic-reset event
  return true;
}

}  // namespace boardsim
