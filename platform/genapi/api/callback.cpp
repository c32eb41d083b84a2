#include "platform/genapi/api/callback.h"

#include <mutex>
#include <unordered_map>

#include "platform/genapi/api/callbackdirectory.h"
#include "platform/genapi/base/exceptions.h"

namespace GenApi {
namespace {

struct Directory {
  std::mutex mutex;
  std::unordered_map<CallbackHandleType, INode*> owners;
  CallbackHandleType next = 1;
};

Directory& TheDirectory() {
  static Directory directory;
  return directory;
}

}  // namespace

CallbackHandleType CallbackDirectory::Add(INode* node) {
  Directory& d = TheDirectory();
  std::lock_guard<std::mutex> lock(d.mutex);
  const CallbackHandleType handle = d.next++;
  d.owners[handle] = node;
  return handle;
}

void CallbackDirectory::Remove(CallbackHandleType handle) {
  Directory& d = TheDirectory();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.owners.erase(handle);
}

INode* CallbackDirectory::Find(CallbackHandleType handle) {
  Directory& d = TheDirectory();
  std::lock_guard<std::mutex> lock(d.mutex);
  const auto it = d.owners.find(handle);
  return it == d.owners.end() ? nullptr : it->second;
}

INode& CallbackNode(INode* pNode) {
  if (pNode == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
  return *pNode;
}

CallbackHandleType Register(INode* pNode, Function function, ECallbackType CallbackType) {
  return CallbackNode(pNode).RegisterCallback(new CNodeCallback(pNode, function, CallbackType));
}

void Deregister(CallbackHandleType hCallback) {
  if (INode* node = CallbackDirectory::Find(hCallback)) node->DeregisterCallback(hCallback);
}

}  // namespace GenApi
