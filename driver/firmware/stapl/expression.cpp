// Evaluates STAPL expressions: lexer, precedence climbing and checked arithmetic.
#include "driver/firmware/stapl/expression.h"

#include <cctype>
#include <limits>
#include <string>

#include "driver/firmware/stapl/bitarray.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/symboltable.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/foundation/hextext.h"

namespace zor::firmware {

namespace {

struct EvalError {
  int code;
};

[[noreturn]] void Fail(int code) { throw EvalError{code}; }

enum class Tok {
  kEnd,
  kNumber,
  kName,
  kOp,  // operator or punctuation, text in op
};

struct Token {
  Tok kind = Tok::kEnd;
  std::string_view text;
  int64_t number = 0;
};

// What CEIL and FLOOR look at: the operation at the top of their argument.
enum class TopOp { kNone, kDivide, kSqrt, kLog2 };

struct Operand {
  int64_t value = 0;
  int type = kStaplInteger;
  TopOp op = TopOp::kNone;
  int64_t left = 0;   // dividend, or the argument of SQRT and LOG2
  int64_t right = 0;  // divisor
};

class CLexer {
 public:
  explicit CLexer(std::string_view text) : text_(text) {}

  const Token& Peek() {
    if (!peeked_) {
      token_ = Read();
      peeked_ = true;
    }
    return token_;
  }
  Token Next() {
    Peek();
    peeked_ = false;
    return token_;
  }
  bool IsOp(std::string_view op) {
    const Token& t = Peek();
    return t.kind == Tok::kOp && t.text == op;
  }
  void Expect(std::string_view op) {
    if (!IsOp(op)) Fail(kStaplSyntaxError);
    Next();
  }
  // The number after "#" (base 2) or "$" (base 16).
  int64_t NumberInBase(int base) {
    if (peeked_) Fail(kStaplSyntaxError);
    SkipBlanks();
    size_t end = pos_;
    while (end < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[end]))) ++end;
    if (end == pos_) Fail(kStaplSyntaxError);
    uint32_t value = 0;
    for (; pos_ < end; ++pos_) {
      const char c = text_[pos_];
      const int digit = foundation::HexDigitValue(c);
      if (digit >= base) Fail(kStaplSyntaxError);
      value = value * base + digit;
    }
    return static_cast<int32_t>(value);
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() &&
           (text_[pos_] <= ' ' || static_cast<unsigned char>(text_[pos_]) > 126)) {
      ++pos_;
    }
  }

  Token Read() {
    SkipBlanks();
    Token t;
    if (pos_ >= text_.size()) return t;
    const size_t start = pos_;
    const unsigned char c = text_[pos_];
    if (std::isalpha(c) || c == '_') {
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
        ++pos_;
      }
      t.kind = Tok::kName;
      t.text = text_.substr(start, pos_ - start);
      if (t.text == "OR") t = {Tok::kOp, "||", 0};
      if (t.text == "AND") t = {Tok::kOp, "&&", 0};
      return t;
    }
    if (std::isdigit(c)) {
      uint32_t value = 0;  // 32-bit two's complement: further digits wrap
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
        value = value * 10 + (text_[pos_++] - '0');
      }
      t.kind = Tok::kNumber;
      t.number = static_cast<int32_t>(value);
      return t;
    }
    static constexpr std::string_view kPairs[] = {
        "&&", "||", "==", "!=", ">=", "<=", "<<", ">>", ".."};
    t.kind = Tok::kOp;
    for (std::string_view pair : kPairs) {
      if (text_.substr(pos_, 2) == pair) {
        pos_ += 2;
        t.text = pair;
        return t;
      }
    }
    t.text = text_.substr(pos_++, 1);
    return t;
  }

  std::string_view text_;
  size_t pos_ = 0;
  Token token_;
  bool peeked_ = false;
};

int64_t CheckedAdd(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) Fail(kStaplIntegerOverflow);
  return r;
}
int64_t CheckedSub(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) Fail(kStaplIntegerOverflow);
  return r;
}
int64_t CheckedMul(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) Fail(kStaplIntegerOverflow);
  return r;
}

int64_t IntegerSqrt(int64_t x) {
  uint64_t lo = 0, hi = 3037000499;  // floor(sqrt(INT64_MAX))
  while (lo < hi) {
    const uint64_t mid = (lo + hi + 1) / 2;
    if (mid * mid <= static_cast<uint64_t>(x)) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return static_cast<int64_t>(lo);
}

int64_t Log2Ceil(int64_t x) {
  int64_t n = 0;
  while (n < 63 && (int64_t{1} << n) < x) ++n;
  return n;
}

class CParser {
 public:
  CParser(std::string_view text, IStaplSymbolResolver& resolver)
      : lex_(text), resolver_(resolver) {}

  Operand Parse() {
    Operand result = Binary(1);
    if (lex_.Peek().kind != Tok::kEnd) Fail(kStaplSyntaxError);
    return result;
  }

 private:
  static int Level(const Token& t) {
    if (t.kind != Tok::kOp) return 0;
    const std::string_view op = t.text;
    if (op == "||") return 1;
    if (op == "&&") return 2;
    if (op == "|") return 3;
    if (op == "^") return 4;
    if (op == "&") return 5;
    if (op == "==" || op == "!=") return 6;
    if (op == ">" || op == "<" || op == ">=" || op == "<=") return 7;
    if (op == "<<" || op == ">>") return 8;
    if (op == "+" || op == "-") return 9;
    if (op == "*" || op == "/" || op == "%") return 10;
    return 0;
  }

  Operand Binary(int minLevel) {
    Operand left = Unary();
    for (;;) {
      const Token& t = lex_.Peek();
      const int level = Level(t);
      if (level == 0 || level < minLevel) return left;
      const std::string_view op = lex_.Next().text;
      Operand right = Binary(level + 1);
      left = Apply(op, left, right);
    }
  }

  static void NeedInteger(const Operand& a) {
    if (!IsIntegerType(a.type)) Fail(kStaplTypeMismatch);
  }
  static void NeedBoolean(const Operand& a) {
    if (!IsBooleanType(a.type)) Fail(kStaplTypeMismatch);
  }
  static Operand Integer(int64_t v) { return Operand{v, kStaplInteger}; }
  static Operand Boolean(bool v) { return Operand{v ? 1 : 0, kStaplBoolean}; }

  static Operand Apply(std::string_view op, const Operand& a, const Operand& b) {
    if (op == "||" || op == "&&") return Logical(op, a, b);
    if (op == "==" || op == "!=") return Equality(op, a, b);
    NeedInteger(a);
    NeedInteger(b);
    return Arithmetic(op, a.value, b.value);
  }

  static Operand Logical(std::string_view op, const Operand& a, const Operand& b) {
    NeedBoolean(a);
    NeedBoolean(b);
    return Boolean(op == "||" ? (a.value || b.value) : (a.value && b.value));
  }

  // Integers compare by value, Booleans by truth.
  static Operand Equality(std::string_view op, const Operand& a, const Operand& b) {
    bool equal;
    if (IsIntegerType(a.type) && IsIntegerType(b.type)) {
      equal = a.value == b.value;
    } else if (IsBooleanType(a.type) && IsBooleanType(b.type)) {
      equal = (a.value != 0) == (b.value != 0);
    } else {
      Fail(kStaplTypeMismatch);
    }
    return Boolean(op == "==" ? equal : !equal);
  }

  static Operand Arithmetic(std::string_view op, int64_t x, int64_t y) {
    if (op == "|") return Integer(x | y);
    if (op == "^") return Integer(x ^ y);
    if (op == "&") return Integer(x & y);
    if (op == ">") return Boolean(x > y);
    if (op == "<") return Boolean(x < y);
    if (op == ">=") return Boolean(x >= y);
    if (op == "<=") return Boolean(x <= y);
    if (op == "<<") return Integer(static_cast<int64_t>(static_cast<uint64_t>(x) << (y & 63)));
    if (op == ">>") return Integer(x >> (y & 63));
    if (op == "+") return Integer(CheckedAdd(x, y));
    if (op == "-") return Integer(CheckedSub(x, y));
    if (op == "*") return Integer(CheckedMul(x, y));
    return Division(op, x, y);
  }

  // "/" and "%"; a quotient carries its operands for CEIL.
  static Operand Division(std::string_view op, int64_t x, int64_t y) {
    if (y == 0) Fail(kStaplDivideByZero);
    if (x == std::numeric_limits<int64_t>::min() && y == -1) Fail(kStaplIntegerOverflow);
    if (op == "%") return Integer(x % y);
    Operand q = Integer(x / y);
    q.op = TopOp::kDivide;
    q.left = x;
    q.right = y;
    return q;
  }

  // Every nesting (brackets, indexes, prefix operators) passes through here.
  Operand Unary() {
    if (++depth_ > kMaxDepth) Fail(kStaplSyntaxError);
    Operand result = UnaryBody();
    --depth_;
    return result;
  }

  Operand UnaryBody() {
    if (lex_.IsOp("-")) {
      lex_.Next();
      Operand a = Unary();
      NeedInteger(a);
      return Integer(CheckedSub(0, a.value));
    }
    if (lex_.IsOp("+")) {
      lex_.Next();
      return Unary();
    }
    if (lex_.IsOp("!")) {
      lex_.Next();
      Operand a = Unary();
      NeedBoolean(a);
      return Boolean(a.value == 0);
    }
    if (lex_.IsOp("~")) {
      lex_.Next();
      Operand a = Unary();
      NeedInteger(a);
      return Integer(~a.value);
    }
    return Primary();
  }

  Operand Parenthesised() {
    lex_.Expect("(");
    Operand a = Binary(1);
    lex_.Expect(")");
    return a;
  }

  Operand Primary() {
    Token t = lex_.Next();
    if (t.kind == Tok::kNumber) {
      return Operand{t.number, t.number == 0 || t.number == 1 ? kStaplEither : kStaplInteger};
    }
    if (t.kind == Tok::kOp && t.text == "(") {
      Operand a = Binary(1);
      lex_.Expect(")");
      return a;
    }
    if (t.kind != Tok::kName) Fail(kStaplSyntaxError);
    if (t.text == "ABS") {
      Operand a = Parenthesised();
      NeedInteger(a);
      return Integer(a.value < 0 ? CheckedSub(0, a.value) : a.value);
    }
    if (t.text == "LOG2") {
      Operand a = Parenthesised();
      NeedInteger(a);
      if (a.value <= 0) Fail(kStaplIntegerOverflow);
      Operand r = Integer(Log2Ceil(a.value));
      r.op = TopOp::kLog2;
      r.left = a.value;
      return r;
    }
    if (t.text == "SQRT") {
      Operand a = Parenthesised();
      NeedInteger(a);
      if (a.value < 0) Fail(kStaplIntegerOverflow);
      Operand r = Integer(IntegerSqrt(a.value));
      r.op = TopOp::kSqrt;
      r.left = a.value;
      return r;
    }
    if (t.text == "CEIL") return Ceil(Parenthesised());
    if (t.text == "FLOOR") {
      Operand a = Parenthesised();
      NeedInteger(a);
      if (a.op == TopOp::kLog2 && (int64_t{1} << a.value) != a.left) return Integer(a.value - 1);
      return Integer(a.value);
    }
    if (t.text == "INT") return IntConversion();
    StaplSymbol* symbol = Resolve(t.text);
    switch (symbol->kind) {
      case StaplKind::kInteger:
        return Integer(symbol->value);
      case StaplKind::kBoolean:
        return Boolean(symbol->value != 0);
      default:
        break;
    }
    if (!IsArrayKind(symbol->kind)) Fail(kStaplSyntaxError);
    lex_.Expect("[");
    Operand index = Binary(1);
    lex_.Expect("]");
    NeedInteger(index);
    return Element(*symbol, index.value);
  }

  static Operand Ceil(const Operand& a) {
    NeedInteger(a);
    // Any inexact quotient goes up by one, negative ones too: stored programs were written
    // against this rule. The product cannot overflow, being no larger than the dividend.
    if (a.op == TopOp::kDivide && a.value * a.right != a.left) return Integer(a.value + 1);
    if (a.op == TopOp::kSqrt && a.value * a.value < a.left) return Integer(a.value + 1);
    return Integer(a.value);
  }

  StaplSymbol* Resolve(std::string_view name) {
    StaplSymbol* symbol = nullptr;
    const int rc = resolver_.ResolveSymbol(name, &symbol);
    if (rc != 0) Fail(rc);
    return symbol;
  }

  static Operand Element(const StaplSymbol& array, int64_t index) {
    if (!array.array) Fail(kStaplInternalError);
    if (index < 0 || index >= array.array->dimension) Fail(kStaplBoundsError);
    if (IsBooleanArrayKind(array.kind))
      return Boolean(GetStaplBit(array.array->bits.data(), index));
    return Integer(array.array->integers[index]);
  }

  Operand IntConversion() {
    lex_.Expect("(");
    int64_t value = 0;
    if (lex_.IsOp("#") || lex_.IsOp("$")) {
      const int base = lex_.Next().text == "#" ? 2 : 16;
      value = lex_.NumberInBase(base);
    } else {
      value = BooleanRangeValue();
    }
    lex_.Expect(")");
    return Operand{value, value == 0 || value == 1 ? kStaplEither : kStaplInteger};
  }

  // A Boolean array range "name[first..second]", or the whole array "name[]".
  int64_t BooleanRangeValue() {
    const StaplArray& array = BooleanArrayNamed();
    const int64_t dimension = array.dimension;
    lex_.Expect("[");
    int64_t first = dimension - 1, second = 0;
    if (!lex_.IsOp("]")) {
      first = IndexOf(Binary(1));
      lex_.Expect("..");
      second = IndexOf(Binary(1));
    }
    lex_.Expect("]");
    if (first < 0 || second < 0 || first >= dimension || second >= dimension) {
      Fail(kStaplBoundsError);
    }
    return RangeAsInteger(array, first, second);
  }

  const StaplArray& BooleanArrayNamed() {
    const Token t = lex_.Next();
    if (t.kind != Tok::kName) Fail(kStaplSyntaxError);
    const StaplSymbol* symbol = Resolve(t.text);
    if (!IsArrayKind(symbol->kind)) Fail(kStaplSyntaxError);
    if (!IsBooleanArrayKind(symbol->kind)) Fail(kStaplTypeMismatch);
    if (!symbol->array) Fail(kStaplInternalError);
    return *symbol->array;
  }

  // The second index written is bit 0; bits count toward the first.
  static int64_t RangeAsInteger(const StaplArray& array, int64_t first, int64_t second) {
    const int64_t step = first >= second ? 1 : -1;
    const int64_t count = (first - second) * step + 1;
    if (count > 64) Fail(kStaplIntegerOverflow);
    uint64_t bits = 0;
    for (int64_t n = 0; n < count; ++n) {
      if (GetStaplBit(array.bits.data(), second + n * step)) bits |= uint64_t{1} << n;
    }
    return static_cast<int64_t>(bits);
  }

  static int64_t IndexOf(const Operand& a) {
    NeedInteger(a);
    return a.value;
  }

  // Deep enough for any real program, shallow enough for a small thread stack.
  static constexpr int kMaxDepth = 256;

  CLexer lex_;
  IStaplSymbolResolver& resolver_;
  int depth_ = 0;
};

}  // namespace

int StaplEvaluateExpression(std::string_view text, IStaplSymbolResolver& resolver, int64_t* value,
                            int* type) {
  try {
    CParser parser(text, resolver);
    const Operand result = parser.Parse();
    *value = result.value;
    *type = result.type;
    return kStaplSuccess;
  } catch (const EvalError& e) {
    return e.code;
  }
}

}  // namespace zor::firmware
