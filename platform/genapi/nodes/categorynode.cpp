#include "platform/genapi/nodes/categorynode.h"

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

void CategoryNode::Link() {
  ValueNode::Link();
  // Real device files list features they do not define; a category only
  // groups for display, so such entries are left out.
  for (const XmlProperty* p : Properties("pFeature")) {
    if (Map().FindNode(p->text) != nullptr) features_.push_back(Resolve(*p));
  }
}

void CategoryNode::GetFeatures(FeatureList_t& Features) const {
  Features.clear();
  for (NodeBase* node : features_) {
    if (auto* value = dynamic_cast<IValue*>(node)) Features.push_back(value);
  }
}

void CategoryNode::GetChildren(NodeList_t& Children, ELinkType LinkType) const {
  if (LinkType != ctReadingChildren) {
    ValueNode::GetChildren(Children, LinkType);
    return;
  }
  Children.assign(features_.begin(), features_.end());
}

gcstring CategoryNode::ToString(bool, bool) { return ""; }

void CategoryNode::FromString(const gcstring&, bool) {
  throw ACCESS_EXCEPTION("Node '%s': a category has no value", Name().c_str());
}

}  // namespace GenApi
