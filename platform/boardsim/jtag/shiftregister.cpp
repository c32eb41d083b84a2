#include "platform/boardsim/jtag/shiftregister.h"

namespace boardsim {

void CShiftRegister::Capture(const std::vector<uint8_t>& bits) {
  m_bits = bits;
  m_head = 0;
}

void CShiftRegister::CaptureValue(uint64_t value, int length) {
  m_bits.assign(length, 0);
  for (int i = 0; i < length && i < 64; ++i) m_bits[i] = (value >> i) & 1;
  m_head = 0;
}

std::vector<uint8_t> CShiftRegister::Bits() const {
  std::vector<uint8_t> bits(m_bits.size());
  for (std::size_t i = 0; i < m_bits.size(); ++i) bits[i] = m_bits[(m_head + i) % m_bits.size()];
  return bits;
}

uint64_t CShiftRegister::Value() const {
  uint64_t value = 0;
  for (std::size_t i = 0; i < m_bits.size() && i < 64; ++i) {
    if (m_bits[(m_head + i) % m_bits.size()]) value |= uint64_t{1} << i;
  }
  return value;
}

}  // namespace boardsim
