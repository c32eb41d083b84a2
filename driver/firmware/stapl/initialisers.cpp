// The initialisers of STAPL array declarations: integer lists and the Boolean BIN, HEX, ACA and
// RLC data.
#include <algorithm>
#include <cctype>
#include <cstdint>
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

namespace {

int BinInitialiser(StaplArray& array, std::string_view data, bool reverse) {
  const int64_t n = array.dimension;
  int64_t k = 0;
  for (char c : data) {
    if (c == ' ') continue;
    if ((c != '0' && c != '1') || k >= n) return kStaplSyntaxError;
    SetStaplBit(array.bits.data(), reverse ? n - 1 - k : k, c == '1');
    ++k;
  }
  return k == n ? kStaplSuccess : kStaplSyntaxError;
}

// Version 2 puts the last digit at bits 0-3, version 1 the first one.
int HexInitialiser(StaplArray& array, std::string_view data, bool lastDigitLow) {
  const int64_t n = array.dimension;
  const int64_t digits = (n + 3) / 4;
  std::string clean;
  for (char c : data) {
    if (c == ' ') continue;
    if (foundation::HexDigitValue(c) < 0) return kStaplSyntaxError;
    clean.push_back(c);
  }
  if (static_cast<int64_t>(clean.size()) != digits) return kStaplSyntaxError;
  for (int64_t k = 0; k < digits; ++k) {
    const int value = foundation::HexDigitValue(clean[lastDigitLow ? digits - 1 - k : k]);
    for (int b = 0; b < 4 && 4 * k + b < n; ++b) {
      SetStaplBit(array.bits.data(), 4 * k + b, (value >> b) & 1);
    }
  }
  return kStaplSuccess;
}

int AcaInitialiser(StaplArray& array, std::string_view data, int version) {
  std::vector<uint8_t> packed;
  if (!StaplUnpackSixBit(data, &packed)) return kStaplSyntaxError;
  const int64_t bytes = (array.dimension + 7) / 8;
  std::vector<uint8_t> out(bytes);
  if (StaplUncompress(packed.data(), static_cast<int64_t>(packed.size()), out.data(), bytes,
                      version) != bytes) {
    return kStaplSyntaxError;
  }
  PutStaplBytes(array.bits.data(), out);
  return kStaplSuccess;
}

// The characters of RLC data, blanks skipped.
class CRlcText {
 public:
  explicit CRlcText(std::string_view data) : data_(data) {}

  // -1 at the end; a byte past 0x7F is a character, not the end.
  int Next() {
    while (i_ < data_.size() && data_[i_] == ' ') ++i_;
    return i_ < data_.size() ? static_cast<unsigned char>(data_[i_++]) : -1;
  }
  // -1 when the next character is no 6-bit character.
  int NextSixBit() { return StaplSixBitValue(static_cast<char>(Next())); }

 private:
  std::string_view data_;
  size_t i_ = 0;
};

enum class RlcRun { kZeros, kOnes, kLiteral };

struct RlcGroup {
  char first;
  RlcRun run;
};

// Each group has five letters: the letter's place in its group is the number of 6-bit
// characters holding the run's length.
constexpr RlcGroup kRlcGroups[] = {
    {'A', RlcRun::kZeros}, {'I', RlcRun::kOnes}, {'Q', RlcRun::kLiteral}};

bool ReadRlcRun(CRlcText& text, RlcRun* run, int* width) {
  const int letter = text.Next();
  for (const RlcGroup& group : kRlcGroups) {
    if (letter >= group.first && letter < group.first + 5) {
      *run = group.run;
      *width = letter - group.first + 1;
      return true;
    }
  }
  return false;
}

bool ReadRlcLength(CRlcText& text, int width, int64_t* length) {
  *length = 0;
  for (int w = 0; w < width; ++w) {
    const int value = text.NextSixBit();
    if (value < 0) return false;
    *length = *length * 64 + value;
  }
  return true;
}

// A literal run's bits, 6 to a character from bit 0 upward.
bool CopyRlcLiteral(CRlcText& text, StaplArray& array, int64_t length, int64_t& bit) {
  for (int64_t k = 0; k < length; k += 6) {
    const int value = text.NextSixBit();
    if (value < 0) return false;
    for (int b = 0; b < 6 && k + b < length; ++b) {
      SetStaplBit(array.bits.data(), bit++, (value >> b) & 1);
    }
  }
  return true;
}

// Runs of zeros, ones or literal bits until the array is full.
int RlcInitialiser(StaplArray& array, std::string_view data) {
  const int64_t n = array.dimension;
  CRlcText text(data);
  int64_t bit = 0;
  while (bit < n) {
    RlcRun run = RlcRun::kZeros;
    int width = 0;
    int64_t length;
    if (!ReadRlcRun(text, &run, &width)) return kStaplSyntaxError;
    if (!ReadRlcLength(text, width, &length) || length > n - bit) return kStaplSyntaxError;
    if (run == RlcRun::kLiteral) {
      if (!CopyRlcLiteral(text, array, length, bit)) return kStaplSyntaxError;
      continue;
    }
    for (int64_t k = 0; k < length; ++k)
      SetStaplBit(array.bits.data(), bit++, run == RlcRun::kOnes);
  }
  return text.Next() < 0 ? kStaplSuccess : kStaplSyntaxError;
}

}  // namespace

int CStaplInterpreter::InitialiseIntegers(StaplArray& array, std::string_view text) {
  const std::vector<std::string_view> values = SplitTopLevel(text);
  if (static_cast<int64_t>(values.size()) != array.dimension) return kStaplSyntaxError;
  for (size_t i = 0; i < values.size(); ++i) {
    int64_t value = 0;
    const int rc = EvaluateInteger(values[i], &value);
    if (rc != kStaplSuccess) return rc;
    // STAPL proper writes the highest index first.
    array.integers[version_ == 2 ? values.size() - 1 - i : i] = value;
  }
  return kStaplSuccess;
}

int CStaplInterpreter::InitialiseBooleans(StaplArray& array, std::string_view text) {
  if (text.empty()) return kStaplSyntaxError;
  if (version_ == 2) {
    const char introducer = text.front();
    text.remove_prefix(1);
    if (introducer == '#') return BinInitialiser(array, text, true);
    if (introducer == '$') return HexInitialiser(array, text, true);
    if (introducer == '@') return AcaInitialiser(array, text, version_);
    return kStaplSyntaxError;
  }
  if (std::isdigit(static_cast<unsigned char>(text.front()))) {
    const std::vector<std::string_view> values = SplitTopLevel(text);
    if (static_cast<int64_t>(values.size()) != array.dimension) return kStaplSyntaxError;
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i] != "0" && values[i] != "1") return kStaplSyntaxError;
      SetStaplBit(array.bits.data(), static_cast<int64_t>(i), values[i] == "1");
    }
    return kStaplSuccess;
  }
  std::string_view data = text;
  const std::string_view word = TakeName(data);
  // The data of ACA and RLC start right after the word, case kept.
  data = text.substr(std::min<size_t>(3, text.size()));
  if (word.substr(0, 3) == "BIN") return BinInitialiser(array, data, false);
  if (word.substr(0, 3) == "HEX") return HexInitialiser(array, data, false);
  if (word.substr(0, 3) == "RLC") return RlcInitialiser(array, data);
  if (word.substr(0, 3) == "ACA") return AcaInitialiser(array, data, version_);
  return kStaplSyntaxError;
}

}  // namespace zor::firmware
