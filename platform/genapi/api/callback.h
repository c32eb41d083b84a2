#pragma once

#include <functional>

#include "platform/genapi/api/ibase.h"

namespace GenApi {

// One function bound to one node; the node owns it once registered.
class CNodeCallback {
 public:
  CNodeCallback(INode* pNode, std::function<void(INode*)> function, ECallbackType CallbackType)
      : node_(pNode), function_(std::move(function)), type_(CallbackType) {}

  void operator()(ECallbackType CallbackType) const {
    if (CallbackType == type_ && function_) function_(node_);
  }
  INode* GetNode() const { return node_; }
  ECallbackType GetCallbackType() const { return type_; }

 private:
  INode* node_;
  std::function<void(INode*)> function_;
  ECallbackType type_;
};

using Function = void (*)(INode*);

// The node to register on; raises LogicalErrorException for a null node.
INode& CallbackNode(INode* pNode);

// Registers a plain function on a node; the handle is what Deregister takes.
CallbackHandleType Register(INode* pNode, Function function,
                            ECallbackType CallbackType = cbPostInsideLock);

// Registers a member function of a client object on a node.
template <class Client, class Member>
CallbackHandleType Register(INode* pNode, Client& client, Member member,
                            ECallbackType CallbackType = cbPostInsideLock) {
  return CallbackNode(pNode).RegisterCallback(new CNodeCallback(
      pNode, [&client, member](INode* node) { (client.*member)(node); }, CallbackType));
}

// Removes a callback by handle; a handle that is no longer registered is ignored.
void Deregister(CallbackHandleType hCallback);

}  // namespace GenApi
