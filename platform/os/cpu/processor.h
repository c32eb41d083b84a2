// Processors and affinity. Masks cover the first 64 processors.
#pragma once

#include <cstdint>

#include "platform/os/core/handle.h"

namespace os {

uint32_t GetProcessorCount();
uint32_t GetCurrentProcessorNumber();

// Only GetCurrentProcess() / GetCurrentThread() are accepted as handles.
bool GetProcessAffinityMask(Handle process, uint64_t* processMask, uint64_t* systemMask);
bool SetProcessAffinityMask(Handle process, uint64_t mask);
// The previous mask, or 0 with the last error.
uint64_t SetThreadAffinityMask(Handle thread, uint64_t mask);

}  // namespace os
