#pragma once

#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {

// <Port>: the node registers read and write through; it forwards to the
// port the application connects.
class PortNode : public NodeBase, public virtual IPort {
 public:
  using NodeBase::NodeBase;

  void SetPort(IPort* port) { port_ = port; }
  // The application's port, for a caller that holds the node map's lock.
  IPort& Connected() const;
  void Read(void* pBuffer, int64_t Address, int64_t Length) override;
  void Write(const void* pBuffer, int64_t Address, int64_t Length) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIPort; }

 protected:
  EAccessMode OwnAccessMode() const override;

 private:
  IPort* port_ = nullptr;
};

}  // namespace GenApi
