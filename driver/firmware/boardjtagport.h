#pragma once

#include <cstdint>

#include "driver/firmware/busywaittimer.h"
#include "driver/firmware/jtagprogrammer.h"
#include "driver/firmware/jtagregisteraccess.h"

// Bit-bangs the four JTAG pins through the board's JTAG control register: bits 24-27 carry the pin
// word (bit 24 reads TDO), bit 28 enables the JTAG pins. Constructing a port makes it the current
// port; the JTAG pins stay enabled for its lifetime.
class CBoardJtagPort : public CJtagProgrammer {
 public:
  static constexpr uint32_t kPinShift = 24;
  static constexpr uint32_t kPinMask = 0xFu << kPinShift;
  static constexpr uint32_t kEnable = 1u << 28;

  // reg may be null: writes are then accepted and reads leave the word unchanged.
  explicit CBoardJtagPort(IJtagRegisterAccess* reg);
  ~CBoardJtagPort() override;

  void WritePins(uint32_t pins) override;
  uint32_t* ReadPins(uint32_t* pins) override;

 private:
  CBusyWaitTimer m_timer;
  uint32_t m_shadow = 0;
  IJtagRegisterAccess* m_register = nullptr;
};
