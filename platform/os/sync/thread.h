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

}  // namespace os
