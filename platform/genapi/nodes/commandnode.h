#pragma once

#include "platform/genapi/nodes/valuenode.h"
#include "platform/genapi/nodes/valueslot.h"

namespace GenApi {

// <Command>: executing writes the command value; the command is done once
// the device has changed the value again. Its access is its value node's.
class CommandNode : public ValueNode, public virtual ICommand {
 public:
  using ValueNode::ValueNode;
  void Link() override;

  void Execute(bool Verify = true) override;
  bool IsDone(bool Verify = true) override;
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfICommand; }

 protected:
  EAccessMode OwnAccessMode() const override { return slot_.AccessMode(); }

 private:
  int64_t CommandValue();

  mutable ValueSlot slot_;
  LimitRef commandValue_;
};

}  // namespace GenApi
