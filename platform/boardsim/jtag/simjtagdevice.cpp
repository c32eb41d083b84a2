#include "platform/boardsim/jtag/simjtagdevice.h"

#include <stdexcept>
#include <utility>

namespace boardsim {

namespace {
// The instruction register captures ...01 in its two lowest bits.
constexpr uint64_t kIrCapture = 0x1;
}  // namespace

CSimJtagDevice::CSimJtagDevice(SimJtagDeviceConfig config) : m_config(std::move(config)) {
  if (m_config.irLength < 2 || m_config.irLength > 31) {
    throw std::invalid_argument("instruction register length must lie in 2..31");
  }
  if (m_config.idcode && (*m_config.idcode & 1) == 0) {
    throw std::invalid_argument("an IDCODE must have bit 0 set");
  }
  if (m_config.boundaryLength < 0) throw std::invalid_argument("negative boundary length");
  m_boundary.assign(m_config.boundaryLength, 0);
  Reset();
}

void CSimJtagDevice::Reset() {
  m_instruction = m_config.idcode ? m_config.idcodeOpcode : BypassOpcode();
}

void CSimJtagDevice::Rising(bool tms, bool tdi) {
  switch (m_state) {
    case TapState::kDrCapture:
      m_dr.Capture(CaptureDr());
      break;
    case TapState::kDrShift:
      m_dr.Shift(tdi);
      break;
    case TapState::kIrCapture:
      m_ir.CaptureValue(kIrCapture, m_config.irLength);
      break;
    case TapState::kIrShift:
      m_ir.Shift(tdi);
      break;
    case TapState::kIdle:
      IdleClock();
      break;
    default:
      break;
  }
  m_state = NextTapState(m_state, tms);
  if (m_state == TapState::kReset) {
    Reset();
    ResetLogic();
  }
}

void CSimJtagDevice::Falling() {
  switch (m_state) {
    case TapState::kDrShift:
      m_tdo = m_dr.Out();
      break;
    case TapState::kIrShift:
      m_tdo = m_ir.Out();
      break;
    case TapState::kDrUpdate:
      UpdateDr(m_dr);
      break;
    case TapState::kIrUpdate:
      m_instruction = static_cast<uint32_t>(m_ir.Value());
      UpdateIr();
      break;
    default:
      break;
  }
}

std::vector<uint8_t> CSimJtagDevice::CaptureDr() {
  const uint32_t op = m_instruction;
  if (m_config.idcode && op == m_config.idcodeOpcode) {
    std::vector<uint8_t> bits(32);
    for (int i = 0; i < 32; ++i) bits[i] = (*m_config.idcode >> i) & 1;
    return bits;
  }
  if (m_config.boundaryLength > 0 && (op == m_config.sampleOpcode || op == m_config.extestOpcode)) {
    return m_boundary;
  }
  return {0};  // BYPASS
}

void CSimJtagDevice::UpdateDr(const CShiftRegister& reg) {
  const uint32_t op = m_instruction;
  if (m_config.boundaryLength > 0 && (op == m_config.sampleOpcode || op == m_config.extestOpcode)) {
    m_boundary = reg.Bits();
  }
}

}  // namespace boardsim
