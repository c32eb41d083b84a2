// Administrator test, shutdown privilege and shutdown requests. The answers
// are configurable and a shutdown is only recorded, never carried out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

// Default: whether the effective user is root.
bool IsUserAdministrator();
void SetUserAdministrator(bool administrator);

// Enables the shutdown privilege; false with ERROR_NOT_ALL_ASSIGNED when the
// configured answer says the process does not hold it (default: it does).
bool EnableShutdownPrivilege();
void SetShutdownPrivilegeHeld(bool held);

struct ShutdownRequest {
  std::wstring message;
  uint32_t timeoutSeconds = 0;
  bool forceAppsClosed = false;
  bool rebootAfterShutdown = false;
  uint32_t reason = 0;
};

// Records the request; false with ERROR_PRIVILEGE_NOT_HELD unless the
// privilege was enabled, or with the configured refusal (0: accept).
bool InitiateSystemShutdown(const wchar_t* message, uint32_t timeoutSeconds, bool forceAppsClosed,
                            bool rebootAfterShutdown, uint32_t reason);
void SetShutdownRefusal(uint32_t error);
std::vector<ShutdownRequest> RecordedShutdownRequests();

}  // namespace os
