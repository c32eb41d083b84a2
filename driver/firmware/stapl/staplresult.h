// The STAPL interpreter's result codes and their texts.
#pragma once

#include <cstdint>

namespace zor::firmware {

// Result codes of a run; 0 is success.
enum StaplResult : int32_t {
  kStaplSuccess = 0,
  kStaplOutOfMemory = 1,
  kStaplIoError = 2,
  kStaplSyntaxError = 3,
  kStaplUnexpectedEnd = 4,
  kStaplUndefinedSymbol = 5,
  kStaplRedefinedSymbol = 6,
  kStaplIntegerOverflow = 7,
  kStaplDivideByZero = 8,
  kStaplCrcError = 9,
  kStaplInternalError = 10,
  kStaplBoundsError = 11,
  kStaplTypeMismatch = 12,
  kStaplAssignToConst = 13,
  kStaplNextUnexpected = 14,
  kStaplPopUnexpected = 15,
  kStaplReturnUnexpected = 16,
  kStaplIllegalSymbol = 17,
  kStaplVectorMapFailed = 18,
  kStaplPhaseError = 19,
  kStaplScopeError = 20,
  kStaplActionNotFound = 21,
  kStaplResultCount = 22,
};

// The text of a result code, or null for a code outside the table.
const char* StaplResultText(int32_t code);

}  // namespace zor::firmware
