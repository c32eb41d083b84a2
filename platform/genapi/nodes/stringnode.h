#pragma once

#include <string>

#include "platform/genapi/nodes/valuenode.h"

namespace GenApi {

// <String>: an inline text or a pValue to another string node.
class StringNode : public ValueNode, public virtual IString {
 public:
  using ValueNode::ValueNode;
  void Link() override;

  void SetValue(const gcstring& Value, bool Verify = true) override;
  gcstring GetValue(bool Verify = false, bool IgnoreCache = false) override;
  int64_t GetMaxLength() override;
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIString; }

 protected:
  EAccessMode OwnAccessMode() const override;

 private:
  std::string value_;
  IString* target_ = nullptr;
  NodeBase* targetNode_ = nullptr;
  bool valueBusy_ = false;
};

}  // namespace GenApi
