// The firmware data file of a board variant and the version code its date gives.
#pragma once

#include <cstdint>

#include "driver/firmware/check/firmwarechecksystem.h"
#include "driver/foundation/error.h"
#include "driver/foundation/zorstring.h"

namespace zor::firmware {

// Capability bits of the board variants.
inline constexpr uint32_t kCapFourDecoders = 1u << 17;
inline constexpr uint32_t kCapStandard = 1u << 18;
inline constexpr uint32_t kCapMpeg4 = 1u << 19;

// The data file of the board variant ("/DravionLyn.firmware", ...), or null when no variant bit
// selects one.
const wchar_t* FirmwareFileName(uint32_t capabilities);

// The version code of a "20YYMMDD.HHMM" creation date; false for any other text.
bool PackFirmwareDate(const char* text, uint64_t& code);

// The board keeps the low 32 bits of a version code: years of 16 and more wrap, so only those
// bits can tell whether the module runs the file.
inline bool SameFirmware(uint64_t fileCode, uint32_t boardCode) {
  return static_cast<uint32_t>(fileCode) == boardCode;
}

// The registry's firmware folder; kFirmwareUpdateError/1 when "FirmwarePath" is missing or no
// string.
foundation::CError ReadFirmwareFolder(IFirmwareCheckSystem& system, foundation::CZORString& folder);
// The version code of a data file's "Creation_Date " header (0 on failure,
// kFpgaProgrammingError/3).
foundation::CError ReadFirmwareHeader(IFirmwareCheckSystem& system, const wchar_t* path,
                                      uint64_t& code);
// 1 when the grab module needs an update: the board asks for one, or its code differs from the
// data file's. A missing folder, variant file or header means no update.
int SelectFirmwareFile(IFirmwareCheckSystem& system);

}  // namespace zor::firmware
