#include "platform/os/core/error.h"

#include <map>

namespace os {

namespace {
thread_local uint32_t lastError = ERROR_SUCCESS;
}  // namespace

uint32_t GetLastError() { return lastError; }

void SetLastError(uint32_t error) { lastError = error; }

std::wstring FormatErrorMessage(uint32_t error) {
  static const std::map<uint32_t, const wchar_t*> kTexts = {
      {ERROR_SUCCESS, L"The operation completed successfully."},
      {ERROR_INVALID_FUNCTION, L"Incorrect function."},
      {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified."},
      {ERROR_PATH_NOT_FOUND, L"The system cannot find the path specified."},
      {ERROR_TOO_MANY_OPEN_FILES, L"The system cannot open the file."},
      {ERROR_ACCESS_DENIED, L"Access is denied."},
      {ERROR_INVALID_HANDLE, L"The handle is invalid."},
      {ERROR_NOT_ENOUGH_MEMORY,
       L"Not enough memory resources are available to process this command."},
      {ERROR_GEN_FAILURE, L"A device attached to the system is not functioning."},
      {ERROR_NOT_SUPPORTED, L"The request is not supported."},
      {ERROR_INVALID_PARAMETER, L"The parameter is incorrect."},
      {ERROR_INSUFFICIENT_BUFFER, L"The data area passed to a system call is too small."},
      {ERROR_INVALID_NAME, L"The filename, directory name, or volume label syntax is incorrect."},
      {ERROR_MOD_NOT_FOUND, L"The specified module could not be found."},
      {ERROR_PROC_NOT_FOUND, L"The specified procedure could not be found."},
      {ERROR_BAD_PATHNAME, L"The specified path is invalid."},
      {ERROR_ALREADY_EXISTS, L"Cannot create a file when that file already exists."},
      {ERROR_ENVVAR_NOT_FOUND,
       L"The system could not find the environment option that was entered."},
      {ERROR_MORE_DATA, L"More data is available."},
      {ERROR_NO_MORE_ITEMS, L"No more data is available."},
      {ERROR_NOT_OWNER, L"Attempt to release mutex not owned by caller."},
      {ERROR_OPERATION_ABORTED,
       L"The I/O operation has been aborted because of either a thread exit or an application "
       L"request."},
      {ERROR_IO_INCOMPLETE, L"Overlapped I/O event is not in a signaled state."},
      {ERROR_IO_PENDING, L"Overlapped I/O operation is in progress."},
      {ERROR_INVALID_FLAGS, L"Invalid flags."},
      {ERROR_CANTWRITE, L"The configuration registry key could not be written."},
      {ERROR_REGISTRY_CORRUPT,
       L"The registry is corrupted. The structure of one of the files containing registry data "
       L"is corrupted."},
      {ERROR_KEY_DELETED,
       L"Illegal operation attempted on a registry key that has been marked for deletion."},
      {ERROR_CHILD_MUST_BE_VOLATILE, L"Cannot create a stable subkey under a volatile parent key."},
      {ERROR_NO_UNICODE_TRANSLATION,
       L"No mapping for the Unicode character exists in the target multi-byte code page."},
      {ERROR_SHUTDOWN_IN_PROGRESS, L"A system shutdown is in progress."},
      {ERROR_DEVICE_NOT_CONNECTED, L"The device is not connected."},
      {ERROR_NOT_ALL_ASSIGNED,
       L"Not all privileges or groups referenced are assigned to the caller."},
      {ERROR_PRIVILEGE_NOT_HELD, L"A required privilege is not held by the client."},
      {ERROR_TIMEOUT, L"This operation returned because the timeout period expired."},
      {ERROR_RESOURCE_DATA_NOT_FOUND,
       L"The specified image file did not contain a resource section."},
      {ERROR_RESOURCE_TYPE_NOT_FOUND,
       L"The specified resource type cannot be found in the image file."},
      {ERROR_RESOURCE_NAME_NOT_FOUND,
       L"The specified resource name cannot be found in the image file."},
  };
  auto found = kTexts.find(error);
  if (found == kTexts.end()) return L"Unknown error " + std::to_wstring(error) + L".\r\n";
  return std::wstring(found->second) + L"\r\n";
}

}  // namespace os
