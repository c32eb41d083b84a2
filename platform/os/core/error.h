// Windows-style error codes and the per-thread last error.
#pragma once

#include <cstdint>
#include <string>

namespace os {

// Every code this layer gives, as X(name, value): the constants below, and the list of codes
// whose texts FormatErrorMessage must know.
#define OS_ERROR_CODES(X)                \
  X(ERROR_SUCCESS, 0)                    \
  X(ERROR_INVALID_FUNCTION, 1)           \
  X(ERROR_FILE_NOT_FOUND, 2)             \
  X(ERROR_PATH_NOT_FOUND, 3)             \
  X(ERROR_TOO_MANY_OPEN_FILES, 4)        \
  X(ERROR_ACCESS_DENIED, 5)              \
  X(ERROR_INVALID_HANDLE, 6)             \
  X(ERROR_NOT_ENOUGH_MEMORY, 8)          \
  X(ERROR_GEN_FAILURE, 31)               \
  X(ERROR_NOT_SUPPORTED, 50)             \
  X(ERROR_INVALID_PARAMETER, 87)         \
  X(ERROR_INSUFFICIENT_BUFFER, 122)      \
  X(ERROR_INVALID_NAME, 123)             \
  X(ERROR_MOD_NOT_FOUND, 126)            \
  X(ERROR_PROC_NOT_FOUND, 127)           \
  X(ERROR_BAD_PATHNAME, 161)             \
  X(ERROR_ALREADY_EXISTS, 183)           \
  X(ERROR_ENVVAR_NOT_FOUND, 203)         \
  X(ERROR_MORE_DATA, 234)                \
  X(ERROR_NO_MORE_ITEMS, 259)            \
  X(ERROR_NOT_OWNER, 288)                \
  X(ERROR_OPERATION_ABORTED, 995)        \
  X(ERROR_IO_INCOMPLETE, 996)            \
  X(ERROR_IO_PENDING, 997)               \
  X(ERROR_INVALID_FLAGS, 1004)           \
  X(ERROR_CANTWRITE, 1013)               \
  X(ERROR_REGISTRY_CORRUPT, 1015)        \
  X(ERROR_KEY_DELETED, 1018)             \
  X(ERROR_CHILD_MUST_BE_VOLATILE, 1021)  \
  X(ERROR_NO_UNICODE_TRANSLATION, 1113)  \
  X(ERROR_SHUTDOWN_IN_PROGRESS, 1115)    \
  X(ERROR_DEVICE_NOT_CONNECTED, 1167)    \
  X(ERROR_NOT_ALL_ASSIGNED, 1300)        \
  X(ERROR_PRIVILEGE_NOT_HELD, 1314)      \
  X(ERROR_TIMEOUT, 1460)                 \
  X(ERROR_RESOURCE_DATA_NOT_FOUND, 1812) \
  X(ERROR_RESOURCE_TYPE_NOT_FOUND, 1813) \
  X(ERROR_RESOURCE_NAME_NOT_FOUND, 1814)

#define OS_ERROR_CONSTANT(name, value) inline constexpr uint32_t name = value;
OS_ERROR_CODES(OS_ERROR_CONSTANT)
#undef OS_ERROR_CONSTANT

#define OS_ERROR_LISTED(name, value) name,
inline constexpr uint32_t kErrorCodes[] = {OS_ERROR_CODES(OS_ERROR_LISTED)};
#undef OS_ERROR_LISTED

// The calling thread's last error, as GetLastError/SetLastError keep it.
uint32_t GetLastError();
void SetLastError(uint32_t error);

// The system's message text for an error code (what FormatMessageW gives
// with the from-system flag), ending with a line break like Windows' texts.
std::wstring FormatErrorMessage(uint32_t error);

}  // namespace os
