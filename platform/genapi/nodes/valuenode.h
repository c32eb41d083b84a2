#pragma once

#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {

// A node that offers IValue.
class ValueNode : public NodeBase, public virtual IValue {
 public:
  using NodeBase::NodeBase;
  INode* GetNode() override { return this; }
  bool IsValueCacheValid() const override { return true; }
};

}  // namespace GenApi
