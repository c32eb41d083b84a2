#include "platform/genapi/nodes/formulacontext.h"

#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {

void FormulaContext::Configure(NodeBase& owner, bool floatMode,
                               const std::vector<std::string>& inputs) {
  owner_ = &owner;
  floatMode_ = floatMode;
  for (const std::string& input : inputs) {
    Variable v;
    v.name = input;
    variables_.push_back(std::move(v));
  }
  for (const XmlProperty* p : owner.Properties("pVariable")) {
    Variable v;
    v.name = p->Attribute("Name") ? *p->Attribute("Name") : p->text;
    v.node = owner.Resolve(*p);
    variables_.push_back(std::move(v));
  }
  for (const XmlProperty* p : owner.Properties("Constant")) {
    Variable v;
    v.name = p->Attribute("Name") ? *p->Attribute("Name") : "";
    v.constant = Number::Float(ParseFloat(p->text, owner));
    if (auto asInt = TryParseInteger(p->text)) v.constant = Number::Int(*asInt);
    variables_.push_back(std::move(v));
  }
  for (const XmlProperty* p : owner.Properties("Expression")) {
    Variable v;
    v.name = p->Attribute("Name") ? *p->Attribute("Name") : "";
    v.expressionText = p->text;
    variables_.push_back(std::move(v));
  }
  // Expressions may use each other, so parse them once every name is known.
  for (Variable& v : variables_) {
    if (!v.expressionText.empty()) v.expression = Compile(v.expressionText, v.name.c_str());
  }
}

int FormulaContext::Slot(std::string_view name) const {
  for (size_t i = 0; i < variables_.size(); ++i) {
    if (variables_[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

Formula FormulaContext::Compile(const std::string& text, const char* what) const {
  Formula formula;
  try {
    formula.Parse(
        text, [this](std::string_view name) { return Slot(name); }, floatMode_);
  } catch (const FormulaError& error) {
    throw RUNTIME_EXCEPTION("Node '%s': %s '%s' does not parse: %s", owner_->Name().c_str(), what,
                            text.c_str(), error.what());
  }
  return formula;
}

Number FormulaContext::Evaluate(const Formula& formula, const char* what, bool ignoreCache) {
  for (Variable& v : variables_) v.known = false;
  ignoreCache_ = ignoreCache;
  try {
    return formula.Evaluate(*this);
  } catch (const FormulaError& error) {
    throw LOGICAL_ERROR_EXCEPTION("Node '%s': %s: %s", owner_->Name().c_str(), what, error.what());
  }
}

Number FormulaContext::Value(int slot) {
  Variable& v = variables_[static_cast<size_t>(slot)];
  if (v.known) return v.value;
  Number value = v.constant;
  if (v.node != nullptr) {
    value = v.node->ReadNumber(false, ignoreCache_);
  } else if (!v.expression.IsEmpty()) {
    if (v.busy) throw FormulaError("expression '" + v.name + "' uses itself");
    // Expressions using expressions are bounded like nested parentheses.
    if (expressionDepth_ >= 64) throw FormulaError("expressions nest too deeply");
    v.busy = true;
    ++expressionDepth_;
    try {
      value = v.expression.Evaluate(*this);
    } catch (...) {
      v.busy = false;
      --expressionDepth_;
      throw;
    }
    v.busy = false;
    --expressionDepth_;
  }
  v.value = floatMode_ ? Number::Float(value.AsFloat()) : value;
  v.known = true;
  return v.value;
}

}  // namespace GenApi
