#pragma once

#include <atomic>
#include <cstdint>

#include "platform/boardsim/jtag/simiscdevice.h"
#include "platform/boardsim/jtag/simjtagchain.h"

namespace boardsim {

// The board's grab module as its JTAG connector and its information block see it: an FPGA that
// is only bypassed, nearest TDO, and the IEEE 1532 flash it configures from, nearest TDI. Word 0
// of a flash image is the image's version code; the FPGA reports it as the firmware code once it
// has loaded the image, which it does at start and whenever the flash leaves ISC mode.
class CSimGrabModule {
 public:
  static constexpr uint32_t kFpgaIdcode = 0x0F8031CF;
  static constexpr uint32_t kFlashIdcode = 0x0D1A1093;
  static constexpr int kFlashWords = 512;

  explicit CSimGrabModule(uint32_t firmwareCode);
  CSimGrabModule(const CSimGrabModule&) = delete;
  CSimGrabModule& operator=(const CSimGrabModule&) = delete;

  CSimJtagChain& Chain() { return chain_; }
  CSimIscDevice& Flash() { return *flash_; }

  uint32_t FirmwareCode() const { return code_.load(); }
  // A module that left the factory with an image of this code.
  void SetFirmwareCode(uint32_t code);
  // The information block's update-needed flag byte.
  uint8_t UpdateFlag() const { return updateFlag_.load(); }
  void SetUpdateFlag(uint8_t flag) { updateFlag_ = flag; }

 private:
  CSimJtagChain chain_;
  CSimIscDevice* flash_;
  std::atomic<uint32_t> code_;
  std::atomic<uint8_t> updateFlag_{0};
};

}  // namespace boardsim
