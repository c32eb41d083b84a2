// Reads a camera configuration file into a digitizer's DCF register block.
#pragma once

#include <cstdint>
#include <string>

#include "driver/foundation/error.h"
#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::board {

inline constexpr uint32_t kDcfNameIsText = 0x10;     // the name argument is the DCF text
inline constexpr uint32_t kDcfKeepPositions = 0x20;  // positions are fixed; accepted for callers

using errorcode::kDigitizerAllocationError;
inline constexpr uint64_t kDcfErrorSubCode = 1;

// Construction reads and parses the file; the record then holds no error, or
// kDigitizerAllocationError sub-code 1 for a missing or malformed file or a bad pair in its
// section. Given keys are written into the block's value image and flagged in its second half;
// values the file does not give stay as the caller preset them.
class DcfRegisterParser : public foundation::CError {
 public:
  DcfRegisterParser(const wchar_t* name, uint8_t* block, uint32_t flags);
};

// Parses the key/value pairs of a normalised text from `at`, up to the next line that
// starts with '['. Returns false on the first bad pair (after which nothing more is
// stored).
bool ParseConfigKeyValues(const std::wstring& text, size_t at, uint8_t* block);

}  // namespace zor::board
