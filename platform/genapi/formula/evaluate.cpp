#include <cmath>
#include <limits>

#include "platform/genapi/formula/expr.h"

namespace GenApi {
namespace {

// Integer arithmetic wraps like the device's registers instead of overflowing.
int64_t Wrap(uint64_t value) { return static_cast<int64_t>(value); }
uint64_t U(int64_t value) { return static_cast<uint64_t>(value); }

int64_t IntPower(int64_t base, int64_t exponent) {
  if (exponent < 0) {
    if (base == 0) throw FormulaError("division by zero");
    if (base == 1) return 1;
    if (base == -1) return (exponent % 2 == 0) ? 1 : -1;
    return 0;
  }
  uint64_t result = 1;
  uint64_t factor = U(base);
  for (uint64_t e = U(exponent); e != 0; e >>= 1) {
    if (e & 1) result *= factor;
    factor *= factor;
  }
  return Wrap(result);
}

int64_t ShiftLeft(int64_t value, int64_t count) {
  return (count < 0 || count > 63) ? 0 : Wrap(U(value) << count);
}

int64_t ShiftRight(int64_t value, int64_t count) {
  if (count < 0 || count > 63) return value < 0 ? -1 : 0;
  return value >> count;
}

Number IntBinary(const std::string& op, int64_t x, int64_t y) {
  if (op == "+") return Number::Int(Wrap(U(x) + U(y)));
  if (op == "-") return Number::Int(Wrap(U(x) - U(y)));
  if (op == "*") return Number::Int(Wrap(U(x) * U(y)));
  if (op == "/" || op == "%") {
    if (y == 0) throw FormulaError("division by zero");
    if (y == -1) return Number::Int(op == "/" ? Wrap(0 - U(x)) : 0);
    return Number::Int(op == "/" ? x / y : x % y);
  }
  if (op == "**") return Number::Int(IntPower(x, y));
  throw FormulaError("unknown operator '" + op + "'");
}

Number FloatBinary(const std::string& op, double x, double y) {
  if (op == "+") return Number::Float(x + y);
  if (op == "-") return Number::Float(x - y);
  if (op == "*") return Number::Float(x * y);
  if (op == "/" || op == "%") {
    if (y == 0.0) throw FormulaError("division by zero");
    return Number::Float(op == "/" ? x / y : std::fmod(x, y));
  }
  if (op == "**") return Number::Float(std::pow(x, y));
  throw FormulaError("unknown operator '" + op + "'");
}

Number Compare(const std::string& op, const Number& x, const Number& y) {
  bool result = false;
  if (x.isFloat || y.isFloat) {
    const double a = x.AsFloat(), b = y.AsFloat();
    result = op == "="    ? a == b
             : op == "<>" ? a != b
             : op == "<"  ? a < b
             : op == ">"  ? a > b
             : op == "<=" ? a <= b
                          : a >= b;
  } else {
    const int64_t a = x.i, b = y.i;
    result = op == "="    ? a == b
             : op == "<>" ? a != b
             : op == "<"  ? a < b
             : op == ">"  ? a > b
             : op == "<=" ? a <= b
                          : a >= b;
  }
  return Number::Int(result ? 1 : 0);
}

Number Binary(const Formula::Expr& expr, VariableSource& variables) {
  const std::string& op = expr.op;
  const Number x = EvaluateExpr(*expr.a, variables);
  if (op == "&&" || op == "||") {
    if (op == "&&" && !x.IsTrue()) return Number::Int(0);
    if (op == "||" && x.IsTrue()) return Number::Int(1);
    return Number::Int(EvaluateExpr(*expr.b, variables).IsTrue() ? 1 : 0);
  }
  const Number y = EvaluateExpr(*expr.b, variables);
  if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
    return Compare(op, x, y);
  }
  if (op == "&") return Number::Int(x.AsInt() & y.AsInt());
  if (op == "|") return Number::Int(x.AsInt() | y.AsInt());
  if (op == "^") return Number::Int(x.AsInt() ^ y.AsInt());
  if (op == "<<") return Number::Int(ShiftLeft(x.AsInt(), y.AsInt()));
  if (op == ">>") return Number::Int(ShiftRight(x.AsInt(), y.AsInt()));
  if (x.isFloat || y.isFloat) return FloatBinary(op, x.AsFloat(), y.AsFloat());
  return IntBinary(op, x.i, y.i);
}

Number Unary(const Formula::Expr& expr, VariableSource& variables) {
  const Number x = EvaluateExpr(*expr.a, variables);
  if (expr.op == "!") return Number::Int(x.IsTrue() ? 0 : 1);
  if (expr.op == "~") return Number::Int(~x.AsInt());
  if (expr.op == "-") return x.isFloat ? Number::Float(-x.d) : Number::Int(Wrap(0 - U(x.i)));
  return x;
}

Number Function(const Formula::Expr& expr, VariableSource& variables) {
  const std::string& f = expr.op;
  const Number x = EvaluateExpr(*expr.a, variables);
  if (f == "SGN") {
    const double v = x.AsFloat();
    return Number::Int(v > 0 ? 1 : v < 0 ? -1 : 0);
  }
  if (f == "NEG") return x.isFloat ? Number::Float(-x.d) : Number::Int(Wrap(0 - U(x.i)));
  if (f == "ABS") {
    if (x.isFloat) return Number::Float(std::fabs(x.d));
    return Number::Int(x.i < 0 ? Wrap(0 - U(x.i)) : x.i);
  }
  const double v = x.AsFloat();
  if (f == "ROUND") {
    const double digits = expr.b ? EvaluateExpr(*expr.b, variables).AsFloat() : 0.0;
    const double scale = std::pow(10.0, digits);
    return Number::Float(std::round(v * scale) / scale);
  }
  if ((f == "LN" || f == "LG") && v <= 0.0) throw FormulaError(f + " of a value <= 0");
  if (f == "SQRT" && v < 0.0) throw FormulaError("SQRT of a negative value");
  if ((f == "ASIN" || f == "ACOS") && (v < -1.0 || v > 1.0)) {
    throw FormulaError(f + " of a value outside -1..1");
  }
  double r = 0.0;
  if (f == "ATAN")
    r = std::atan(v);
  else if (f == "COS")
    r = std::cos(v);
  else if (f == "SIN")
    r = std::sin(v);
  else if (f == "TAN")
    r = std::tan(v);
  else if (f == "EXP")
    r = std::exp(v);
  else if (f == "LN")
    r = std::log(v);
  else if (f == "LG")
    r = std::log10(v);
  else if (f == "SQRT")
    r = std::sqrt(v);
  else if (f == "TRUNC")
    r = std::trunc(v);
  else if (f == "FLOOR")
    r = std::floor(v);
  else if (f == "CEIL")
    r = std::ceil(v);
  else if (f == "ASIN")
    r = std::asin(v);
  else if (f == "ACOS")
    r = std::acos(v);
  else
    throw FormulaError("unknown function '" + f + "'");
  return Number::Float(r);
}

}  // namespace

Number EvaluateExpr(const Formula::Expr& expr, VariableSource& variables) {
  switch (expr.kind) {
    case ExprKind::Constant:
      return expr.value;
    case ExprKind::Variable:
      return variables.Value(expr.slot);
    case ExprKind::Unary:
      return Unary(expr, variables);
    case ExprKind::Binary:
      return Binary(expr, variables);
    case ExprKind::Conditional:
      return EvaluateExpr(*expr.a, variables).IsTrue() ? EvaluateExpr(*expr.b, variables)
                                                       : EvaluateExpr(*expr.c, variables);
    case ExprKind::Function:
      return Function(expr, variables);
  }
  throw FormulaError("bad expression");
}

}  // namespace GenApi
