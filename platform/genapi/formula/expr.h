#pragma once

#include <memory>
#include <string>

#include "platform/genapi/formula/formula.h"

namespace GenApi {

enum class ExprKind { Constant, Variable, Unary, Binary, Conditional, Function };

// Operators and functions, decided once when the formula is parsed.
enum class Op {
  None,
  Or,
  And,
  BitOr,
  BitXor,
  BitAnd,
  Equal,
  NotEqual,
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  ShiftLeft,
  ShiftRight,
  Add,
  Subtract,
  Multiply,
  Divide,
  Remainder,
  Power,
  Negate,
  Plus,
  BitNot,
  Not,
  Sgn,
  Neg,
  Atan,
  Cos,
  Sin,
  Tan,
  Abs,
  Exp,
  Ln,
  Lg,
  Sqrt,
  Trunc,
  Floor,
  Ceil,
  Round,
  Asin,
  Acos
};

Op OpFromText(const std::string& text, bool unary);

struct Formula::Expr {
  ExprKind kind = ExprKind::Constant;
  std::string op;  // operator or function name, for messages
  Op code = Op::None;
  Number value;
  int slot = -1;
  std::unique_ptr<Expr> a, b, c;
};

Number EvaluateExpr(const Formula::Expr& expr, VariableSource& variables);

}  // namespace GenApi
