// The block that follows one overlapped request, like Windows' OVERLAPPED.
#pragma once

#include <cstdint>

#include "platform/os/core/handle.h"

namespace os {

struct Overlapped {
  // ERROR_IO_PENDING while the request runs, then its Windows error code.
  std::uintptr_t Internal = 0;
  // Bytes transferred once complete.
  std::uintptr_t InternalHigh = 0;
  std::uint32_t Offset = 0;
  std::uint32_t OffsetHigh = 0;
  // Optional event: reset when a request starts, set when it completes.
  Handle hEvent{};
};

bool HasOverlappedIoCompleted(const Overlapped* overlapped);

}  // namespace os
