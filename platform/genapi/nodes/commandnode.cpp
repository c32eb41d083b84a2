#include "platform/genapi/nodes/commandnode.h"

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

void CommandNode::Link() {
  ValueNode::Link();
  slot_.Configure(*this, false);
  commandValue_.Configure(*this, "CommandValue", "pCommandValue", false);
}

int64_t CommandNode::CommandValue() {
  return commandValue_.IsSet() ? commandValue_.Get().AsInt() : 1;
}

void CommandNode::Execute(bool Verify) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  slot_.Write(Number::Int(CommandValue()), Verify);
}

bool CommandNode::IsDone(bool) {
  NodeMap::Guard guard(Map());
  NodeBase* target = slot_.Target();
  if (target == nullptr || !IsReadable(target->AccessMode())) return true;
  return slot_.Read(false, true).AsInt() != CommandValue();
}

gcstring CommandNode::ToString(bool, bool) {
  throw ACCESS_EXCEPTION("Node '%s': a command has no value text", Name().c_str());
}

void CommandNode::FromString(const gcstring&, bool Verify) { Execute(Verify); }

}  // namespace GenApi
