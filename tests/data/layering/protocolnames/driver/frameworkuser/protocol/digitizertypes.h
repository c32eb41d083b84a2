// Digitizer types named a second time, twice for one number, and unlike the node map: the
// protocol-name check names the lines that expected.txt lists.
#pragma once

#include <cstdint>

namespace zor::protocol {

inline constexpr int64_t Q_SIZE_X = 1536;
inline constexpr int64_t Q_GRAB_TIMEOUT = 4127;
inline constexpr int64_t Q_SOURCE_SIZE_X = 4022;
inline constexpr int64_t Q_SOURCE_SIZE_Y = 4022;
inline constexpr int64_t Q_SOURCE_OFFSET_X = 0xFB8;
inline constexpr int64_t Q_SIZE_BAND_LUT = 1016;
inline constexpr int64_t kDecimation = 6600;

}  // namespace zor::protocol
