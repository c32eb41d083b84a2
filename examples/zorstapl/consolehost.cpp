#include "examples/zorstapl/consolehost.h"

#include <cinttypes>
#include <cstdio>
#include <string>

void CConsoleStaplHost::StaplMessage(const char* text) { std::printf("%s\n", text); }

void CConsoleStaplHost::StaplExport(const char* key, int64_t value) {
  std::printf("Export: %s = %" PRId64 "\n", key, value);
}

void CConsoleStaplHost::StaplExportBits(const char* key, const uint32_t* bits, int64_t count) {
  // Hexadecimal, most significant digit first, as STAPL writes array literals.
  std::string hex;
  for (int64_t digit = (count + 3) / 4; digit-- > 0;) {
    int value = 0;
    for (int b = 0; b < 4 && 4 * digit + b < count; ++b) {
      const int64_t i = 4 * digit + b;
      value |= ((bits[i / 32] >> (i % 32)) & 1) << b;
    }
    hex.push_back("0123456789ABCDEF"[value]);
  }
  std::printf("Export: %s = $%s (%" PRId64 " bits)\n", key, hex.c_str(), count);
}
