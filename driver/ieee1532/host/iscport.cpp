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
  for (const CZORStringAscii& line : port->lines_) {
    if (line.Length() == 0) break;
    text += line.CStr();
    text += '\n';
  }
  return text;
}

uint8_t IscPortCommandSource() {
  CJtagProgrammer* port = CurrentJtagPort();
  return port != nullptr ? port->commandSource_ : 1;
}

void IscPortSetCommandSource(uint8_t source) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->commandSource_ = source;
}

void IscPortSetFailureWord(uint32_t word) {
  if (CJtagProgrammer* port = CurrentJtagPort()) port->failure_ = word;
}

std::string IscPortBsdlFolder() {
  CJtagProgrammer* port = CurrentJtagPort();
  return port != nullptr ? std::string(port->bsdlFolder_.CStr()) : std::string();
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
