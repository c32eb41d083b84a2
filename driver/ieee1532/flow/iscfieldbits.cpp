// Resolves activity fields to bits, from data records and variables, and converts bit texts.
#include "driver/ieee1532/flow/iscfieldbits.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "driver/foundation/hextext.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

std::string NextDataRow(ChainDevice& device, const BsdlFlow& flow) {
  IscDataLookup& lookup = device.lookup;
  if (lookup.array == nullptr || lookup.phase < 0 ||
      lookup.next >= lookup.array->sections[lookup.phase].size()) {
    IscReportf(kIscError, false, nullptr, "Not enough data in array (%s) for flow %s(%s)",
               lookup.array != nullptr ? lookup.array->name.c_str() : "", flow.name.c_str(),
               flow.dataName.c_str());
  }
  return lookup.array->sections[lookup.phase][lookup.next++];
}

BsdlVariable& VariableOf(BsdlFlow& flow, const BsdlFieldValue& value, int64_t width) {
  IscCheckRange(kIscError, "CDE::gCVV", 0, value.variable,
                static_cast<int64_t>(flow.variables.size()) - 1);
  BsdlVariable& variable = flow.variables[static_cast<size_t>(value.variable)];
  if (variable.width != width) IscReportf(kIscError, false, nullptr, "CdeLen!=ArrayLen");
  return variable;
}

}  // namespace

std::string IscHexRowToBits(const std::string& row, int64_t width) {
  std::string bits(static_cast<size_t>(width), '0');
  int64_t bit = 0;
  for (auto it = row.rbegin(); it != row.rend(); ++it) {
    if (!std::isxdigit(static_cast<unsigned char>(*it))) {
      IscReportf(kIscError, false, nullptr, "Invalid hex data char [%c] on line [%ld]", *it, 0L);
    }
    int nibble = foundation::HexDigitValue(*it);
    for (int b = 0; b < 4; ++b, ++bit) {
      bool one = (nibble >> b) & 1;
      if (bit < width) {
        bits[static_cast<size_t>(width - 1 - bit)] = one ? '1' : '0';
      } else if (one) {
        IscReportf(kIscError, false, nullptr, "Line [%ld]: data hex string > [%ld] bits required",
                   0L, static_cast<long>(width));
      }
    }
  }
  return bits;
}

std::vector<uint32_t> IscBitsToWords(const std::string& bits) {
  int64_t width = static_cast<int64_t>(bits.size());
  std::vector<uint32_t> words(static_cast<size_t>((width + 31) / 32), 0);
  for (int64_t bit = 0; bit < width; ++bit) {
    if (bits[static_cast<size_t>(width - 1 - bit)] == '1') {
      words[static_cast<size_t>(bit / 32)] |= 1u << (bit % 32);
    }
  }
  return words;
}

std::string IscWordsToBits(const std::vector<uint32_t>& words, int64_t width) {
  std::string bits(static_cast<size_t>(width), '0');
  for (int64_t bit = 0; bit < width; ++bit) {
    size_t word = static_cast<size_t>(bit / 32);
    if (word < words.size() && ((words[word] >> (bit % 32)) & 1)) {
      bits[static_cast<size_t>(width - 1 - bit)] = '1';
    }
  }
  return bits;
}

void IscApplyVariableOperator(BsdlVariable& variable, char op, int64_t count) {
  std::vector<uint32_t>& words = variable.current;
  int64_t width = variable.width;
  std::string bits = IscWordsToBits(words, width);
  switch (op) {
    case '(':
      bits = bits.substr(static_cast<size_t>(count)) + std::string(static_cast<size_t>(count), '0');
      break;
    case ')':
      bits = std::string(static_cast<size_t>(count), '0') +
             bits.substr(0, static_cast<size_t>(width - count));
      break;
    case '~':
      for (char& c : bits) c = c == '1' ? '0' : '1';
      break;
    case '+':
    case '-': {
      // Carry or borrow runs from the least significant word up.
      uint64_t carry = static_cast<uint64_t>(count);
      for (uint32_t& word : words) {
        uint64_t next = op == '+' ? uint64_t{word} + carry : uint64_t{word} - carry;
        carry = op == '+' ? next >> 32 : (next >> 32 ? 1 : 0);
        word = static_cast<uint32_t>(next);
        if (carry == 0) break;
      }
      bits = IscWordsToBits(words, width);
      break;
    }
    default:
      IscReportf(kIscError, false, nullptr, "CDE::eO[%c]?", op);
  }
  words = IscBitsToWords(bits);
}

bool IscValueTakesData(const BsdlFieldValue& value) {
  if (value.kind == kBsdlFieldIscData) return value.mark == '?' || value.mark == '@';
  return value.kind == kBsdlFieldVariable && (value.op == '?' || value.op == '@');
}

bool IscActivitiesTakeData(const std::vector<BsdlActivity>& list) {
  for (const BsdlActivity& activity : list) {
    if (activity.isLoop && IscActivitiesTakeData(activity.loop)) return true;
    for (const auto* fields : {&activity.update, &activity.capture}) {
      for (const BsdlField& field : *fields) {
        if (IscValueTakesData(field.value) || IscValueTakesData(field.mask)) return true;
      }
    }
  }
  return false;
}

std::string IscSendableBits(std::string bits) {
  for (char& c : bits) c = c == '0' ? '0' : '1';
  return bits;
}

bool IscValueWritesOutput(const BsdlFieldValue& value) {
  return value.mark == '!' || value.mark == '@' ||
         (value.kind == kBsdlFieldVariable && (value.op == '!' || value.op == '@'));
}

void BsdlFieldDataFromIsc(const BsdlFieldValue& value, ChainDevice& device, BsdlFlow& flow,
                          std::string& text, int64_t position, int64_t width) {
  std::string bits;
  switch (value.kind) {
    case kBsdlFieldLiteral:
      bits = IscWordsToBits(value.words, width);
      break;
    case kBsdlFieldIscData:
      bits = IscValueTakesData(value) ? IscHexRowToBits(NextDataRow(device, flow), width)
                                      : std::string(static_cast<size_t>(width), '0');
      break;
    case kBsdlFieldVariable: {
      BsdlVariable& variable = VariableOf(flow, value, width);
      switch (value.op) {
        case '=':
          variable.current = variable.initial;
          break;
        case '.':
        case '!':
          break;
        case '?':
        case '@':
          variable.current = IscBitsToWords(IscHexRowToBits(NextDataRow(device, flow), width));
          break;
        case '(':
        case ')':
        case '+':
        case '-':
        case '~':
          IscApplyVariableOperator(variable, value.op, value.count);
          break;
        default:
          IscReportf(kIscError, false, nullptr, "gFPDop[%c]?", value.op);
      }
      bits = IscWordsToBits(variable.current, width);
      break;
    }
    default:
      IscReportf(kIscError, false, nullptr, "gFPD(FType)");
  }
  text.replace(static_cast<size_t>(position), static_cast<size_t>(width), bits);
}

void IscWriteFieldRecord(IscInputFile& output, const std::string& bits) {
  if (output.stream == nullptr) return;
  if (!output.firstRecord) InputFileWrite(output, 0, ",\n");
  output.firstRecord = false;
  std::vector<uint32_t> words = IscBitsToWords(bits);
  int64_t width = static_cast<int64_t>(bits.size());
  int topDigits = static_cast<int>(((width % 32) + 3) / 4);
  if (topDigits == 0) topDigits = 8;
  size_t column = 0;
  std::string digits;
  for (size_t i = words.size(); i-- > 0;) {
    char piece[16];
    snprintf(piece, sizeof(piece), "%0*X ", i + 1 == words.size() ? topDigits : 8, words[i]);
    InputFileWrite(output, 0, piece);
    digits.append(piece, strlen(piece) - 1);
    column += strlen(piece);
    if (column >= 64 && i > 0) {
      InputFileWrite(output, 0, "\n");
      column = 0;
    }
  }
  output.dataCrc = IscDataCrcUpdate(output.dataCrc, digits);
}

}  // namespace zor::isc
