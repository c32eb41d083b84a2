#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/boardsim/jtag/simjtagdevice.h"

namespace boardsim {

struct SimIscMemoryConfig {
  // words x wordBits is at most CSimIscDevice::kMaxCells, wordBits at most kMaxWordBits.
  int words = 64;
  int wordBits = 32;
  // Run-Test/Idle clocks an erase needs before it takes effect.
  int eraseCycles = 100;
};

struct SimStuckBit {
  int word = 0;
  int bit = 0;
  bool value = false;
};

// An IEEE 1532 programmable device with a flash-like memory (erased cells read 1; programming can
// only clear bits). Opcodes and registers are listed in README.md.
class CSimIscDevice : public CSimJtagDevice {
 public:
  static constexpr uint32_t kIscEnable = 0x10;
  static constexpr uint32_t kIscDisable = 0x11;
  static constexpr uint32_t kIscErase = 0x12;
  static constexpr uint32_t kIscAddressShift = 0x13;
  static constexpr uint32_t kIscProgram = 0x14;
  static constexpr uint32_t kIscRead = 0x15;
  // Far above any real part's; keeps a mistyped size from exhausting memory.
  static constexpr int64_t kMaxCells = int64_t{1} << 24;
  static constexpr int kMaxWordBits = 4096;

  CSimIscDevice(SimJtagDeviceConfig config, SimIscMemoryConfig memory);

  bool Enabled() const { return enabled_; }
  int AddressBits() const { return addressBits_; }
  const SimIscMemoryConfig& Memory() const { return memory_; }
  // A cell as the device reads it back (a stuck bit included).
  bool ReadBit(int word, int bit) const;
  // The low 64 bits of a word as read back.
  uint64_t ReadWord(int word) const;
  void SetStuckBit(std::optional<SimStuckBit> stuck) { stuck_ = stuck; }
  // Stores a word as a factory would, without the erase that programming needs.
  void WriteWord(int word, uint64_t value);
  // Called when ISC_DISABLE takes the device out of ISC mode.
  void SetLeaveIscHandler(std::function<void()> handler) { leaveIsc_ = std::move(handler); }

 protected:
  std::vector<uint8_t> CaptureDr() override;
  void UpdateDr(const CShiftRegister& reg) override;
  void UpdateIr() override;
  void IdleClock() override;

 private:
  bool IsIscOpcode(uint32_t op) const;

  SimIscMemoryConfig memory_;
  int addressBits_ = 1;
  std::vector<uint8_t> cells_;
  std::optional<SimStuckBit> stuck_;
  bool enabled_ = false;
  uint64_t address_ = 0;
  int idleClocks_ = 0;
  std::function<void()> leaveIsc_;
};

}  // namespace boardsim
