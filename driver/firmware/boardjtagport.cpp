// CBoardJtagPort: the board's JTAG pins, and the firmware and BSDL folders from the registry.
#include "driver/firmware/boardjtagport.h"

#include "driver/foundation/conversions.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "driver/foundation/zorstring.h"

using zor::foundation::CRegistryKey;
using zor::foundation::CZORString;
using zor::foundation::WideToAnsiEx;

namespace zor::firmware {

namespace {
// The imaging-board location of the registry table.
using foundation::kImagingBoardLocation;
}  // namespace

CBoardJtagPort::CBoardJtagPort(jtag::IJtagRegisterAccess* reg) : register_(reg) {
  CRegistryKey key(kImagingBoardLocation, L"DravionLyn", false);
  CZORString folder;
  if (key.ReadString(L"FirmwarePath", folder)) WideToAnsiEx(folder.CStr(), firmwareFolder_, false);
  bsdlFolder_.Assign(firmwareFolder_.CStr());
  bsdlFolder_.AppendText("/bsdl_1532");
  SetCurrentJtagPort(this);
  if (register_ != nullptr) {
    shadow_ = register_->ReadRegister() | jtag::kRegisterEnable;
    register_->WriteRegister(shadow_);
  }
}

CBoardJtagPort::~CBoardJtagPort() {
  if (register_ != nullptr) {
    register_->WriteRegister(register_->ReadRegister() & ~jtag::kRegisterEnable);
    register_ = nullptr;
  }
}

void CBoardJtagPort::WritePins(uint32_t pins) {
  shadow_ = (shadow_ & ~jtag::kRegisterPinMask) |
            ((pins & jtag::kPinMask) << jtag::kRegisterPinShift) | jtag::kRegisterEnable;
  if (register_ != nullptr) {
    register_->WriteRegister(shadow_);
    // The read-back flushes the posted write on the board; its value is not needed.
    (void)register_->ReadRegister();
  }
}

uint32_t* CBoardJtagPort::ReadPins(uint32_t* pins) {
  if (register_ == nullptr) return pins;
  shadow_ = register_->ReadRegister();
  *pins =
      (*pins & ~jtag::kPinMask) | ((shadow_ & jtag::kRegisterPinMask) >> jtag::kRegisterPinShift);
  return pins;
}

}  // namespace zor::firmware
