// The STAPL data statements: declarations with initialisers, assignments, PRINT and EXPORT.
#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/sixbit.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/firmware/stapl/uncompress.h"
#include "driver/foundation/hextext.h"

namespace zor::firmware {

using namespace staplText;

namespace {

constexpr size_t kMaxPrint = 8192;
constexpr int64_t kMaxIntegerElements = int64_t{1} << 25;  // 256 MB of 64-bit values
// All arrays of a run together: each below its own limit, many could still exhaust memory.
constexpr int64_t kMaxArrayBytes = int64_t{1} << 28;

int64_t ArrayBytes(bool boolean, int64_t size) { return boolean ? (size + 31) / 32 * 4 : size * 8; }

int64_t ArrayBytes(const StaplArray& array) {
  return static_cast<int64_t>(array.bits.size() * sizeof(uint32_t) +
                              array.integers.size() * sizeof(int64_t));
}

// Splits "name[...]..." into the name and the text inside the brackets.
bool SplitIndexed(std::string_view text, std::string_view* inside, std::string_view* after) {
  if (text.empty() || text.front() != '[') return false;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') ++depth;
    if (text[i] == ']' && --depth == 0) {
      *inside = Trim(text.substr(1, i - 1));
      *after = Trim(text.substr(i + 1));
      return true;
    }
  }
  return false;
}

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
  for (int64_t i = 0; i < bytes; ++i)
    array.bits[i / 4] |= static_cast<uint32_t>(out[i]) << (8 * (i % 4));
  return kStaplSuccess;
}

// Runs of zeros (A-E), ones (I-M) or literal bits (Q-U); the letter's place in its group is
// the number of 6-bit characters holding the count.
int RlcInitialiser(StaplArray& array, std::string_view data) {
  const int64_t n = array.dimension;
  int64_t bit = 0;
  size_t i = 0;
  auto next = [&]() -> int {
    while (i < data.size() && data[i] == ' ') ++i;
    return i < data.size() ? data[i++] : -1;
  };
  while (bit < n) {
    const int letter = next();
    int kind, width;
    if (letter >= 'A' && letter <= 'E') {
      kind = 0, width = letter - 'A' + 1;
    } else if (letter >= 'I' && letter <= 'M') {
      kind = 1, width = letter - 'I' + 1;
    } else if (letter >= 'Q' && letter <= 'U') {
      kind = 2, width = letter - 'Q' + 1;
    } else {
      return kStaplSyntaxError;
    }
    int64_t count = 0;
    for (int w = 0; w < width; ++w) {
      const int value = StaplSixBitValue(static_cast<char>(next()));
      if (value < 0) return kStaplSyntaxError;
      count = count * 64 + value;
    }
    if (count > n - bit) return kStaplSyntaxError;
    if (kind < 2) {
      for (int64_t k = 0; k < count; ++k) SetStaplBit(array.bits.data(), bit++, kind == 1);
      continue;
    }
    for (int64_t k = 0; k < count; k += 6) {
      const int value = StaplSixBitValue(static_cast<char>(next()));
      if (value < 0) return kStaplSyntaxError;
      for (int b = 0; b < 6 && k + b < count; ++b) {
        SetStaplBit(array.bits.data(), bit++, (value >> b) & 1);
      }
    }
  }
  return next() < 0 ? kStaplSuccess : kStaplSyntaxError;
}

}  // namespace

int CStaplInterpreter::DoDeclaration(bool boolean, std::string_view rest) {
  std::string_view text = rest;
  const bool complete = StripSemicolon(text);
  const std::string_view name = TakeName(text);
  std::string_view dimension, init;
  const bool isArray = SplitIndexed(text, &dimension, &text);
  const bool hasInit = !text.empty();
  if (hasInit) {
    if (text.front() != '=') return kStaplSyntaxError;
    init = Trim(text.substr(1));
  }
  std::string longInit;
  if (!complete) {
    // Only an array initialiser may be longer than a statement: read it from the program.
    if (!isArray || !hasInit) return kStaplSyntaxError;
    const int rc = reader_.ReadLongInitialiser(reader_.StatementStart(), longInit);
    if (rc != kStaplSuccess) return rc;
    init = longInit;
  }
  const int32_t position = reader_.StatementStart();
  StaplSymbol* symbol = nullptr;
  int rc;
  if (!isArray) {
    int64_t value = 0;
    int type = boolean ? kStaplBoolean : kStaplInteger;
    if (hasInit && (rc = Evaluate(init, &value, &type)) != kStaplSuccess) return rc;
    if (boolean ? !IsBooleanType(type) : !IsIntegerType(type)) return kStaplTypeMismatch;
    if (boolean) value = value != 0;
    return AddSymbol(name, boolean ? StaplKind::kBoolean : StaplKind::kInteger, value, position,
                     &symbol);
  }
  int64_t size = 0;
  if ((rc = EvaluateInteger(dimension, &size)) != kStaplSuccess) return rc;
  if (size < 1) return kStaplBoundsError;
  // At most 256 MB an array: a larger one would be zero-filled page by page until the system
  // runs out of memory instead of failing its allocation.
  if (size > std::numeric_limits<int32_t>::max()) return kStaplOutOfMemory;
  if (!boolean && size > kMaxIntegerElements) return kStaplOutOfMemory;
  const StaplKind kind = boolean ? StaplKind::kBooleanArray : StaplKind::kIntegerArray;
  if ((rc = AddSymbol(name, kind, 0, position, &symbol)) != kStaplSuccess) return rc;
  if (symbol->array) {
    const bool inProcedure = block_ != nullptr && block_->kind == StaplKind::kProcedure;
    if (!inProcedure) return boolean ? kStaplSuccess : kStaplSyntaxError;
    symbol->kind = kind;
  }
  // A procedure's array declared again replaces the one of its last call.
  const int64_t replaced = symbol->array ? ArrayBytes(*symbol->array) : 0;
  const int64_t bytes = ArrayBytes(boolean, size);
  if (arrayBytes_ - replaced + bytes > kMaxArrayBytes) return kStaplOutOfMemory;
  auto array = std::make_unique<StaplArray>();
  array->dimension = size;
  if (boolean) {
    array->bits = MakeStaplBits(size);
  } else {
    array->integers.assign(size, 0);
  }
  if (hasInit) {
    rc = boolean ? InitialiseBooleans(*array, init) : InitialiseIntegers(*array, init);
    if (rc != kStaplSuccess) return rc;
    if (boolean) symbol->kind = StaplKind::kBooleanArrayInit;
  }
  symbol->array = std::move(array);
  arrayBytes_ += bytes - replaced;
  return kStaplSuccess;
}

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

int CStaplInterpreter::DoAssignment(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const size_t equals = FindTopLevel(text, '=');
  if (equals == std::string_view::npos) return kStaplSyntaxError;
  std::string_view target = Trim(text.substr(0, equals));
  const std::string_view source = Trim(text.substr(equals + 1));
  const std::string_view name = TakeName(target);
  StaplSymbol* symbol = nullptr;
  int rc = ResolveSymbol(name, &symbol);
  if (rc != kStaplSuccess) return rc;
  if (symbol->kind == StaplKind::kIntegerArrayInit ||
      symbol->kind == StaplKind::kBooleanArrayInit) {
    return kStaplAssignToConst;
  }
  int64_t value = 0;
  int type = 0;
  if (target.empty()) {
    if (symbol->kind != StaplKind::kInteger && symbol->kind != StaplKind::kBoolean) {
      return kStaplTypeMismatch;
    }
    if ((rc = Evaluate(source, &value, &type)) != kStaplSuccess) return rc;
    const bool fits =
        symbol->kind == StaplKind::kInteger ? IsIntegerType(type) : IsBooleanType(type);
    if (!fits) return kStaplTypeMismatch;
    symbol->value = symbol->kind == StaplKind::kBoolean ? value != 0 : value;
    return kStaplSuccess;
  }
  std::string_view inside, after;
  if (!SplitIndexed(target, &inside, &after) || !after.empty()) return kStaplSyntaxError;
  if (symbol->kind != StaplKind::kIntegerArray && symbol->kind != StaplKind::kBooleanArray) {
    return kStaplTypeMismatch;
  }
  StaplArray& array = *symbol->array;
  if (inside.empty() || FindTopLevel(inside, '.') != std::string_view::npos) {
    if (symbol->kind == StaplKind::kIntegerArray) return kStaplSyntaxError;
    StaplArrayArg to, from;
    if ((rc = ParseRange(*symbol, inside, &to)) != kStaplSuccess) return rc;
    if ((rc = ParseArrayArg(source, 0, &from)) != kStaplSuccess) return rc;
    const int64_t count = std::min(to.Length(), from.Length());
    if (count < 1) return kStaplBoundsError;
    std::vector<uint8_t> bits(count);  // the ranges may overlap
    for (int64_t i = 0; i < count; ++i) bits[i] = GetStaplBit(from.words, from.start + i);
    for (int64_t i = 0; i < count; ++i) SetStaplBit(to.words, to.start + i, bits[i] != 0);
    return kStaplSuccess;
  }
  int64_t index = 0;
  if ((rc = EvaluateInteger(inside, &index)) != kStaplSuccess) return rc;
  if ((rc = Evaluate(source, &value, &type)) != kStaplSuccess) return rc;
  const bool boolean = symbol->kind == StaplKind::kBooleanArray;
  if (boolean ? !IsBooleanType(type) : !IsIntegerType(type)) return kStaplTypeMismatch;
  if (index < 0 || index >= array.dimension) return kStaplBoundsError;
  if (boolean) {
    SetStaplBit(array.bits.data(), index, value != 0);
  } else {
    array.integers[index] = value;
  }
  return kStaplSuccess;
}

int CStaplInterpreter::DoPrint(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  std::string line;
  for (std::string_view item : SplitTopLevel(text)) {
    std::string_view quoted;
    std::string_view remainder = item;
    if (TakeQuoted(remainder, quoted)) {
      if (!remainder.empty()) return kStaplSyntaxError;
      line.append(quoted);
    } else if (item.substr(0, 4) == "CHR$") {
      int64_t value = 0;
      const int rc = EvaluateInteger(item.substr(4), &value);
      if (rc != kStaplSuccess) return rc;
      line.push_back(static_cast<char>(std::min<int64_t>(value, 127)));
    } else {
      int64_t value = 0;
      int type = 0;
      const int rc = Evaluate(item, &value, &type);
      if (rc != kStaplSuccess) return rc;
      line.append(std::to_string(value));
    }
    if (line.size() > kMaxPrint) line.resize(kMaxPrint);
  }
  host_.StaplMessage(line.c_str());
  return kStaplSuccess;
}

int CStaplInterpreter::DoExport(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  std::string_view key;
  if (!TakeQuoted(text, key) || text.empty() || text.front() != ',') return kStaplSyntaxError;
  const std::string_view value = Trim(text.substr(1));
  const std::string keyText(key);
  // A range or a whole Boolean array is exported as its bits.
  const size_t open = value.find('[');
  if (!value.empty() && value.back() == ']' && open != std::string_view::npos) {
    const std::string_view inside = Trim(value.substr(open + 1, value.size() - open - 2));
    if (inside.empty() || inside.find("..") != std::string_view::npos) {
      StaplArrayArg arg;
      const int rc = ParseArrayArg(value, 0, &arg);
      if (rc != kStaplSuccess) return rc;
      if (arg.Length() < 1) return kStaplBoundsError;
      StaplBits bits = MakeStaplBits(arg.Length());
      for (int64_t i = 0; i < arg.Length(); ++i) {
        SetStaplBit(bits.data(), i, GetStaplBit(arg.words, arg.start + i));
      }
      host_.StaplExportBits(keyText.c_str(), bits.data(), arg.Length());
      return kStaplSuccess;
    }
  }
  int64_t number = 0;
  int type = 0;
  const int rc = Evaluate(value, &number, &type);
  if (rc != kStaplSuccess) return rc;
  host_.StaplExport(keyText.c_str(), number);
  return kStaplSuccess;
}

}  // namespace zor::firmware
