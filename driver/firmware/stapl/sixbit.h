// The 6-bit character encoding of STAPL data.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zor::firmware {

// Value of a 6-bit data character ("0"-"9", "A"-"Z", "a"-"z", "_", "@"), or -1.
int StaplSixBitValue(char c);

// Packs the characters' 6-bit values, bit 0 first, into whole bytes. False on a bad character.
bool StaplUnpackSixBit(std::string_view text, std::vector<uint8_t>* bytes);

}  // namespace zor::firmware
