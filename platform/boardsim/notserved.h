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

// The types of the system's and the digitizer's own node maps. The board answers an inquiry of
// one of them, or of a type it holds a value of; a control of a read-only one is not its own.
bool SystemType(uint64_t type);
bool SystemTypeReadOnly(uint64_t type);
bool DigitizerType(uint64_t type);
bool DigitizerTypeReadOnly(uint64_t type);

}  // namespace boardsim
