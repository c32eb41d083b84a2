#pragma once

#include <memory>
#include <string>

#include "platform/genapi/formula/formula.h"

namespace GenApi {

enum class ExprKind { Constant, Variable, Unary, Binary, Conditional, Function };

struct Formula::Expr {
  ExprKind kind = ExprKind::Constant;
  std::string op;  // operator or function name
  Number value;
  int slot = -1;
  std::unique_ptr<Expr> a, b, c;
};

Number EvaluateExpr(const Formula::Expr& expr, VariableSource& variables);

}  // namespace GenApi
