// Waits on events, threads and named mutexes.
#pragma once

#include <cstdint>

#include "platform/os/core/handle.h"

namespace os {

inline constexpr uint32_t INFINITE = 0xFFFFFFFF;
inline constexpr uint32_t WAIT_OBJECT_0 = 0;
inline constexpr uint32_t WAIT_ABANDONED_0 = 0x80;
inline constexpr uint32_t WAIT_TIMEOUT = 258;
inline constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;
inline constexpr uint32_t MAXIMUM_WAIT_OBJECTS = 64;

// WAIT_OBJECT_0 (or WAIT_ABANDONED_0 for a mutex whose owner ended without
// releasing it), WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds);

// Any: WAIT_OBJECT_0 + index of the lowest signalled object. All: returns
// only when every object is signalled at the same moment and takes them all
// at once (automatic-reset events are reset, mutexes acquired together).
// count must be 1..64 and the handles valid and distinct; else WAIT_FAILED.
uint32_t WaitForMultipleObjects(uint32_t count, const Handle* objects, bool waitAll,
                                uint32_t milliseconds);

void Sleep(uint32_t milliseconds);

}  // namespace os
