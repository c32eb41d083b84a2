#include "platform/boardsim/adv7180.h"

#include "interfaces/kernel/digitizerrequests.h"

namespace boardsim {

namespace {

// VID_SEL (input control bits 7:4) values that force one standard; 0 to 3 autodetect.
VideoStandard ForcedStandard(uint8_t vidSel) {
  switch (vidSel) {
    case 0x4:
    case 0x5:
      return VideoStandard::kNtscMJ;
    case 0x6:
      return VideoStandard::kPal60;
    case 0x7:
      return VideoStandard::kNtsc443;
    case 0x8:
      return VideoStandard::kPalBghid;
    case 0x9:
    case 0xC:
    case 0xD:
      return VideoStandard::kPalCombN;
    case 0xA:
    case 0xB:
      return VideoStandard::kPalM;
    default:
      return VideoStandard::kSecam;
  }
}

}  // namespace

Adv7180::Adv7180() { ResetRegisters(); }

void Adv7180::ResetRegisters() {
  regs_.fill(0);
  // Power-on values of the registers the picture depends on.
  regs_[kContrast] = 0x80;
  regs_[kDefaultY] = 0x36;
  regs_[kDefaultC] = 0x7C;
  regs_[kSaturationCb] = 0x80;
  regs_[kSaturationCr] = 0x80;
  UpdateStatus();
}

void Adv7180::LoadDcf(const uint8_t* dcfBlock) {
  const uint8_t* values = dcfBlock + zor::kernel::kDcfAdv7180Offset;
  const uint8_t* given = values + zor::kernel::kDcfValueImageSize;
  for (int reg = 0; reg < 256; ++reg) {
    if (given[reg] != 0) regs_[reg] = values[reg];
  }
  UpdateStatus();
}

VideoStandard Adv7180::Standard() const {
  const uint8_t vidSel = regs_[kInputControl] >> 4;
  return vidSel < 4 ? input_ : ForcedStandard(vidSel);
}

bool Adv7180::Is50Hz() const {
  switch (Standard()) {
    case VideoStandard::kPalBghid:
    case VideoStandard::kSecam:
    case VideoStandard::kPalCombN:
      return true;
    default:
      return false;
  }
}

bool Adv7180::FreeRun() const {
  const uint8_t def = regs_[kDefaultY];
  return (def & 0x1) != 0 || (!signal_ && (def & 0x2) != 0);
}

bool Adv7180::ProducesFrames() const { return signal_ || FreeRun(); }

void Adv7180::UpdateStatus() {
  uint8_t status = static_cast<uint8_t>(static_cast<uint8_t>(Standard()) << 4);
  if (signal_)
    status |= 0x05;  // in lock, colour subcarrier locked
  else
    status |= 0x02;  // lock lost
  regs_[kStatus1] = status;
  uint8_t status3 = static_cast<uint8_t>(regs_[kStatus3] & ~0x14);
  if (Is50Hz()) status3 |= 0x04;
  if (FreeRun()) status3 |= 0x10;
  regs_[kStatus3] = status3;
}

}  // namespace boardsim
