#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/boardsim/jtag/shiftregister.h"
#include "platform/boardsim/jtag/tapstate.h"

namespace boardsim {

struct SimJtagDeviceConfig {
  std::string name;
  int irLength = 2;
  // Devices without an IDCODE register select BYPASS after reset.
  std::optional<uint32_t> idcode;
  int boundaryLength = 0;
  // Opcodes; BYPASS is always all ones, any opcode not listed here selects BYPASS too.
  uint32_t extestOpcode = 0x0;
  uint32_t idcodeOpcode = 0x1;
  uint32_t sampleOpcode = 0x2;
};

// One IEEE 1149.1 device: TAP controller, instruction register, BYPASS, IDCODE and boundary
// registers. Registers shift least significant bit first; TDO changes on the falling edge.
class CSimJtagDevice {
 public:
  explicit CSimJtagDevice(SimJtagDeviceConfig config);
  virtual ~CSimJtagDevice() = default;

  void Rising(bool tms, bool tdi);
  void Falling();
  bool Tdo() const { return tdo_; }

  TapState State() const { return state_; }
  uint32_t Instruction() const { return instruction_; }
  const SimJtagDeviceConfig& Config() const { return config_; }
  uint32_t BypassOpcode() const { return (1u << config_.irLength) - 1; }
  // Fault injection: the IDCODE register then captures this value.
  void SetIdcode(std::optional<uint32_t> idcode) { config_.idcode = idcode; }
  // What the last boundary update loaded.
  const std::vector<uint8_t>& Boundary() const { return boundary_; }

 protected:
  // Data register selected by the current instruction: captured bits (bit 0 first).
  virtual std::vector<uint8_t> CaptureDr();
  virtual void UpdateDr(const CShiftRegister& reg);
  virtual void UpdateIr() {}
  virtual void IdleClock() {}
  virtual void ResetLogic() {}

 private:
  void Reset();

  SimJtagDeviceConfig config_;
  TapState state_ = TapState::kReset;
  uint32_t instruction_ = 0;
  CShiftRegister dr_;
  CShiftRegister ir_;
  std::vector<uint8_t> boundary_;
  bool tdo_ = true;
};

}  // namespace boardsim
