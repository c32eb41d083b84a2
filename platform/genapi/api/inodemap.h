#pragma once

#include "platform/genapi/api/ibase.h"
#include "platform/genapi/base/lock.h"

namespace GenApi {

using GenICam::CLock;

class INodeMap {
 public:
  virtual ~INodeMap() = default;
  virtual void GetNodes(NodeList_t& Nodes) const = 0;
  virtual INode* GetNode(const gcstring& Name) const = 0;
  virtual void InvalidateNodes() const = 0;
  virtual bool Connect(IPort* pPort, const gcstring& PortName) const = 0;
  virtual bool Connect(IPort* pPort) const = 0;
  virtual gcstring GetDeviceName() = 0;
  virtual void Poll(int64_t ElapsedTime) = 0;
  virtual CLock& GetLock() const = 0;
  virtual uint64_t GetNumNodes() const = 0;
};

// What the RegisterDescription of the loaded file declares.
class IDeviceInfo {
 public:
  virtual gcstring GetModelName() = 0;
  virtual gcstring GetVendorName() = 0;
  virtual gcstring GetToolTip() = 0;
  virtual EStandardNameSpace GetStandardNameSpace() = 0;
  virtual void GetSchemaVersion(Version_t& Version) = 0;
  virtual void GetDeviceVersion(Version_t& Version) = 0;
  virtual gcstring GetProductGuid() = 0;
  virtual gcstring GetVersionGuid() = 0;

 protected:
  virtual ~IDeviceInfo() = default;
};

}  // namespace GenApi
