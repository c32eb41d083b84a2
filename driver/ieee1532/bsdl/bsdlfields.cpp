// Parses the fields of a flow activity: widths, hex values, masks, variables and their operators.
#include <cctype>
#include <cstdlib>

#include "driver/foundation/hextext.h"
#include "driver/ieee1532/bsdl/bsdlparsing.h"

namespace zor::isc {

namespace {

bool IsValueToken(const IscInputFile& value) {
  return value.tokenKind == kIscTokenNumber || value.tokenKind == kIscTokenName;
}

// Hex text into words of width bits; a mask that is too wide is cut with a warning, since real
// device files write masks such as FFFFF for 18-bit fields.
std::vector<uint32_t> HexToWords(IscInputFile& value, std::string hex, int64_t width, bool isMask) {
  if (!foundation::IsHexText(hex)) BsdlError(value, "hex string must have hex chars only");
  size_t first = hex.find_first_not_of('0');
  hex = first == std::string::npos ? "0" : hex.substr(first);
  int64_t digits = static_cast<int64_t>(hex.size());
  int64_t needed = (width + 3) / 4;
  int64_t left = width - (needed - 1) * 4;
  int msb = foundation::HexDigitValue(hex[0]);
  bool tooWide = digits > needed || (digits == needed && left < 4 && (msb >> left) != 0);
  if (tooWide && !isMask) {
    if (digits > needed) {
      BsdlError(value, "hex [%s] cannot fit in [%ld] bit field", hex.c_str(),
                static_cast<long>(width));
    }
    BsdlError(value, "MSB hex val [%X] cannot fit in left [%ld] bits of [%ld] bit field", msb,
              static_cast<long>(left), static_cast<long>(width));
  }
  if (tooWide) {
    BsdlWarn(value, "hex [%s] cannot fit in [%ld] bit field", hex.c_str(),
             static_cast<long>(width));
  }
  std::vector<uint32_t> words(static_cast<size_t>((width + 31) / 32), 0);
  int64_t bit = 0;
  for (auto it = hex.rbegin(); it != hex.rend(); ++it, bit += 4) {
    int nibble = foundation::HexDigitValue(*it);
    for (int b = 0; b < 4; ++b) {
      if (bit + b < width && ((nibble >> b) & 1)) {
        words[static_cast<size_t>((bit + b) / 32)] |= 1u << ((bit + b) % 32);
      }
    }
  }
  return words;
}

// Marks before or after a value: "?", "?!" or "!".
char ReadMark(IscInputFile& value) {
  if (BsdlIsChar(value, '?')) {
    BsdlNext(value);
    if (BsdlIsChar(value, '!')) {
      BsdlNext(value);
      return '@';
    }
    return '?';
  }
  if (BsdlIsChar(value, '!')) {
    BsdlNext(value);
    return '!';
  }
  return 0;
}

int64_t ShiftCount(IscInputFile& value, int64_t width) {
  int64_t count = BsdlPositive(value);
  if (count > width - 1) {
    BsdlError(value, "Left/right shift count exceeds field width [%ld]-1",
              static_cast<long>(width));
  }
  return count;
}

void ReadOperator(IscInputFile& value, BsdlVariable& variable, BsdlFieldValue& field,
                  int64_t width) {
  BsdlNext(value);
  char c = value.token.size() == 1 && !IsValueToken(value) ? value.token[0] : 0;
  switch (c) {
    case '=':
      if (variable.initialized) {
        BsdlError(value, "Variable [%s] already initialized", variable.name.c_str());
      }
      BsdlNext(value);
      variable.initial = HexToWords(value, value.token, width, false);
      variable.current = variable.initial;
      variable.initialized = true;
      field.op = '=';
      return;
    case '!':
    case '~':
      field.op = c;
      break;
    case '?':
      BsdlNext(value);
      field.op = BsdlIsChar(value, '!') ? '@' : '?';
      if (field.op == '?') InputFilePushBackToken(value);
      break;
    case '+':
    case '-':
      field.op = c;
      field.count = BsdlPositive(value);
      break;
    case '<':
    case '>':
      BsdlNext(value);
      if (!BsdlIsChar(value, c)) BsdlError(value, "Expected << or >> operator");
      field.op = c == '<' ? '(' : ')';
      field.count = ShiftCount(value, width);
      break;
    case ',':
    case ':':
    case ')':
    case '*':
      InputFilePushBackToken(value);
      field.op = '.';
      break;
    default:
      if (BsdlIs(value, "wait") || value.eof || value.tokenKind == kIscTokenSpace) {
        InputFilePushBackToken(value);
        field.op = '.';
        break;
      }
      BsdlError(value, "Unknown operator");
  }
  if (!variable.initialized) {
    BsdlError(value, "Variable [%s] must be initialized", variable.name.c_str());
  }
}

void ReadVariable(BsdlFlow& flow, IscInputFile& value, BsdlFieldValue& field, int64_t width) {
  BsdlNext(value);
  if (!BsdlIsName(value)) BsdlError(value, "variable name expected");
  field.kind = kBsdlFieldVariable;
  int index = -1;
  for (size_t i = 0; i < flow.variables.size(); ++i) {
    if (flow.variables[i].name == value.lowerToken) index = static_cast<int>(i);
  }
  if (index < 0) {
    BsdlVariable variable;
    variable.name = value.lowerToken;
    variable.width = width;
    flow.variables.push_back(variable);
    index = static_cast<int>(flow.variables.size() - 1);
  }
  BsdlVariable& variable = flow.variables[static_cast<size_t>(index)];
  if (variable.width != width) {
    BsdlError(value, "[%ld] does not match previously defined field width [%ld]",
              static_cast<long>(width), static_cast<long>(variable.width));
  }
  field.variable = index;
  ReadOperator(value, variable, field, width);
  if (field.op == '?' || field.op == '@') ++flow.dataCount;
}

// One value (shifted, expected or mask); the current token is its first token.
void ReadValue(BsdlFlow& flow, IscInputFile& value, BsdlFieldValue& field, int64_t width,
               bool isMask) {
  field.mark = ReadMark(value);
  if (BsdlIsChar(value, '$')) {
    ReadVariable(flow, value, field, width);
    BsdlNext(value);
    return;
  }
  if (IsValueToken(value) && foundation::IsHexText(value.token)) {
    field.kind = kBsdlFieldLiteral;
    field.words = HexToWords(value, value.token, width, isMask);
    BsdlNext(value);
    if (field.mark == 0) field.mark = ReadMark(value);
    return;
  }
  if (field.mark != 0) {
    field.kind = kBsdlFieldIscData;
    if (field.mark != '!') ++flow.dataCount;
    return;
  }
  if (value.tokenKind == kIscTokenPunct) BsdlError(value, "Unrecognized symbol");
  BsdlError(value, "hex string must have hex chars only");
}

}  // namespace

// WIDTH ':' value ['*' mask]; the current token is the width. Leaves the token after the field.
void BsdlParseActivityField(BsdlFlow& flow, IscInputFile& value, BsdlField& field) {
  if (value.tokenKind != kIscTokenNumber) BsdlError(value, "Positive number expected");
  field.width = InputFileTokenValue(value);
  // No field is wider than the register it is part of; the width sizes its value words.
  if (field.width > kBsdlMaxRegisterLength) {
    BsdlError(value, "Field width [%ld] exceeds [%ld] bits", static_cast<long>(field.width),
              static_cast<long>(kBsdlMaxRegisterLength));
  }
  BsdlExpect(value, ':');
  BsdlNext(value);
  if (!BsdlIsChar(value, '*')) ReadValue(flow, value, field.value, field.width, false);
  if (BsdlIsChar(value, '*')) {
    BsdlNext(value);
    ReadValue(flow, value, field.mask, field.width, true);
  }
}

}  // namespace zor::isc
