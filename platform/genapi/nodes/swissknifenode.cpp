#include "platform/genapi/nodes/swissknifenode.h"

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {
namespace {

std::string FormulaText(const NodeBase& node) {
  const XmlProperty* p = node.Property("Formula");
  if (p == nullptr) throw RUNTIME_EXCEPTION("Node '%s' has no Formula", node.Name().c_str());
  return p->text;
}

}  // namespace

void SwissKnifeNode::Link() {
  FloatBase::Link();
  context_.Configure(*this, true, {});
  formula_ = context_.Compile(FormulaText(*this), "Formula");
}

double SwissKnifeNode::RawRead(bool, bool ignoreCache) {
  if (cached_ && !ignoreCache) return cached_->AsFloat();
  RecursionGuard recursion(valueBusy_, *this);
  const Number value = context_.Evaluate(formula_, "Formula", ignoreCache);
  if (CachingMode() != NoCache) cached_ = value;
  return value.AsFloat();
}

void IntSwissKnifeNode::Link() {
  IntegerBase::Link();
  context_.Configure(*this, false, {});
  formula_ = context_.Compile(FormulaText(*this), "Formula");
}

int64_t IntSwissKnifeNode::RawRead(bool, bool ignoreCache) {
  if (cached_ && !ignoreCache) return cached_->AsInt();
  RecursionGuard recursion(valueBusy_, *this);
  const Number value = context_.Evaluate(formula_, "Formula", ignoreCache);
  if (CachingMode() != NoCache) cached_ = value;
  return value.AsInt();
}

}  // namespace GenApi
