#include "platform/boardsim/jtag/simjtagdevice.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace boardsim {

CSimJtagDevice::CSimJtagDevice(SimJtagDeviceConfig config) : config_(std::move(config)) {
  if (config_.irLength < 2 || config_.irLength > 31) {
    throw std::invalid_argument("instruction register length must lie in 2..31");
  }
  if (config_.idcode && (*config_.idcode & 1) == 0) {
    throw std::invalid_argument("an IDCODE must have bit 0 set");
  }
  if (config_.boundaryLength < 0 || config_.boundaryLength > kMaxBoundaryLength) {
    throw std::invalid_argument("boundary length must lie in 0.." +
                                std::to_string(kMaxBoundaryLength));
  }
  boundary_.assign(config_.boundaryLength, 0);
  Reset();
}

void CSimJtagDevice::Reset() {
  instruction_ = config_.idcode ? config_.idcodeOpcode : BypassOpcode();
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
