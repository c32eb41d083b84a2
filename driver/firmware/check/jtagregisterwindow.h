// CJtagRegisterWindow: the check's window on the board's JTAG control register.
#pragma once

#include <cstdint>

#include "interfaces/jtag/jtagregisteraccess.h"

namespace zor::firmware {

// A 4-byte host-library window on the board's JTAG control register, for as long as the check
// runs. No window is made for a null register address.
class CJtagRegisterWindow {
 public:
  explicit CJtagRegisterWindow(uint64_t registerAddress);
  ~CJtagRegisterWindow() { Free(); }
  CJtagRegisterWindow(const CJtagRegisterWindow&) = delete;
  CJtagRegisterWindow& operator=(const CJtagRegisterWindow&) = delete;

  // The register as the window's host address reaches it; null without a window.
  jtag::IJtagRegisterAccess* Register() const { return register_; }
  void Free();

 private:
  int64_t buffer_ = 0;
  jtag::IJtagRegisterAccess* register_ = nullptr;
};

}  // namespace zor::firmware
