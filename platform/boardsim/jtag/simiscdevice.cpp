#include "platform/boardsim/jtag/simiscdevice.h"

#include <stdexcept>
#include <utility>

namespace boardsim {

CSimIscDevice::CSimIscDevice(SimJtagDeviceConfig config, SimIscMemoryConfig memory)
    : CSimJtagDevice(std::move(config)), m_memory(memory) {
  if (Config().irLength < 5) {
    throw std::invalid_argument("a programmable device needs an instruction register of 5 bits");
  }
  if (m_memory.words < 1 || m_memory.wordBits < 1 || m_memory.eraseCycles < 1) {
    throw std::invalid_argument("bad programmable memory size");
  }
  while ((uint64_t{1} << m_addressBits) < static_cast<uint64_t>(m_memory.words)) ++m_addressBits;
  m_cells.assign(static_cast<size_t>(m_memory.words) * m_memory.wordBits, 1);
}

bool CSimIscDevice::IsIscOpcode(uint32_t op) const { return op >= kIscEnable && op <= kIscRead; }

bool CSimIscDevice::ReadBit(int word, int bit) const {
  if (m_stuck && m_stuck->word == word && m_stuck->bit == bit) return m_stuck->value;
  return m_cells[static_cast<size_t>(word) * m_memory.wordBits + bit] != 0;
}

uint64_t CSimIscDevice::ReadWord(int word) const {
  uint64_t value = 0;
  for (int b = 0; b < m_memory.wordBits && b < 64; ++b) {
    if (ReadBit(word, b)) value |= uint64_t{1} << b;
  }
  return value;
}

std::vector<uint8_t> CSimIscDevice::CaptureDr() {
  const uint32_t op = Instruction();
  if (!IsIscOpcode(op)) return CSimJtagDevice::CaptureDr();
  if (op == kIscAddressShift) return std::vector<uint8_t>(m_addressBits, 0);
  if (op == kIscProgram) return std::vector<uint8_t>(m_memory.wordBits, 0);
  if (op == kIscRead) {
    std::vector<uint8_t> bits(m_memory.wordBits, 0);
    if (m_enabled && m_address < static_cast<uint64_t>(m_memory.words)) {
      for (int b = 0; b < m_memory.wordBits; ++b) bits[b] = ReadBit(static_cast<int>(m_address), b);
    }
    return bits;
  }
  // ISC_DEFAULT: one bit that reads whether the device is enabled.
  return {static_cast<uint8_t>(m_enabled)};
}

void CSimIscDevice::UpdateDr(const CShiftRegister& reg) {
  const uint32_t op = Instruction();
  if (!IsIscOpcode(op)) {
    CSimJtagDevice::UpdateDr(reg);
    return;
  }
  if (!m_enabled) return;
  if (op == kIscAddressShift) {
    m_address = reg.Value();
  } else if (op == kIscProgram) {
    if (m_address < static_cast<uint64_t>(m_memory.words)) {
      const std::vector<uint8_t> bits = reg.Bits();
      uint8_t* cell = &m_cells[m_address * m_memory.wordBits];
      for (int b = 0; b < m_memory.wordBits; ++b) cell[b] &= bits[b];
    }
    ++m_address;
  } else if (op == kIscRead) {
    ++m_address;
  }
}

void CSimIscDevice::UpdateIr() {
  m_idleClocks = 0;
  if (Instruction() == kIscEnable) m_enabled = true;
  if (Instruction() == kIscDisable) m_enabled = false;
}

void CSimIscDevice::IdleClock() {
  if (Instruction() != kIscErase || !m_enabled) return;
  if (++m_idleClocks == m_memory.eraseCycles) m_cells.assign(m_cells.size(), 1);
}

}  // namespace boardsim
