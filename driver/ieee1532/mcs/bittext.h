// Bit texts, hex texts and numbers converted into one another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"

namespace zor::isc {

// Conversions between bit texts ('0'/'1' and pin letters), hex texts and numbers. A bad
// character stops the run.

std::string IscBitsToHex(const std::string& bits);
std::string IscBitsGrouped(const std::string& bits);  // a blank every four bits
std::string IscBytesToBits(const std::vector<uint8_t>& bytes, int64_t bitCount);
int IscBitValue(char c);
std::string IscNumberToBits(uint64_t value, int bits, bool msbFirst);
std::string IscPinLettersToBits(const std::string& letters);
uint64_t IscBitsToNumber(const std::string& bits);
uint64_t IscHexToNumber(const std::string& hex);
// Shifts all ones (BYPASS) through the entity's instruction register.
void IscShiftBypassInstruction(const BsdlEntity& entity);
// The safe values of the entity's boundary cells, cell 0 last.
std::string IscBoundarySafeText(const BsdlEntity& entity);
// One TCK cycle with the given TMS and TDI; returns TDO.
int IscClockCycle(int tms, int tdi);

}  // namespace zor::isc
