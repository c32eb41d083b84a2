// Unpacks the 6-bit characters of STAPL compressed data into bytes.
#include "driver/firmware/stapl/sixbit.h"

namespace zor::firmware {

int StaplSixBitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 36;
  if (c == '_') return 62;
  if (c == '@') return 63;
  return -1;
}

bool StaplUnpackSixBit(std::string_view text, std::vector<uint8_t>* bytes) {
  bytes->clear();
  bytes->reserve(text.size() * 6 / 8 + 1);
  uint32_t pending = 0;
  int bits = 0;
  for (char c : text) {
    if (c == ' ') continue;
    const int value = StaplSixBitValue(c);
    if (value < 0) return false;
    pending |= static_cast<uint32_t>(value) << bits;
    bits += 6;
    if (bits >= 8) {
      bytes->push_back(static_cast<uint8_t>(pending));
      pending >>= 8;
      bits -= 8;
    }
  }
  return true;
}

}  // namespace zor::firmware
