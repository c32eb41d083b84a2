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

Number Arithmetic(Op op, const Number& x, const Number& y) {
  if (x.isFloat || y.isFloat) {
    const double a = x.AsFloat(), b = y.AsFloat();
    switch (op) {
      case Op::Add:
        return Number::Float(a + b);
      case Op::Subtract:
        return Number::Float(a - b);
      case Op::Multiply:
        return Number::Float(a * b);
      case Op::Power:
        return Number::Float(std::pow(a, b));
      default:
        if (b == 0.0) throw FormulaError("division by zero");
        return Number::Float(op == Op::Divide ? a / b : std::fmod(a, b));
    }
  }
  const int64_t a = x.i, b = y.i;
  switch (op) {
    case Op::Add:
      return Number::Int(Wrap(U(a) + U(b)));
    case Op::Subtract:
      return Number::Int(Wrap(U(a) - U(b)));
    case Op::Multiply:
      return Number::Int(Wrap(U(a) * U(b)));
    case Op::Power:
      return Number::Int(IntPower(a, b));
    default:
      if (b == 0) throw FormulaError("division by zero");
      if (b == -1) return Number::Int(op == Op::Divide ? Wrap(0 - U(a)) : 0);
      return Number::Int(op == Op::Divide ? a / b : a % b);
  }
}

template <class T>
bool Compare(Op op, T a, T b) {
  switch (op) {
    case Op::Equal:
      return a == b;
    case Op::NotEqual:
      return a != b;
    case Op::Less:
      return a < b;
    case Op::Greater:
      return a > b;
    case Op::LessEqual:
      return a <= b;
    default:
      return a >= b;
  }
}

Number Binary(const Formula::Expr& expr, VariableSource& variables) {
  const Op op = expr.code;
  const Number x = EvaluateExpr(*expr.a, variables);
  if (op == Op::And) {
    return Number::Int(x.IsTrue() && EvaluateExpr(*expr.b, variables).IsTrue() ? 1 : 0);
  }
  if (op == Op::Or) {
    return Number::Int(x.IsTrue() || EvaluateExpr(*expr.b, variables).IsTrue() ? 1 : 0);
  }
  const Number y = EvaluateExpr(*expr.b, variables);
  switch (op) {
    case Op::Equal:
    case Op::NotEqual:
    case Op::Less:
    case Op::Greater:
    case Op::LessEqual:
    case Op::GreaterEqual: {
      const bool result =
          (x.isFloat || y.isFloat) ? Compare(op, x.AsFloat(), y.AsFloat()) : Compare(op, x.i, y.i);
      return Number::Int(result ? 1 : 0);
    }
    case Op::BitAnd:
      return Number::Int(x.AsInt() & y.AsInt());
    case Op::BitOr:
      return Number::Int(x.AsInt() | y.AsInt());
    case Op::BitXor:
      return Number::Int(x.AsInt() ^ y.AsInt());
    case Op::ShiftLeft:
      return Number::Int(ShiftLeft(x.AsInt(), y.AsInt()));
    case Op::ShiftRight:
      return Number::Int(ShiftRight(x.AsInt(), y.AsInt()));
    case Op::Add:
    case Op::Subtract:
    case Op::Multiply:
    case Op::Divide:
    case Op::Remainder:
    case Op::Power:
      return Arithmetic(op, x, y);
    default:
      throw FormulaError("unknown operator '" + expr.op + "'");
  }
}

Number Negated(const Number& x) {
  return x.isFloat ? Number::Float(-x.d) : Number::Int(Wrap(0 - U(x.i)));
}

Number Unary(const Formula::Expr& expr, VariableSource& variables) {
  const Number x = EvaluateExpr(*expr.a, variables);
  switch (expr.code) {
    case Op::Not:
      return Number::Int(x.IsTrue() ? 0 : 1);
    case Op::BitNot:
      return Number::Int(~x.AsInt());
    case Op::Negate:
      return Negated(x);
    default:
      return x;
  }
}

double Checked(Op op, const std::string& name, double v) {
  if ((op == Op::Ln || op == Op::Lg) && v <= 0.0) throw FormulaError(name + " of a value <= 0");
  if (op == Op::Sqrt && v < 0.0) throw FormulaError("SQRT of a negative value");
  if ((op == Op::Asin || op == Op::Acos) && (v < -1.0 || v > 1.0)) {
    throw FormulaError(name + " of a value outside -1..1");
  }
  return v;
}

Number Function(const Formula::Expr& expr, VariableSource& variables) {
  const Number x = EvaluateExpr(*expr.a, variables);
  const double v = Checked(expr.code, expr.op, x.AsFloat());
  switch (expr.code) {
    case Op::Sgn:
      return Number::Int(v > 0 ? 1 : v < 0 ? -1 : 0);
    case Op::Neg:
      return Negated(x);
    case Op::Abs:
      if (x.isFloat) return Number::Float(std::fabs(x.d));
      return Number::Int(x.i < 0 ? Wrap(0 - U(x.i)) : x.i);
    case Op::Round: {
      const double digits = expr.b ? EvaluateExpr(*expr.b, variables).AsFloat() : 0.0;
      const double scale = std::pow(10.0, digits);
      return Number::Float(std::round(v * scale) / scale);
    }
    case Op::Atan:
      return Number::Float(std::atan(v));
    case Op::Cos:
      return Number::Float(std::cos(v));
    case Op::Sin:
      return Number::Float(std::sin(v));
    case Op::Tan:
      return Number::Float(std::tan(v));
    case Op::Exp:
      return Number::Float(std::exp(v));
    case Op::Ln:
      return Number::Float(std::log(v));
    case Op::Lg:
      return Number::Float(std::log10(v));
    case Op::Sqrt:
      return Number::Float(std::sqrt(v));
    case Op::Trunc:
      return Number::Float(std::trunc(v));
    case Op::Floor:
      return Number::Float(std::floor(v));
    case Op::Ceil:
      return Number::Float(std::ceil(v));
    case Op::Asin:
      return Number::Float(std::asin(v));
    case Op::Acos:
      return Number::Float(std::acos(v));
    default:
      throw FormulaError("unknown function '" + expr.op + "'");
  }
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
