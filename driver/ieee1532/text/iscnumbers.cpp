// Numbers read from the engine's tokens: decimal and signed integers, and reals with exponents.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "driver/foundation/integerchecks.h"
#include "driver/ieee1532/text/iscinputfile.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

bool IscDecimalValue(const std::string& text, int64_t& value) {
  value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop != text.data();
}

int64_t InputFileTokenValue(IscInputFile& record) {
  int64_t value = 0;
  if (!IscDecimalValue(record.token, value) && !record.token.empty() &&
      std::isdigit(static_cast<unsigned char>(record.token[0]))) {
    IscReportf(kIscError, true, &record, "Number [%s] out of range", record.token.c_str());
  }
  return value;
}

int64_t InputFileReadInteger(IscInputFile& record) {
  InputFileNextToken(record, kIscTokenSkipSpace);
  bool negative = InputFileTokenIsChar(record, '-');
  if (negative) InputFileNextToken(record, kIscTokenKeepSpace);
  if (record.tokenKind != kIscTokenNumber) {
    IscReportf(kIscError, true, &record, "expected a number");
  }
  int64_t value = InputFileTokenValue(record);
  return negative ? -value : value;
}

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Reads "e[+|-]digits" where the token holds the 'e' and possibly the digits.
void ReadExponent(IscInputFile& record, std::string& text, const std::string& tail) {
  if (tail.size() > 1) {
    if (!AllDigits(tail.substr(1))) {
      IscReportf(kIscError, true, &record,
                 "Use the ff number syntax: digits[.digits][e[+|-]digits]");
    }
    text += "e" + tail.substr(1);
    return;
  }
  InputFileNextToken(record, kIscTokenKeepSpace);
  std::string sign;
  if (InputFileTokenIsChar(record, '-') || InputFileTokenIsChar(record, '+')) {
    sign = record.token;
    InputFileNextToken(record, kIscTokenKeepSpace);
  } else if (record.tokenKind != kIscTokenNumber) {
    IscReportf(kIscError, true, &record, "Exponent sign ?");
  }
  if (record.tokenKind != kIscTokenNumber) {
    IscReportf(kIscError, true, &record, "Use the ff number syntax: digits[.digits][e[+|-]digits]");
  }
  text += "e" + sign + record.token;
}

// Splits a token such as "0E" or "00e6" into its digits and its exponent part.
void SplitDigitsAndExponent(IscInputFile& record, std::string& text, const std::string& token) {
  size_t e = token.find_first_of("eE");
  std::string digits = token.substr(0, e);
  if (!AllDigits(digits) || e == std::string::npos) {
    IscReportf(kIscError, true, &record, "Use the ff number syntax: digits[.digits][e[+|-]digits]");
  }
  text += digits;
  ReadExponent(record, text, token.substr(e));
}

}  // namespace

int InputFileReadNumber(IscInputFile& record, double& real, int64_t& integer) {
  InputFileNextToken(record, kIscTokenSkipSpace);
  if (InputFileTokenIsChar(record, ';')) return kIscNumberSemicolon;
  if (record.token.empty() || !std::isdigit(static_cast<unsigned char>(record.token[0]))) {
    IscReportf(kIscError, true, &record, "Positive number expected");
  }
  std::string text;
  bool isReal = false;
  if (record.tokenKind == kIscTokenNumber) {
    text = record.token;
    InputFileNextToken(record, kIscTokenKeepSpace);
    if (InputFileTokenIsChar(record, '.')) {
      isReal = true;
      text += '.';
      InputFileNextToken(record, kIscTokenKeepSpace);
      if (record.tokenKind == kIscTokenNumber) {
        text += record.token;
      } else {
        SplitDigitsAndExponent(record, text, record.token);
      }
    } else {
      InputFilePushBackToken(record);
    }
  } else {
    isReal = true;
    SplitDigitsAndExponent(record, text, record.token);
  }
  real = strtod(text.c_str(), nullptr);
  // Every number read must convert to an integer as well: anything larger is no BSDL value.
  if (!std::isfinite(real) || real >= 0x1p63 || (!isReal && !IscDecimalValue(text, integer))) {
    IscReportf(kIscError, true, &record, "Number [%s] out of range", text.c_str());
  }
  if (isReal) integer = foundation::TruncateSaturated(real, 0);
  return isReal ? kIscNumberReal : kIscNumberInteger;
}

}  // namespace zor::isc
