// Conversions between bit texts, pin letters, hex texts and numbers.
#include "driver/ieee1532/mcs/bittext.h"

#include <cctype>
#include <cstring>
#include <optional>

#include "driver/foundation/hextext.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscinputfile.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

int LetterBit(const std::string& bits, size_t at) {
  char c = bits[at];
  if (strchr("0Ldx", c) != nullptr) return 0;
  if (strchr("1Hu", c) != nullptr) return 1;
  IscReportf(kIscError, false, nullptr, "fData[%s/%ld]", bits.c_str(), static_cast<long>(at));
  return 0;
}

}  // namespace

std::string IscBitsToHex(const std::string& bits) {
  std::string hex;
  for (size_t end = bits.size(); end > 0; end = end >= 4 ? end - 4 : 0) {
    size_t start = end >= 4 ? end - 4 : 0;
    int value = 0;
    for (size_t i = start; i < end; ++i) value = value * 2 + LetterBit(bits, i);
    hex.insert(hex.begin(), "0123456789ABCDEF"[value]);
  }
  return hex;
}

std::string IscBitsGrouped(const std::string& bits) {
  std::string text;
  for (size_t i = 0; i < bits.size(); ++i) {
    if (i > 0 && (bits.size() - i) % 4 == 0) text += ' ';
    text += bits[i];
  }
  return text;
}

std::string IscBytesToBits(const std::vector<uint8_t>& bytes, int64_t bitCount) {
  if (bytes.empty() || bitCount <= 0) IscReportf(kIscError, false, nullptr, "rBTA-0");
  std::string bits(static_cast<size_t>(bitCount), '0');
  for (int64_t bit = 0; bit < bitCount && static_cast<size_t>(bit / 8) < bytes.size(); ++bit) {
    if ((bytes[static_cast<size_t>(bit / 8)] >> (bit % 8)) & 1) {
      bits[static_cast<size_t>(bitCount - 1 - bit)] = '1';
    }
  }
  return bits;
}

int IscBitValue(char c) {
  if (c != '0' && c != '1') IscReportf(kIscError, false, nullptr, "getBval[%c]", c);
  return c - '0';
}

std::string IscNumberToBits(uint64_t value, int bits, bool msbFirst) {
  std::string text(static_cast<size_t>(bits), '0');
  for (int bit = 0; bit < bits; ++bit) {
    if ((value >> bit) & 1) text[static_cast<size_t>(msbFirst ? bits - 1 - bit : bit)] = '1';
  }
  return text;
}

std::string IscPinLettersToBits(const std::string& letters) {
  std::string bits;
  for (char c : letters) {
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == 'D' || upper == 'L') {
      bits += '0';
    } else if (upper == 'H' || upper == 'U') {
      bits += '1';
    } else {
      IscReportf(kIscError, false, nullptr, "pv2b[%c]", c);
    }
  }
  return bits;
}

uint64_t IscBitsToNumber(const std::string& bits) {
  uint64_t value = 0;
  // More digits than the value holds would drop the high ones without a word.
  if (bits.size() > 64) IscReportf(kIscError, false, nullptr, "bin2long(%s)", bits.c_str());
  for (char c : bits) {
    if (c != '0' && c != '1') IscReportf(kIscError, false, nullptr, "bin2long(%s)", bits.c_str());
    value = value * 2 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

uint64_t IscHexToNumber(const std::string& hex) {
  const std::optional<uint64_t> value = foundation::ParseHex(hex);
  if (!value) IscReportf(kIscError, false, nullptr, "hex2ulong(%s)", hex.c_str());
  return value.value_or(0);
}

void IscShiftBypassInstruction(const BsdlEntity& entity) {
  std::string ones(static_cast<size_t>(entity.instructionLength), '1');
  TapShiftString(kTapInstructionRegister, entity.instructionLength, ones.c_str(), nullptr, false,
                 false);
}

std::string IscBoundarySafeText(const BsdlEntity& entity) {
  std::string text(entity.cells.size(), 'X');
  for (size_t i = 0; i < entity.cells.size(); ++i) {
    if (!entity.cells[i].defined) IscReportf(kIscError, false, nullptr, "Set BSC safe err");
    text[entity.cells.size() - 1 - i] = entity.cells[i].safe;
  }
  return text;
}

int IscClockCycle(int tms, int tdi) {
  TapSetPin(kTapPinTms, tms);
  TapSetPin(kTapPinTdi, tdi);
  return TapPulseTck(true);
}

}  // namespace zor::isc
