// The process's open handles, to see that what a test made was closed again.
#pragma once

#include <cstdint>

#include "platform/os/core/handle.h"
#include "platform/os/sync/thread.h"

namespace zortest {

inline uint32_t HandleCount() {
  uint32_t count = 0;
  os::GetProcessHandleCount(os::GetCurrentProcess(), &count);
  return count;
}

}  // namespace zortest
