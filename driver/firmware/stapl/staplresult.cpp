// The texts of the STAPL interpreter's result codes.
#include "driver/firmware/stapl/staplresult.h"

namespace zor::firmware {

const char* StaplResultText(int32_t code) {
  static const char* const kTexts[kStaplResultCount] = {
      "success",
      "out of memory",
      "file access error",
      "syntax error",
      "unexpected end of file",
      "undefined symbol",
      "redefined symbol",
      "integer overflow",
      "divide by zero",
      "CRC mismatch",
      "internal error",
      "bounds error",
      "type mismatch",
      "assignment to constant object",
      "NEXT statement unexpected",
      "POP statement unexpected",
      "RETURN statement unexpected",
      "illegal symbolic name",
      "vector signal name not found",
      "unexpected statement type (phase error)",
      "illegal symbol reference (scope error)",
      "action name not found",
  };
  return code >= 0 && code < kStaplResultCount ? kTexts[code] : nullptr;
}

}  // namespace zor::firmware
