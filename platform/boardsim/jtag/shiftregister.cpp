#include "platform/boardsim/jtag/shiftregister.h"

namespace boardsim {

void CShiftRegister::Capture(const std::vector<uint8_t>& bits) {
  bits_ = bits;
  head_ = 0;
}

void CShiftRegister::CaptureValue(uint64_t value, int length) {
  bits_.assign(length, 0);
  for (int i = 0; i < length && i < 64; ++i) bits_[i] = (value >> i) & 1;
  head_ = 0;
}

std::vector<uint8_t> CShiftRegister::Bits() const {
  std::vector<uint8_t> bits(bits_.size());
  for (std::size_t i = 0; i < bits_.size(); ++i) bits[i] = bits_[(head_ + i) % bits_.size()];
  return bits;
}

uint64_t CShiftRegister::Value() const {
  uint64_t value = 0;
  for (std::size_t i = 0; i < bits_.size() && i < 64; ++i) {
    if (bits_[(head_ + i) % bits_.size()]) value |= uint64_t{1} << i;
  }
  return value;
}

}  // namespace boardsim
