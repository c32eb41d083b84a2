#include "platform/boardsim/jtag/simjtagdevice.h"

#include <stdexcept>
#include <utility>

namespace boardsim {

namespace {
// The instruction register captures ...01 in its two lowest bits.
constexpr uint64_t kIrCapture = 0x1;
}  // namespace

CSimJtagDevice::CSimJtagDevice(SimJtagDeviceConfig config) : config_(std::move(config)) {
  if (config_.irLength < 2 || config_.irLength > 31) {
    throw std::invalid_argument("instruction register length must lie in 2..31");
  }
  if (config_.idcode && (*config_.idcode & 1) == 0) {
    throw std::invalid_argument("an IDCODE must have bit 0 set");
  }
  if (config_.boundaryLength < 0) throw std::invalid_argument("negative boundary length");
  boundary_.assign(config_.boundaryLength, 0);
  Reset();
}

void CSimJtagDevice::Reset() {
  instruction_ = config_.idcode ? config_.idcodeOpcode : BypassOpcode();
}

void CSimJtagDevice::Rising(bool tms, bool tdi) {
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

void CSimJtagDevice::Falling() {
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

std::vector<uint8_t> CSimJtagDevice::CaptureDr() {
  const uint32_t op = instruction_;
  if (config_.idcode && op == config_.idcodeOpcode) {
    std::vector<uint8_t> bits(32);
    for (int i = 0; i < 32; ++i) bits[i] = (*config_.idcode >> i) & 1;
    return bits;
  }
  if (config_.boundaryLength > 0 && (op == config_.sampleOpcode || op == config_.extestOpcode)) {
    return boundary_;
  }
  return {0};  // BYPASS
}

void CSimJtagDevice::UpdateDr(const CShiftRegister& reg) {
  const uint32_t op = instruction_;
  if (config_.boundaryLength > 0 && (op == config_.sampleOpcode || op == config_.extestOpcode)) {
    boundary_ = reg.Bits();
  }
}

}  // namespace boardsim
