// The port the engine programs through, reached through one current pointer.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/jtag/jtagengineport.h"

namespace zor::isc {

// The engine's view of the port it programs through. Without a current port, pins read back
// unchanged, nothing waits, messages go nowhere and the command text is empty.

// Makes the port current (null: none). Set and read from different threads.
void SetIscPort(jtag::IJtagEnginePort* port);
// Forgets the port when it is the current one, so that a port that is gone is never called.
void ReleaseIscPort(jtag::IJtagEnginePort* port);

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
