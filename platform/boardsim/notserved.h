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

}  // namespace boardsim
