#include "platform/os/power/security.h"

#include <unistd.h>

#include <mutex>
#include <optional>

#include "platform/os/core/error.h"

namespace os {
namespace {

struct SecurityState {
  std::mutex mutex;
  std::optional<bool> administrator;
  bool privilegeHeld = true;
  bool privilegeEnabled = false;
  uint32_t refusal = ERROR_SUCCESS;
  std::vector<ShutdownRequest> requests;
};

SecurityState& State() {
  static SecurityState& state = *new SecurityState;
  return state;
}

}  // namespace

bool IsUserAdministrator() {
  std::lock_guard lock(State().mutex);
  return State().administrator.value_or(geteuid() == 0);
}

void SetUserAdministrator(bool administrator) {
  std::lock_guard lock(State().mutex);
  State().administrator = administrator;
}

bool EnableShutdownPrivilege() {
  SecurityState& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.privilegeHeld) {
    SetLastError(ERROR_NOT_ALL_ASSIGNED);
    return false;
  }
  state.privilegeEnabled = true;
  SetLastError(ERROR_SUCCESS);
  return true;
}

void SetShutdownPrivilegeHeld(bool held) {
  SecurityState& state = State();
  std::lock_guard lock(state.mutex);
  state.privilegeHeld = held;
  if (!held) state.privilegeEnabled = false;
}

bool InitiateSystemShutdown(const wchar_t* message, uint32_t timeoutSeconds, bool forceAppsClosed,
                            bool rebootAfterShutdown, uint32_t reason) {
  SecurityState& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.privilegeEnabled) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return false;
  }
  if (state.refusal != ERROR_SUCCESS) {
    SetLastError(state.refusal);
    return false;
  }
  state.requests.push_back({message == nullptr ? L"" : message, timeoutSeconds, forceAppsClosed,
                            rebootAfterShutdown, reason});
  return true;
}

void SetShutdownRefusal(uint32_t error) {
  std::lock_guard lock(State().mutex);
  State().refusal = error;
}

std::vector<ShutdownRequest> RecordedShutdownRequests() {
  std::lock_guard lock(State().mutex);
  return State().requests;
}

}  // namespace os
