#include "platform/genapi/nodes/portnode.h"

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

EAccessMode PortNode::OwnAccessMode() const { return port_ ? port_->GetAccessMode() : NA; }

IPort& PortNode::Connected() const {
  if (port_ == nullptr) throw ACCESS_EXCEPTION("Port '%s' is not connected", Name().c_str());
  return *port_;
}

void PortNode::Read(void* pBuffer, int64_t Address, int64_t Length) {
  NodeMap::Guard guard(Map());
  Connected().Read(pBuffer, Address, Length);
}

void PortNode::Write(const void* pBuffer, int64_t Address, int64_t Length) {
  NodeMap::Guard guard(Map());
  Connected().Write(pBuffer, Address, Length);
}

}  // namespace GenApi
