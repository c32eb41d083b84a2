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

  bool Out() const { return m_bits.empty() ? true : m_bits[m_head] != 0; }
  void Shift(bool tdi) {
    if (m_bits.empty()) return;
    m_bits[m_head] = tdi;
    if (++m_head == m_bits.size()) m_head = 0;
  }

  std::vector<uint8_t> Bits() const;
  // The low 64 bits as a number.
  uint64_t Value() const;

 private:
  std::vector<uint8_t> m_bits;
  std::size_t m_head = 0;
};

}  // namespace boardsim
