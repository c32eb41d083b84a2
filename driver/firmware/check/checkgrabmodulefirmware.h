// The grab-module firmware check that runs when a board system is allocated.
#pragma once

#include <cstdint>

#include "driver/firmware/check/firmwarechecksystem.h"
#include "driver/foundation/error.h"

namespace zor::firmware {

// Bits of the check's flags word.
inline constexpr uint64_t kFirmwareUpdateAlways = 1;           // update without comparing
inline constexpr uint64_t kFirmwareCompareFirst = 0x10000000;  // stop when up to date
inline constexpr uint64_t kFirmwareReportOnly = 0x20000000;    // report a mismatch, no update

// Compares the grab module's firmware with the variant's data file and, when they differ,
// leaves the update to the updater program or reprograms the module over JTAG, then shuts the
// computer down. Errors go into the caller's record (the first one wins). After a successful
// update with the shutdown started, the process ends with exit code 0.
void CheckGrabModuleFirmware(IFirmwareCheckSystem& system, uint64_t flags,
                             foundation::CError& error);

}  // namespace zor::firmware
