#pragma once

#include <vector>

#include "platform/genapi/nodes/valuenode.h"

namespace GenApi {

// <Category>: groups features for display.
class CategoryNode : public ValueNode, public virtual ICategory {
 public:
  using ValueNode::ValueNode;
  void Link() override;

  void GetFeatures(FeatureList_t& Features) const override;
  // A category's reading children are its features, in their order.
  void GetChildren(NodeList_t& Children, ELinkType LinkType) const override;
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfICategory; }

 protected:
  EAccessMode OwnAccessMode() const override { return RO; }

 private:
  std::vector<NodeBase*> features_;
};

}  // namespace GenApi
