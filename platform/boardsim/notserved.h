// The control and inquire types that the driver's user-mode layers answer
// themselves: the kernel refuses them with the "not served" reply so that the
// request falls back to those layers.
#pragma once

#include <cstdint>

namespace boardsim {

bool SysInquireNotServed(uint64_t type);
bool SysControlNotServed(uint64_t type);
bool DigInquireNotServed(uint64_t type);
bool DigControlNotServed(uint64_t type);

// The types of the system's and the digitizer's own node maps (generated from the maps' XML),
// and the board's own controls beyond them. The board answers an inquiry of a map type, or of a
// type it holds a value of; it serves a control of a writable map type or of its own, and no other.
bool SystemType(uint64_t type);
bool SystemControlServed(uint64_t type);
bool DigitizerType(uint64_t type);
bool DigitizerControlServed(uint64_t type);

}  // namespace boardsim
