#pragma once

#include <cstdint>
#include <string>

namespace zor::isc {

// The engine's view of the current board JTAG port and the process-wide delay timer.
// Without a current port, pins read back 0, messages go nowhere and the command text is empty.

std::string IscPortCommandText();
uint8_t IscPortCommandSource();
void IscPortSetCommandSource(uint8_t source);
void IscPortSetFailureWord(uint32_t word);
std::string IscPortBsdlFolder();
void IscPortMessage(const char* text);
void IscPortProgressTick();
// Reads the pins into word, keeping its bits above the four pins.
uint32_t IscPortReadPins(uint32_t word);
void IscPortWritePins(uint32_t pins);
void IscPortWaitMicroseconds(double us);
void IscPortWaitMilliseconds(double ms);

}  // namespace zor::isc
