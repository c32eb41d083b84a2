#include "driver/ieee1532/host/iscport.h"

#include "driver/firmware/busywaittimer.h"
#include "driver/firmware/jtagprogrammer.h"

using zor::firmware::CJtagProgrammer;
using zor::firmware::CurrentJtagPort;
using zor::firmware::ProcessBusyWaitTimer;
using zor::foundation::CZORStringAscii;

namespace zor::isc {

std::string IscPortCommandText() {
  CJtagProgrammer* port = CurrentJtagPort();
  std::string text;
  if (port == nullptr) return text;
  for (const CZORStringAscii& line : port->m_lines) {
    if (line.Length() == 0) break;
    text += line.CStr();
    text += '\n';
  }
  return text;
}

uint8_t IscPortCommandSource() {
  CJtagProgrammer* port = CurrentJtagPort();
  return port != nullptr ? port->m_commandSource : 1;
}

void IscPortSetCommandSource(uint8_t source) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->m_commandSource = source;
}

void IscPortSetFailureWord(uint32_t word) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->m_failure = word;
}

std::string IscPortBsdlFolder() {
  CJtagProgrammer* port = CurrentJtagPort();
  return port != nullptr ? std::string(port->m_bsdlFolder.CStr()) : std::string();
}

void IscPortMessage(const char* text) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->Message(text);
}

void IscPortProgressTick() {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->ProgressTick();
}

uint32_t IscPortReadPins(uint32_t word) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->ReadPins(&word);
  return word;
}

void IscPortWritePins(uint32_t pins) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->WritePins(pins);
}

void IscPortWaitMicroseconds(double us) { ProcessBusyWaitTimer().WaitMicroseconds(us); }

void IscPortWaitMilliseconds(double ms) { ProcessBusyWaitTimer().WaitMilliseconds(ms); }

}  // namespace zor::isc
