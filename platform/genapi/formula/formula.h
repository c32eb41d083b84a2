#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/genapi/formula/number.h"

namespace GenApi {

// Raised for a formula that does not parse or cannot be evaluated; nodes turn
// it into a GenICam exception that names them.
class FormulaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Supplies the values of a formula's variables by slot.
class VariableSource {
 public:
  virtual Number Value(int slot) = 0;

 protected:
  ~VariableSource() = default;
};

// A parsed SwissKnife expression: C-like operators, "=" and "<>" for
// equality, "**" for power, the standard functions and PI and E.
class Formula {
 public:
  // Maps a variable name to its slot, or -1 when the name is not a variable.
  using SlotLookup = std::function<int(std::string_view)>;

  Formula();
  ~Formula();
  Formula(Formula&&) noexcept;
  Formula& operator=(Formula&&) noexcept;

  // With floatMode every literal is taken as a double, so 3/2 is 1.5.
  void Parse(std::string_view text, const SlotLookup& lookup, bool floatMode = false);
  bool IsEmpty() const { return root_ == nullptr; }
  Number Evaluate(VariableSource& variables) const;

  struct Expr;

 private:
  std::unique_ptr<Expr> root_;
};

}  // namespace GenApi
