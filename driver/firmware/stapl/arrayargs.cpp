// Parses Boolean array arguments: a range of a named array or a literal.
#include <cctype>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/sixbit.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/firmware/stapl/uncompress.h"
#include "driver/foundation/hextext.h"

namespace zor::firmware {

using namespace staplText;

int CStaplInterpreter::ParseArrayArg(std::string_view text, int slot, StaplArrayArg* arg) {
  if (slot < 0 || slot >= static_cast<int>(literals_.size())) return kStaplInternalError;
  text = Trim(text);
  if (text.empty()) return kStaplSyntaxError;
  const char first = text.front();
  const bool literal =
      version_ == 2 ? (first == '#' || first == '$' || first == '@' || text.substr(0, 5) == "BOOL(")
                    : std::isdigit(static_cast<unsigned char>(first)) != 0;
  if (literal) return ParseLiteral(text, slot, arg);
  std::string_view rest = text;
  const std::string_view name = TakeName(rest);
  StaplSymbol* symbol = nullptr;
  int rc = ResolveSymbol(name, &symbol);
  if (rc != kStaplSuccess) return rc;
  if (!IsBooleanArrayKind(symbol->kind)) return kStaplTypeMismatch;
  if (rest.empty() || rest.front() != '[') return kStaplSyntaxError;
  const size_t close = FindTopLevel(rest.substr(1), ']');
  if (close == std::string_view::npos) return kStaplSyntaxError;
  if (!Trim(rest.substr(close + 2)).empty()) return kStaplSyntaxError;
  return ParseRange(*symbol, Trim(rest.substr(1, close)), arg);
}

int CStaplInterpreter::ParseRange(StaplSymbol& array, std::string_view inside, StaplArrayArg* arg) {
  if (!array.array) return kStaplInternalError;
  const int64_t dimension = array.array->dimension;
  arg->words = array.array->bits.data();
  arg->literal = false;
  if (inside.empty()) {
    if (version_ != 2) return kStaplSyntaxError;
    arg->start = 0;
    arg->end = dimension - 1;
    return kStaplSuccess;
  }
  const size_t dots = inside.find("..");
  if (dots == std::string_view::npos) return kStaplSyntaxError;
  int64_t first = 0, second = 0;
  int rc = EvaluateInteger(inside.substr(0, dots), &first);
  if (rc != kStaplSuccess) return rc;
  if ((rc = EvaluateInteger(inside.substr(dots + 2), &second)) != kStaplSuccess) return rc;
  if (first < 0 || second < 0 || first >= dimension || second >= dimension) {
    return kStaplBoundsError;
  }
  // STAPL proper writes ranges high..low.
  arg->start = version_ == 2 ? second : first;
  arg->end = version_ == 2 ? first : second;
  return kStaplSuccess;
}

namespace {

// "#" data: the last character is bit 0. The end bit of the literal, or -1 for a syntax error.
int64_t BinaryLiteral(const std::string& clean, StaplBits& bits) {
  const int64_t n = static_cast<int64_t>(clean.size());
  bits = MakeStaplBits(n);
  for (int64_t k = 0; k < n; ++k) {
    if (clean[k] != '0' && clean[k] != '1') return -1;
    SetStaplBit(bits.data(), n - 1 - k, clean[k] == '1');
  }
  return n - 1;
}

// "$" data, four bits a digit. STAPL proper puts the last digit lowest; the line-oriented form
// reads in text order.
int64_t HexLiteral(const std::string& clean, bool lastDigitLow, StaplBits& bits) {
  const int64_t n = static_cast<int64_t>(clean.size());
  bits = MakeStaplBits(4 * n);
  for (int64_t k = 0; k < n; ++k) {
    const int value = foundation::HexDigitValue(clean[k]);
    if (value < 0) return -1;
    const int64_t group = lastDigitLow ? n - 1 - k : k;
    for (int b = 0; b < 4; ++b) SetStaplBit(bits.data(), 4 * group + b, (value >> b) & 1);
  }
  return 4 * n - 1;
}

// "@" data: 6-bit characters of a compressed stream whose header gives its length in bytes.
int64_t CompressedLiteral(const std::string& clean, int version, StaplBits& bits) {
  std::vector<uint8_t> packed;
  if (!StaplUnpackSixBit(clean, &packed) || packed.size() < 4) return -1;
  const int64_t length =
      packed[0] | packed[1] << 8 | packed[2] << 16 | static_cast<int64_t>(packed[3]) << 24;
  if (length < 1 || length > std::numeric_limits<int32_t>::max() / 8) return -1;
  // A token of at least ten bits yields at most 255 bytes: a larger header is corrupt data,
  // not a size to allocate.
  if (length > (static_cast<int64_t>(packed.size()) * 8 / 10 + 1) * 255) return -1;
  std::vector<uint8_t> out(length);
  if (StaplUncompress(packed.data(), static_cast<int64_t>(packed.size()), out.data(), length,
                      version) != length) {
    return -1;
  }
  bits = MakeStaplBits(8 * length);
  PutStaplBytes(bits.data(), out);
  return 8 * length - 1;
}

}  // namespace

int CStaplInterpreter::ParseLiteral(std::string_view text, int slot, StaplArrayArg* arg) {
  StaplBits& bits = literals_[slot];
  arg->literal = true;
  arg->start = 0;
  if (text.substr(0, 5) == "BOOL(") return ParseBoolLiteral(text, bits, arg);
  const char introducer = version_ == 2 ? text.front() : '$';
  std::string_view data = version_ == 2 ? text.substr(1) : text;
  std::string clean;
  for (char c : data) {
    if (c != ' ') clean.push_back(c);
  }
  if (clean.empty()) return kStaplSyntaxError;
  int64_t end;
  if (introducer == '#') {
    end = BinaryLiteral(clean, bits);
  } else if (introducer == '$') {
    end = HexLiteral(clean, version_ == 2, bits);
  } else {
    end = CompressedLiteral(clean, version_, bits);
  }
  if (end < 0) return kStaplSyntaxError;
  arg->end = end;
  arg->words = bits.data();
  return kStaplSuccess;
}

// BOOL(expression): the 32 low bits of an integer.
int CStaplInterpreter::ParseBoolLiteral(std::string_view text, StaplBits& bits,
                                        StaplArrayArg* arg) {
  if (text.back() != ')') return kStaplSyntaxError;
  int64_t value = 0;
  const int rc = EvaluateInteger(text.substr(5, text.size() - 6), &value);
  if (rc != kStaplSuccess) return rc;
  bits.assign(1, static_cast<uint32_t>(value));
  arg->words = bits.data();
  arg->end = 31;
  return kStaplSuccess;
}

}  // namespace zor::firmware
