#pragma once

#include <cstdint>

namespace zor::jtag {

// The board's 32-bit JTAG control register. On a board it is a word of the register window; the
// simulated board puts its JTAG chain behind the same two calls.
class IJtagRegisterAccess {
 public:
  virtual ~IJtagRegisterAccess() = default;
  virtual uint32_t ReadRegister() = 0;
  virtual void WriteRegister(uint32_t value) = 0;
};

}  // namespace zor::jtag
