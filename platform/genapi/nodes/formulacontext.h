#pragma once

#include <string>
#include <vector>

#include "platform/genapi/formula/formula.h"
#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {

// The variables a node's formulas see: pVariable nodes, Constants,
// Expressions, and named inputs the node sets itself (FROM, TO).
class FormulaContext : public VariableSource {
 public:
  void Configure(NodeBase& owner, bool floatMode, const std::vector<std::string>& inputs);
  // Parses a formula; a bad one raises an exception naming the node.
  Formula Compile(const std::string& text, const char* what) const;
  void SetInput(int slot, const Number& value) { variables_[slot].constant = value; }
  // ignoreCache reaches the variables read for this evaluation.
  Number Evaluate(const Formula& formula, const char* what, bool ignoreCache = false);
  Number Value(int slot) override;

 private:
  struct Variable {
    std::string name;
    NodeBase* node = nullptr;
    Number constant;
    std::string expressionText;
    Formula expression;
    bool busy = false;
    // Read once per evaluation, so one result sees one value per variable.
    bool known = false;
    Number value;
  };
  int Slot(std::string_view name) const;

  NodeBase* owner_ = nullptr;
  bool floatMode_ = false;
  int expressionDepth_ = 0;
  bool ignoreCache_ = false;
  std::vector<Variable> variables_;
};

}  // namespace GenApi
