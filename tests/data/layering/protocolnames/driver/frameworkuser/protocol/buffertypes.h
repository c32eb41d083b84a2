// Another header may name a number that the digitizer's header names.
#pragma once

#include <cstdint>

namespace zor::protocol {

inline constexpr int64_t kDecimationOfBuffer = 6600;

}  // namespace zor::protocol
