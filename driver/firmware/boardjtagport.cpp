#include "driver/firmware/boardjtagport.h"

#include "driver/foundation/conversions.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/zorstring.h"

namespace {
// The imaging-board location of the registry table.
constexpr int32_t kImagingBoardLocation = 6;
}  // namespace

CBoardJtagPort::CBoardJtagPort(zor::jtag::IJtagRegisterAccess* reg) : m_register(reg) {
  CRegistryKey key(kImagingBoardLocation, L"DravionLyn", false);
  CZORString folder;
  if (key.ReadString(L"FirmwarePath", folder)) WideToAnsiEx(folder.CStr(), m_firmwareFolder, false);
  m_bsdlFolder.Assign(m_firmwareFolder.CStr());
  m_bsdlFolder.AppendText("/bsdl_1532");
  SetCurrentJtagPort(this);
  if (m_register != nullptr) {
    m_shadow = m_register->ReadRegister() | zor::jtag::kRegisterEnable;
    m_register->WriteRegister(m_shadow);
  }
}

CBoardJtagPort::~CBoardJtagPort() {
  if (m_register != nullptr) {
    m_register->WriteRegister(m_register->ReadRegister() & ~zor::jtag::kRegisterEnable);
    m_register = nullptr;
  }
}

void CBoardJtagPort::WritePins(uint32_t pins) {
  m_shadow = (m_shadow & ~zor::jtag::kRegisterPinMask) |
             ((pins & zor::jtag::kPinMask) << zor::jtag::kRegisterPinShift) |
             zor::jtag::kRegisterEnable;
  if (m_register != nullptr) {
    m_register->WriteRegister(m_shadow);
    // The read-back flushes the posted write on the board; its value is not needed.
    (void)m_register->ReadRegister();
  }
}

uint32_t* CBoardJtagPort::ReadPins(uint32_t* pins) {
  if (m_register == nullptr) return pins;
  m_shadow = m_register->ReadRegister();
  *pins = (*pins & ~zor::jtag::kPinMask) |
          ((m_shadow & zor::jtag::kRegisterPinMask) >> zor::jtag::kRegisterPinShift);
  return pins;
}
