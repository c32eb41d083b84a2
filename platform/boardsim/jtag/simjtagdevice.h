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
  int boundaryLength = 0;  // at most kMaxBoundaryLength
  // Opcodes; BYPASS is always all ones, any opcode not listed here selects BYPASS too.
  uint32_t extestOpcode = 0x0;
  uint32_t idcodeOpcode = 0x1;
  uint32_t sampleOpcode = 0x2;
};

// One IEEE 1149.1 device: TAP controller, instruction register, BYPASS, IDCODE and boundary
// registers. Registers shift least significant bit first; TDO changes on the falling edge.
class CSimJtagDevice {
 public:
  // Far above any real part's; keeps a mistyped length from exhausting memory.
  static constexpr int kMaxBoundaryLength = 1 << 20;

  explicit CSimJtagDevice(SimJtagDeviceConfig config);
  virtual ~CSimJtagDevice() = default;

  // Every clock edge of the chain reaches every device: both are inline.
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
  // The instruction register captures ...01 in its two lowest bits.
  static constexpr uint64_t kIrCapture = 0x1;

  void Reset();

  SimJtagDeviceConfig config_;
  TapState state_ = TapState::kReset;
  uint32_t instruction_ = 0;
  CShiftRegister dr_;
  CShiftRegister ir_;
  std::vector<uint8_t> boundary_;
  bool tdo_ = true;
};

inline void CSimJtagDevice::Rising(bool tms, bool tdi) {
  switch (state_) {
    case TapState::kDrCapture:
      dr_.Capture(CaptureDr());
      break;
    case TapState::kDrShift:
      dr_.Shift(tdi);
      break;
    case TapState::kIrCapture:
      ir_.CaptureValue(kIrCapture, config_.irLength);
      break;
    case TapState::kIrShift:
      ir_.Shift(tdi);
      break;
    case TapState::kIdle:
      IdleClock();
      break;
    default:
      break;
  }
  state_ = NextTapState(state_, tms);
  if (state_ == TapState::kReset) {
    Reset();
    ResetLogic();
  }
}

inline void CSimJtagDevice::Falling() {
  switch (state_) {
    case TapState::kDrShift:
      tdo_ = dr_.Out();
      break;
    case TapState::kIrShift:
      tdo_ = ir_.Out();
      break;
    case TapState::kDrUpdate:
      UpdateDr(dr_);
      break;
    case TapState::kIrUpdate:
      instruction_ = static_cast<uint32_t>(ir_.Value());
      UpdateIr();
      break;
    default:
      break;
  }
}

}  // namespace boardsim
