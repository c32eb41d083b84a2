// The JTAG pins as a pin word (the low four bits) and as they sit in the board's JTAG control
// register (bits 24-27, with bit 28 enabling the pins).
#pragma once

#include <cstdint>

namespace zor::jtag {

inline constexpr uint32_t kPinTdo = 1u << 0;
inline constexpr uint32_t kPinTms = 1u << 1;
inline constexpr uint32_t kPinTck = 1u << 2;
inline constexpr uint32_t kPinTdi = 1u << 3;
inline constexpr uint32_t kPinMask = 0xFu;

inline constexpr uint32_t kRegisterPinShift = 24;
inline constexpr uint32_t kRegisterPinMask = kPinMask << kRegisterPinShift;
inline constexpr uint32_t kRegisterTdo = kPinTdo << kRegisterPinShift;
inline constexpr uint32_t kRegisterTms = kPinTms << kRegisterPinShift;
inline constexpr uint32_t kRegisterTck = kPinTck << kRegisterPinShift;
inline constexpr uint32_t kRegisterTdi = kPinTdi << kRegisterPinShift;
inline constexpr uint32_t kRegisterEnable = 1u << 28;

}  // namespace zor::jtag
