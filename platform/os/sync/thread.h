// Threads with ids and waitable handles.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/os/core/handle.h"

namespace os {

inline constexpr uint32_t STILL_ACTIVE = 259;

using ThreadBody = std::function<uint32_t()>;

// Starts body on a new thread. The handle is signalled when the body returns;
// its result becomes the exit code. threadId may be null.
Handle CreateThread(ThreadBody body, uint32_t* threadId);

// STILL_ACTIVE while running, then the body's result (which may itself be
// STILL_ACTIVE; wait on the handle to know).
bool GetExitCodeThread(Handle thread, uint32_t* exitCode);

uint32_t GetCurrentThreadId();
uint32_t GetCurrentProcessId();

// Pseudo-handles, valid only for the calling thread or process.
inline constexpr Handle GetCurrentProcess() { return static_cast<Handle>(~std::uintptr_t{0}); }
inline constexpr Handle GetCurrentThread() { return static_cast<Handle>(~std::uintptr_t{1}); }

// Windows thread priorities (README.md gives their scheduling on Linux).
inline constexpr int THREAD_PRIORITY_IDLE = -15;
inline constexpr int THREAD_PRIORITY_LOWEST = -2;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
inline constexpr int THREAD_PRIORITY_NORMAL = 0;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
inline constexpr int THREAD_PRIORITY_HIGHEST = 2;
inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
inline constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

// The calling thread's priority (GetCurrentThread() only; another handle gives
// ERROR_INVALID_HANDLE). Setting fails with ERROR_INVALID_PARAMETER for a value
// that is none of the above, and with ERROR_ACCESS_DENIED where the process may
// not raise its threads that far; the thread keeps its priority then.
bool SetThreadPriority(Handle thread, int priority);
// The priority the thread's scheduling stands for, as read back from the
// system; THREAD_PRIORITY_ERROR_RETURN for another handle.
int GetThreadPriority(Handle thread);

}  // namespace os
