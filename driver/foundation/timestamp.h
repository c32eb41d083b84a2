// Reads the processor's time-stamp counter.
#pragma once

#include <cstdint>

#include "platform/os/cpu/timing.h"

namespace zor::foundation {

// The processor's time-stamp counter.
inline uint64_t GetTimeStamp() { return os::ReadTimeStampCounter(); }

}  // namespace zor::foundation
