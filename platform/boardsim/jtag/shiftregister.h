#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace boardsim {

// A register between TDI and TDO: shifting moves bit 0 out and takes TDI in at the top. Kept as a
// ring so that one shift costs the same for any length.
class CShiftRegister {
 public:
  // Loads the captured bits (bit 0 first); the length is theirs.
  void Capture(const std::vector<uint8_t>& bits);
  void CaptureValue(uint64_t value, int length);

  bool Out() const { return bits_.empty() ? true : bits_[head_] != 0; }
  void Shift(bool tdi) {
    if (bits_.empty()) return;
    bits_[head_] = tdi;
    if (++head_ == bits_.size()) head_ = 0;
  }

  std::vector<uint8_t> Bits() const;
  // The low 64 bits as a number.
  uint64_t Value() const;

 private:
  std::vector<uint8_t> bits_;
  std::size_t head_ = 0;
};

}  // namespace boardsim
