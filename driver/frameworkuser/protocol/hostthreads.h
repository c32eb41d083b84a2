// How the driver's parts start threads of their own through the host (HostThrAlloc): the owner,
// an id of the host system's range, and the flags.
#pragma once

#include <cstdint>

namespace zor::protocol {

inline constexpr int64_t kThreadOwner = 0x7F000003;
inline constexpr int64_t kThreadFlags = 0x10000;

}  // namespace zor::protocol
