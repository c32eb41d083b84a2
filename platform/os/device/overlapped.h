// The block that follows one overlapped request, like Windows' OVERLAPPED.
#pragma once

#include <cstdint>

#include "platform/os/core/handle.h"

namespace os {

// The status word while a request runs, as Windows keeps it.
inline constexpr std::uintptr_t STATUS_PENDING = 0x103;

struct Overlapped {
  // STATUS_PENDING while the request runs; then 0, or 0xC0000000 with the
  // Windows error code in the low bits (read it with GetOverlappedResult).
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
