#include "platform/boardsim/jtag/simiscdevice.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace boardsim {

CSimIscDevice::CSimIscDevice(SimJtagDeviceConfig config, SimIscMemoryConfig memory)
    : CSimJtagDevice(std::move(config)), memory_(memory) {
  if (Config().irLength < 5) {
    throw std::invalid_argument("a programmable device needs an instruction register of 5 bits");
  }
  if (memory_.words < 1 || memory_.wordBits < 1 || memory_.eraseCycles < 1) {
    throw std::invalid_argument("bad programmable memory size");
  }
  if (memory_.wordBits > kMaxWordBits || int64_t{memory_.words} * memory_.wordBits > kMaxCells) {
    throw std::invalid_argument("programmable memory larger than " + std::to_string(kMaxCells) +
                                " cells or words wider than " + std::to_string(kMaxWordBits) +
                                " bits");
  }
  while ((uint64_t{1} << addressBits_) < static_cast<uint64_t>(memory_.words)) ++addressBits_;
  cells_.assign(static_cast<size_t>(memory_.words) * memory_.wordBits, 1);
}

bool CSimIscDevice::IsIscOpcode(uint32_t op) const { return op >= kIscEnable && op <= kIscRead; }

bool CSimIscDevice::ReadBit(int word, int bit) const {
  if (stuck_ && stuck_->word == word && stuck_->bit == bit) return stuck_->value;
  return cells_[static_cast<size_t>(word) * memory_.wordBits + bit] != 0;
}

uint64_t CSimIscDevice::ReadWord(int word) const {
  uint64_t value = 0;
  for (int b = 0; b < memory_.wordBits && b < 64; ++b) {
    if (ReadBit(word, b)) value |= uint64_t{1} << b;
  }
  return value;
}

std::vector<uint8_t> CSimIscDevice::CaptureDr() {
  const uint32_t op = Instruction();
  if (!IsIscOpcode(op)) return CSimJtagDevice::CaptureDr();
  if (op == kIscAddressShift) return std::vector<uint8_t>(addressBits_, 0);
  if (op == kIscProgram) return std::vector<uint8_t>(memory_.wordBits, 0);
  if (op == kIscRead) {
    std::vector<uint8_t> bits(memory_.wordBits, 0);
    if (enabled_ && address_ < static_cast<uint64_t>(memory_.words)) {
      for (int b = 0; b < memory_.wordBits; ++b) bits[b] = ReadBit(static_cast<int>(address_), b);
    }
    return bits;
  }
  // ISC_DEFAULT: one bit that reads whether the device is enabled.
  return {static_cast<uint8_t>(enabled_)};
}

void CSimIscDevice::UpdateDr(const CShiftRegister& reg) {
  const uint32_t op = Instruction();
  if (!IsIscOpcode(op)) {
    CSimJtagDevice::UpdateDr(reg);
    return;
  }
  if (!enabled_) return;
  if (op == kIscAddressShift) {
    address_ = reg.Value();
  } else if (op == kIscProgram) {
    if (address_ < static_cast<uint64_t>(memory_.words)) {
      const std::vector<uint8_t> bits = reg.Bits();
      uint8_t* cell = &cells_[address_ * memory_.wordBits];
      for (int b = 0; b < memory_.wordBits; ++b) cell[b] &= bits[b];
    }
    ++address_;
  } else if (op == kIscRead) {
    ++address_;
  }
}

void CSimIscDevice::WriteWord(int word, uint64_t value) {
  uint8_t* cell = &cells_.at(static_cast<size_t>(word) * memory_.wordBits);
  for (int b = 0; b < memory_.wordBits; ++b) cell[b] = b < 64 ? (value >> b) & 1 : 1;
}

void CSimIscDevice::UpdateIr() {
  idleClocks_ = 0;
  if (Instruction() == kIscEnable) enabled_ = true;
  if (Instruction() == kIscDisable && enabled_) {
    enabled_ = false;
    if (leaveIsc_) leaveIsc_();
  }
}

void CSimIscDevice::IdleClock() {
  if (Instruction() != kIscErase || !enabled_) return;
  if (++idleClocks_ == memory_.eraseCycles) cells_.assign(cells_.size(), 1);
}

}  // namespace boardsim
