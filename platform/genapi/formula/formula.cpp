#include "platform/genapi/formula/formula.h"

#include <numbers>
#include <set>
#include <string_view>
#include <vector>

#include "platform/genapi/formula/expr.h"
#include "platform/genapi/formula/lexer.h"

namespace GenApi {
namespace {

using ExprPtr = std::unique_ptr<Formula::Expr>;

const std::set<std::string> kFunctions = {"SGN",   "NEG",  "ATAN",  "COS",  "SIN",  "TAN",
                                          "ABS",   "EXP",  "LN",    "LG",   "SQRT", "TRUNC",
                                          "FLOOR", "CEIL", "ROUND", "ASIN", "ACOS"};

// The level of a binary operator, loosest first (|| is 0, * / % are 9), or -1
// for any other operator (the lexer's operators have one or two characters).
int LevelOf(std::string_view op) {
  const char second = op.size() == 2 ? op[1] : '\0';
  switch (op[0]) {
    case '|':
      return second == '|' ? 0 : second == '\0' ? 2 : -1;
    case '&':
      return second == '&' ? 1 : second == '\0' ? 4 : -1;
    case '^':
      return second == '\0' ? 3 : -1;
    case '=':
      return second == '\0' ? 5 : -1;
    case '<':
      return second == '>' ? 5 : second == '\0' || second == '=' ? 6 : second == '<' ? 7 : -1;
    case '>':
      return second == '\0' || second == '=' ? 6 : second == '>' ? 7 : -1;
    case '+':
    case '-':
      return second == '\0' ? 8 : -1;
    case '*':
    case '/':
    case '%':
      return second == '\0' ? 9 : -1;  // "**" binds tighter, below the levels
    default:
      return -1;
  }
}

class Parser {
 public:
  Parser(std::string_view text, const Formula::SlotLookup& lookup, bool floatMode)
      : lexer_(text), lookup_(lookup), floatMode_(floatMode) {
    Advance();
  }

  ExprPtr ParseAll() {
    ExprPtr expr = ParseConditional();
    if (token_.kind != TokenKind::End) throw FormulaError("unexpected '" + token_.text + "'");
    return expr;
  }

 private:
  void Advance() { token_ = lexer_.Next(); }
  bool IsOp(std::string_view op) const {
    return token_.kind == TokenKind::Operator && token_.text == op;
  }
  void Expect(std::string_view op) {
    if (!IsOp(op)) {
      throw FormulaError("expected '" + std::string(op) + "' but found '" +
                         (token_.kind == TokenKind::End ? "end of formula" : token_.text) + "'");
    }
    Advance();
  }

  static ExprPtr Make(ExprKind kind, std::string op) {
    auto expr = std::make_unique<Formula::Expr>();
    expr->kind = kind;
    expr->code = OpFromText(op, kind == ExprKind::Unary);
    expr->op = std::move(op);
    return expr;
  }

  // Bounds the recursion so that a hostile formula cannot exhaust the stack.
  class Nesting {
   public:
    explicit Nesting(int& depth) : depth_(depth) {
      if (++depth_ > kMaxNesting) throw FormulaError("the formula nests too deeply");
    }
    ~Nesting() { --depth_; }

   private:
    int& depth_;
  };
  static constexpr int kMaxNesting = 200;

  ExprPtr ParseConditional() {
    Nesting nesting(depth_);
    ExprPtr condition = ParseLevel(0);
    if (!IsOp("?")) return condition;
    Advance();
    ExprPtr expr = Make(ExprKind::Conditional, "?");
    expr->a = std::move(condition);
    expr->b = ParseConditional();
    Expect(":");
    expr->c = ParseConditional();
    return expr;
  }

  // Operators of the same level associate to the left; an operand of a
  // level's operator is an expression of the tighter levels only.
  ExprPtr ParseLevel(int level) {
    ExprPtr left = ParseUnary();
    for (;;) {
      if (token_.kind != TokenKind::Operator) return left;
      const int found = LevelOf(token_.text);
      if (found < level) return left;
      ExprPtr expr = Make(ExprKind::Binary, token_.text);
      Advance();
      expr->a = std::move(left);
      expr->b = ParseLevel(found + 1);
      left = std::move(expr);
    }
  }

  ExprPtr ParseUnary() {
    Nesting nesting(depth_);
    if (IsOp("-") || IsOp("+") || IsOp("~") || IsOp("!")) {
      ExprPtr expr = Make(ExprKind::Unary, token_.text);
      Advance();
      expr->a = ParseUnary();
      return expr;
    }
    return ParsePower();
  }

  ExprPtr ParsePower() {
    ExprPtr base = ParsePrimary();
    if (!IsOp("**")) return base;
    ExprPtr expr = Make(ExprKind::Binary, "**");
    Advance();
    expr->a = std::move(base);
    expr->b = ParseUnary();  // right-associative
    return expr;
  }

  ExprPtr ParsePrimary() {
    if (token_.kind == TokenKind::Number) {
      ExprPtr expr = Make(ExprKind::Constant, "");
      expr->value = floatMode_ ? Number::Float(token_.number.AsFloat()) : token_.number;
      Advance();
      return expr;
    }
    if (IsOp("(")) {
      Advance();
      ExprPtr expr = ParseConditional();
      Expect(")");
      return expr;
    }
    if (token_.kind == TokenKind::Name) return ParseName();
    if (token_.kind == TokenKind::End) throw FormulaError("formula ends too early");
    throw FormulaError("unexpected '" + token_.text + "'");
  }

  ExprPtr ParseName() {
    const std::string name = token_.text;
    Advance();
    const int slot = lookup_ ? lookup_(name) : -1;
    if (slot >= 0) {
      ExprPtr expr = Make(ExprKind::Variable, name);
      expr->slot = slot;
      return expr;
    }
    if (IsOp("(") && kFunctions.count(name)) {
      Advance();
      ExprPtr expr = Make(ExprKind::Function, name);
      expr->a = ParseConditional();
      if (IsOp(",")) {
        Advance();
        expr->b = ParseConditional();
      }
      Expect(")");
      if (expr->b && name != "ROUND") throw FormulaError(name + " takes one argument");
      return expr;
    }
    if (name == "PI" || name == "E") {
      ExprPtr expr = Make(ExprKind::Constant, name);
      expr->value = Number::Float(name == "PI" ? std::numbers::pi : std::numbers::e);
      return expr;
    }
    throw FormulaError("unknown name '" + name + "'");
  }

  Lexer lexer_;
  const Formula::SlotLookup& lookup_;
  bool floatMode_;
  int depth_ = 0;
  Token token_;
};

}  // namespace

Op OpFromText(const std::string& text, bool unary) {
  static const std::vector<std::pair<std::string, Op>> kBinary = {
      {"||", Op::Or},         {"&&", Op::And},          {"|", Op::BitOr},
      {"^", Op::BitXor},      {"&", Op::BitAnd},        {"=", Op::Equal},
      {"<>", Op::NotEqual},   {"<", Op::Less},          {">", Op::Greater},
      {"<=", Op::LessEqual},  {">=", Op::GreaterEqual}, {"<<", Op::ShiftLeft},
      {">>", Op::ShiftRight}, {"+", Op::Add},           {"-", Op::Subtract},
      {"*", Op::Multiply},    {"/", Op::Divide},        {"%", Op::Remainder},
      {"**", Op::Power},      {"SGN", Op::Sgn},         {"NEG", Op::Neg},
      {"ATAN", Op::Atan},     {"COS", Op::Cos},         {"SIN", Op::Sin},
      {"TAN", Op::Tan},       {"ABS", Op::Abs},         {"EXP", Op::Exp},
      {"LN", Op::Ln},         {"LG", Op::Lg},           {"SQRT", Op::Sqrt},
      {"TRUNC", Op::Trunc},   {"FLOOR", Op::Floor},     {"CEIL", Op::Ceil},
      {"ROUND", Op::Round},   {"ASIN", Op::Asin},       {"ACOS", Op::Acos}};
  if (unary) {
    return text == "-" ? Op::Negate : text == "+" ? Op::Plus : text == "~" ? Op::BitNot : Op::Not;
  }
  for (const auto& [name, op] : kBinary) {
    if (name == text) return op;
  }
  return Op::None;
}

Formula::Formula() = default;
Formula::~Formula() = default;
Formula::Formula(Formula&&) noexcept = default;
Formula& Formula::operator=(Formula&&) noexcept = default;

void Formula::Parse(std::string_view text, const SlotLookup& lookup, bool floatMode) {
  root_ = Parser(text, lookup, floatMode).ParseAll();
}

Number Formula::Evaluate(VariableSource& variables) const {
  if (!root_) throw FormulaError("empty formula");
  return EvaluateExpr(*root_, variables);
}

}  // namespace GenApi
