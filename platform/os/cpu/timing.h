// Time stamps and counters.
#pragma once

#include <cstdint>

namespace os {

// The processor's time-stamp counter (rdtsc on x86, a nanosecond clock elsewhere).
uint64_t ReadTimeStampCounter();
// A monotonic counter and its ticks per second (nanoseconds).
bool QueryPerformanceCounter(int64_t* count);
bool QueryPerformanceFrequency(int64_t* frequency);
// Milliseconds since an arbitrary start; the 32-bit one wraps.
uint32_t GetTickCount();
uint64_t GetTickCount64();

}  // namespace os
