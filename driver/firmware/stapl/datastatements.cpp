// The STAPL data statements: declarations with initialisers, assignments, PRINT and EXPORT.
#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"

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

}  // namespace

// The parts of a declaration: BOOLEAN or INTEGER, a name, an optional size in brackets and an
// optional initialiser after "=".
struct StaplDeclaration {
  bool boolean = false;
  std::string_view name;
  bool isArray = false;
  std::string_view dimension;
  bool hasInit = false;
  std::string_view init;
  std::string longInit;  // an initialiser read from the program, which init then views
};

int CStaplInterpreter::DoDeclaration(bool boolean, std::string_view rest) {
  StaplDeclaration declaration;
  declaration.boolean = boolean;
  const int rc = ReadDeclaration(rest, declaration);
  if (rc != kStaplSuccess) return rc;
  const int32_t position = reader_.StatementStart();
  return declaration.isArray ? DeclareArray(declaration, position)
                             : DeclareScalar(declaration, position);
}

int CStaplInterpreter::ReadDeclaration(std::string_view rest, StaplDeclaration& declaration) {
  std::string_view text = rest;
  const bool complete = StripSemicolon(text);
  declaration.name = TakeName(text);
  declaration.isArray = SplitIndexed(text, &declaration.dimension, &text);
  declaration.hasInit = !text.empty();
  if (declaration.hasInit) {
    if (text.front() != '=') return kStaplSyntaxError;
    declaration.init = Trim(text.substr(1));
  }
  if (complete) return kStaplSuccess;
  // Only an array initialiser may be longer than a statement: read it from the program.
  if (!declaration.isArray || !declaration.hasInit) return kStaplSyntaxError;
  const int rc = reader_.ReadLongInitialiser(reader_.StatementStart(), declaration.boolean,
                                             declaration.longInit);
  if (rc != kStaplSuccess) return rc;
  declaration.init = declaration.longInit;
  return kStaplSuccess;
}

int CStaplInterpreter::DeclareScalar(const StaplDeclaration& declaration, int32_t position) {
  const bool boolean = declaration.boolean;
  int64_t value = 0;
  int type = boolean ? kStaplBoolean : kStaplInteger;
  if (declaration.hasInit) {
    const int rc = Evaluate(declaration.init, &value, &type);
    if (rc != kStaplSuccess) return rc;
  }
  if (boolean ? !IsBooleanType(type) : !IsIntegerType(type)) return kStaplTypeMismatch;
  if (boolean) value = value != 0;
  StaplSymbol* symbol = nullptr;
  return AddSymbol(declaration.name, boolean ? StaplKind::kBoolean : StaplKind::kInteger, value,
                   position, &symbol);
}

int CStaplInterpreter::DeclareArray(const StaplDeclaration& declaration, int32_t position) {
  int64_t size = 0;
  int rc = EvaluateArraySize(declaration, &size);
  if (rc != kStaplSuccess) return rc;
  const StaplKind kind = declaration.boolean ? StaplKind::kBooleanArray : StaplKind::kIntegerArray;
  StaplSymbol* symbol = nullptr;
  if ((rc = AddSymbol(declaration.name, kind, 0, position, &symbol)) != kStaplSuccess) return rc;
  // Run again, an array keeps its storage, except a procedure's, which is made anew.
  if (symbol->array) {
    const bool inProcedure = block_ != nullptr && block_->kind == StaplKind::kProcedure;
    if (!inProcedure) return declaration.boolean ? kStaplSuccess : kStaplSyntaxError;
    symbol->kind = kind;
  }
  return StoreArray(*symbol, declaration, size);
}

int CStaplInterpreter::EvaluateArraySize(const StaplDeclaration& declaration, int64_t* size) {
  const int rc = EvaluateInteger(declaration.dimension, size);
  if (rc != kStaplSuccess) return rc;
  if (*size < 1) return kStaplBoundsError;
  // At most 256 MB an array: a larger one would be zero-filled page by page until the system
  // runs out of memory instead of failing its allocation.
  if (*size > std::numeric_limits<int32_t>::max()) return kStaplOutOfMemory;
  if (!declaration.boolean && *size > kMaxIntegerElements) return kStaplOutOfMemory;
  return kStaplSuccess;
}

int CStaplInterpreter::StoreArray(StaplSymbol& symbol, const StaplDeclaration& declaration,
                                  int64_t size) {
  const bool boolean = declaration.boolean;
  // A procedure's array declared again replaces the one of its last call.
  const int64_t replaced = symbol.array ? ArrayBytes(*symbol.array) : 0;
  const int64_t bytes = ArrayBytes(boolean, size);
  if (arrayBytes_ - replaced + bytes > kMaxArrayBytes) return kStaplOutOfMemory;
  auto array = std::make_unique<StaplArray>();
  array->dimension = size;
  if (boolean) {
    array->bits = MakeStaplBits(size);
  } else {
    array->integers.assign(size, 0);
  }
  if (declaration.hasInit) {
    const int rc = boolean ? InitialiseBooleans(*array, declaration.init)
                           : InitialiseIntegers(*array, declaration.init);
    if (rc != kStaplSuccess) return rc;
    if (boolean) symbol.kind = StaplKind::kBooleanArrayInit;
  }
  symbol.array = std::move(array);
  arrayBytes_ += bytes - replaced;
  return kStaplSuccess;
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
  const int rc = ResolveSymbol(name, &symbol);
  if (rc != kStaplSuccess) return rc;
  if (symbol->kind == StaplKind::kIntegerArrayInit ||
      symbol->kind == StaplKind::kBooleanArrayInit) {
    return kStaplAssignToConst;
  }
  if (target.empty()) return AssignVariable(*symbol, source);
  std::string_view inside, after;
  if (!SplitIndexed(target, &inside, &after) || !after.empty()) return kStaplSyntaxError;
  if (symbol->kind != StaplKind::kIntegerArray && symbol->kind != StaplKind::kBooleanArray) {
    return kStaplTypeMismatch;
  }
  if (inside.empty() || FindTopLevel(inside, '.') != std::string_view::npos) {
    return AssignRange(*symbol, inside, source);
  }
  return AssignElement(*symbol, inside, source);
}

int CStaplInterpreter::AssignVariable(StaplSymbol& variable, std::string_view source) {
  if (variable.kind != StaplKind::kInteger && variable.kind != StaplKind::kBoolean) {
    return kStaplTypeMismatch;
  }
  int64_t value = 0;
  int type = 0;
  const int rc = Evaluate(source, &value, &type);
  if (rc != kStaplSuccess) return rc;
  const bool fits =
      variable.kind == StaplKind::kInteger ? IsIntegerType(type) : IsBooleanType(type);
  if (!fits) return kStaplTypeMismatch;
  variable.value = variable.kind == StaplKind::kBoolean ? value != 0 : value;
  return kStaplSuccess;
}

// Copies the source's bits into a range of a Boolean array, as many as the shorter range holds.
int CStaplInterpreter::AssignRange(StaplSymbol& array, std::string_view inside,
                                   std::string_view source) {
  if (array.kind == StaplKind::kIntegerArray) return kStaplSyntaxError;
  StaplArrayArg to, from;
  int rc = ParseRange(array, inside, &to);
  if (rc != kStaplSuccess) return rc;
  if ((rc = ParseArrayArg(source, 0, &from)) != kStaplSuccess) return rc;
  const int64_t count = std::min(to.Length(), from.Length());
  if (count < 1) return kStaplBoundsError;
  std::vector<uint8_t> bits(count);  // the ranges may overlap
  for (int64_t i = 0; i < count; ++i) bits[i] = GetStaplBit(from.words, from.start + i);
  for (int64_t i = 0; i < count; ++i) SetStaplBit(to.words, to.start + i, bits[i] != 0);
  return kStaplSuccess;
}

int CStaplInterpreter::AssignElement(StaplSymbol& array, std::string_view index,
                                     std::string_view source) {
  int64_t at = 0;
  int64_t value = 0;
  int type = 0;
  int rc = EvaluateInteger(index, &at);
  if (rc != kStaplSuccess) return rc;
  if ((rc = Evaluate(source, &value, &type)) != kStaplSuccess) return rc;
  const bool boolean = array.kind == StaplKind::kBooleanArray;
  if (boolean ? !IsBooleanType(type) : !IsIntegerType(type)) return kStaplTypeMismatch;
  StaplArray& storage = *array.array;
  if (at < 0 || at >= storage.dimension) return kStaplBoundsError;
  if (boolean) {
    SetStaplBit(storage.bits.data(), at, value != 0);
  } else {
    storage.integers[at] = value;
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
