// The ADV7180 video decoder of one channel: its 256-byte register map and
// the picture it makes of the input signal.
#pragma once

#include <array>
#include <cstdint>

namespace boardsim {

// Colour standard families as the decoder's autodetection reports them
// (status register 1, bits 6:4).
enum class VideoStandard : uint8_t {
  kNtscMJ = 0,
  kNtsc443 = 1,
  kPalM = 2,
  kPal60 = 3,
  kPalBghid = 4,
  kSecam = 5,
  kPalCombN = 6,
  kSecam525 = 7,
};

class Adv7180 {
 public:
  static constexpr uint8_t kInputControl = 0x00;
  static constexpr uint8_t kContrast = 0x08;
  static constexpr uint8_t kBrightness = 0x0A;
  static constexpr uint8_t kHue = 0x0B;
  static constexpr uint8_t kDefaultY = 0x0C;
  static constexpr uint8_t kDefaultC = 0x0D;
  static constexpr uint8_t kStatus1 = 0x10;
  static constexpr uint8_t kStatus3 = 0x13;
  static constexpr uint8_t kSaturationCb = 0xE3;
  static constexpr uint8_t kSaturationCr = 0xE4;

  Adv7180();

  // Writes the registers whose given-flag is set in a DCF register block
  // (value image at 336, flags 8952 bytes further).
  void LoadDcf(const uint8_t* dcfBlock);
  // Power-on register values; the input signal stays as it is.
  void ResetRegisters();
  void Write(uint8_t reg, uint8_t value) { regs_[reg] = value; }
  uint8_t Read(uint8_t reg) const { return regs_[reg]; }

  // The standard of the signal on the input, used while VID_SEL autodetects.
  void SetInputStandard(VideoStandard standard) { input_ = standard; }
  void SetSignalPresent(bool present) { signal_ = present; }
  bool SignalPresent() const { return signal_; }

  VideoStandard Standard() const;
  bool Is50Hz() const;
  // Whether the output is the flat free-run colour instead of the picture.
  bool FreeRun() const;
  // Whether frames come at all: a signal, or free-run output enabled.
  bool ProducesFrames() const;
  // Refreshes the read-only status registers from the current state.
  void UpdateStatus();

 private:
  std::array<uint8_t, 256> regs_{};
  VideoStandard input_ = VideoStandard::kNtscMJ;
  bool signal_ = true;
};

}  // namespace boardsim
