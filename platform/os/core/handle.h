// Opaque handles into one process-wide table; a closed, foreign or wrong-kind
// handle is refused with ERROR_INVALID_HANDLE, never dereferenced.
#pragma once

#include <cstdint>

namespace os {

// Pointer-sized, like a Windows HANDLE, so it can travel in fixed records.
enum class Handle : std::uintptr_t {};

inline constexpr Handle kNullHandle{0};
inline constexpr Handle INVALID_HANDLE_VALUE{~std::uintptr_t{0}};

inline constexpr std::uint64_t HandleValue(Handle handle) {
  return static_cast<std::uint64_t>(handle);
}
inline constexpr Handle HandleFromValue(std::uint64_t value) {
  return static_cast<Handle>(static_cast<std::uintptr_t>(value));
}

// Closes any handle of the table (events, threads, mutexes, devices, ports).
// False with ERROR_INVALID_HANDLE for a null, closed or unknown handle.
bool CloseHandle(Handle handle);
// The handles open in the process (GetCurrentProcess() only).
bool GetProcessHandleCount(Handle process, uint32_t* count);

}  // namespace os
