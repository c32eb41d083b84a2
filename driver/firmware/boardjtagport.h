// CBoardJtagPort: the JTAG port that programs the board's own chain.
#pragma once

#include <cstdint>

#include "driver/firmware/busywaittimer.h"
#include "driver/firmware/jtagprogrammer.h"
#include "interfaces/jtag/jtagpins.h"
#include "interfaces/jtag/jtagregisteraccess.h"

namespace zor::firmware {

// Bit-bangs the four JTAG pins through the board's JTAG control register. Constructing a port makes
// it the current port; the JTAG pins stay enabled for its lifetime.
class CBoardJtagPort : public CJtagProgrammer {
 public:
  // reg may be null: writes are then accepted and reads leave the word unchanged.
  explicit CBoardJtagPort(jtag::IJtagRegisterAccess* reg);
  ~CBoardJtagPort() override;

  void WritePins(uint32_t pins) override;
  uint32_t* ReadPins(uint32_t* pins) override;

 private:
  CBusyWaitTimer timer_;
  uint32_t shadow_ = 0;
  jtag::IJtagRegisterAccess* register_ = nullptr;
};

}  // namespace zor::firmware
