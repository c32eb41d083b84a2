// The driver's own block of error codes: 200 codes of eight messages each.
#pragma once

#include <cstdint>

namespace zor::frame {

inline constexpr int32_t kFirstErrorCode = 4300;
inline constexpr int32_t kLastErrorCode = 4499;
inline constexpr int32_t kSubMessagesPerCode = 8;
inline constexpr int32_t kErrorCodeCount = kLastErrorCode - kFirstErrorCode + 1;

// One named slice of the code block; all slices share one table and one base.
struct ErrorRange {
  const wchar_t* name;
  uint32_t firstCode;
  uint32_t lastCode;
  uint32_t baseCode;
  const wchar_t* const* table;
};

inline constexpr int32_t kErrorRangeCount = 3;
extern const ErrorRange kErrorRanges[kErrorRangeCount];

// The text of a code and sub-message, or null when the table holds none (also
// for codes outside the block and sub-messages outside 0-7).
const wchar_t* MessageText(int64_t code, int64_t subCode);

}  // namespace zor::frame
