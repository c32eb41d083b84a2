// The engine's current port: its command text, pins, waits, messages and failure word.
#include "driver/ieee1532/host/iscport.h"

#include <atomic>

using zor::jtag::IJtagEnginePort;

namespace zor::isc {

namespace {
std::atomic<IJtagEnginePort*> g_port{nullptr};
}  // namespace

void SetIscPort(IJtagEnginePort* port) { g_port = port; }

void ReleaseIscPort(IJtagEnginePort* port) { g_port.compare_exchange_strong(port, nullptr); }

std::string IscPortCommandText() {
  IJtagEnginePort* port = g_port;
  return port != nullptr ? port->CommandText() : std::string();
}

uint8_t IscPortCommandSource() {
  IJtagEnginePort* port = g_port;
  return port != nullptr ? port->CommandSource() : 1;
}

void IscPortSetCommandSource(uint8_t source) {
  if (IJtagEnginePort* port = g_port) port->SetCommandSource(source);
}

void IscPortSetFailureWord(uint32_t word) {
  if (IJtagEnginePort* port = g_port) port->SetFailureWord(word);
}

std::string IscPortBsdlFolder() {
  IJtagEnginePort* port = g_port;
  return port != nullptr ? port->BsdlFolder() : std::string();
}

void IscPortMessage(const char* text) {
  if (IJtagEnginePort* port = g_port) port->Message(text);
}

void IscPortProgressTick() {
  if (IJtagEnginePort* port = g_port) port->ProgressTick();
}

uint32_t IscPortReadPins(uint32_t word) {
  if (IJtagEnginePort* port = g_port) port->ReadPins(&word);
  return word;
}

void IscPortWritePins(uint32_t pins) {
  if (IJtagEnginePort* port = g_port) port->WritePins(pins);
}

void IscPortWaitMicroseconds(double us) {
  if (IJtagEnginePort* port = g_port) port->WaitMicroseconds(us);
}

void IscPortWaitMilliseconds(double ms) {
  if (IJtagEnginePort* port = g_port) port->WaitMilliseconds(ms);
}

}  // namespace zor::isc
