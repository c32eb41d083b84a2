#include "platform/boardsim/jtag/simgrabmodule.h"

#include <memory>

namespace boardsim {

CSimGrabModule::CSimGrabModule(uint32_t firmwareCode) : code_(firmwareCode) {
  SimJtagDeviceConfig flash;
  flash.name = "flash";
  flash.irLength = 8;
  flash.idcode = kFlashIdcode;
  flash.boundaryLength = 4;
  auto device = std::make_unique<CSimIscDevice>(flash, SimIscMemoryConfig{kFlashWords, 32, 100});
  flash_ = device.get();
  flash_->WriteWord(0, firmwareCode);
  // The FPGA reloads its image when the flash leaves ISC mode after programming.
  flash_->SetLeaveIscHandler([this] { code_ = static_cast<uint32_t>(flash_->ReadWord(0)); });
  chain_.AddDevice(std::move(device));
  SimJtagDeviceConfig fpga;
  fpga.name = "fpga";
  fpga.irLength = 6;
  fpga.idcode = kFpgaIdcode;
  fpga.boundaryLength = 20;
  chain_.AddDevice(std::make_unique<CSimJtagDevice>(fpga));
}

void CSimGrabModule::SetFirmwareCode(uint32_t code) {
  flash_->WriteWord(0, code);
  code_ = code;
}

}  // namespace boardsim
