#include "driver/firmware/boardjtagport.h"

#include "driver/foundation/conversions.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/zorstring.h"

using zor::foundation::CRegistryKey;
using zor::foundation::CZORString;
using zor::foundation::WideToAnsiEx;

namespace zor::firmware {

namespace {
// The imaging-board location of the registry table.
constexpr int32_t kImagingBoardLocation = 6;
}  // namespace

CBoardJtagPort::CBoardJtagPort(jtag::IJtagRegisterAccess* reg) : m_register(reg) {
  CRegistryKey key(kImagingBoardLocation, L"DravionLyn", false);
  CZORString folder;
  if (key.ReadString(L"FirmwarePath", folder)) WideToAnsiEx(folder.CStr(), m_firmwareFolder, false);
  m_bsdlFolder.Assign(m_firmwareFolder.CStr());
  m_bsdlFolder.AppendText("/bsdl_1532");
  SetCurrentJtagPort(this);
  if (m_register != nullptr) {
    m_shadow = m_register->ReadRegister() | jtag::kRegisterEnable;
    m_register->WriteRegister(m_shadow);
  }
}

CBoardJtagPort::~CBoardJtagPort() {
  if (m_register != nullptr) {
    m_register->WriteRegister(m_register->ReadRegister() & ~jtag::kRegisterEnable);
    m_register = nullptr;
  }
}

void CBoardJtagPort::WritePins(uint32_t pins) {
  m_shadow = (m_shadow & ~jtag::kRegisterPinMask) |
             ((pins & jtag::kPinMask) << jtag::kRegisterPinShift) | jtag::kRegisterEnable;
  if (m_register != nullptr) {
    m_register->WriteRegister(m_shadow);
    // The read-back flushes the posted write on the board; its value is not needed.
    (void)m_register->ReadRegister();
  }
}

uint32_t* CBoardJtagPort::ReadPins(uint32_t* pins) {
  if (m_register == nullptr) return pins;
  m_shadow = m_register->ReadRegister();
  *pins =
      (*pins & ~jtag::kPinMask) | ((m_shadow & jtag::kRegisterPinMask) >> jtag::kRegisterPinShift);
  return pins;
}

}  // namespace zor::firmware
