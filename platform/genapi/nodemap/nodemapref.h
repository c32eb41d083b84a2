#pragma once

#include <memory>

#include "platform/genapi/api/ibase.h"
#include "platform/genapi/api/inodemap.h"

namespace GenApi {

// A named handle on a node map; copies share the map, which goes when the
// last handle lets go of it.
class CNodeMapRef {
 public:
  explicit CNodeMapRef(const gcstring& DeviceName = "Device");
  CNodeMapRef(const CNodeMapRef& other);
  CNodeMapRef& operator=(const CNodeMapRef& other);
  virtual ~CNodeMapRef();

  void _Destroy();
  // Takes over a node map made by CNodeMapFactory::CreateNodeMap.
  void _Initialize(INodeMap* pNodeMap);
  void _LoadXMLFromFile(const gcstring& FileName);
  void _LoadXMLFromZIPFile(const gcstring& ZipFileName);
  void _LoadXMLFromZIPData(const void* zipData, size_t zipSize);
  void _LoadXMLFromString(const gcstring& XMLData);

  gcstring _GetDeviceName() const;
  void _Poll(int64_t ElapsedTime);
  void _GetNodes(NodeList_t& Nodes) const;
  INode* _GetNode(const gcstring& Name) const;
  bool _Connect(IPort* pPort, const gcstring& PortName) const;
  bool _Connect(IPort* pPort) const;
  void _InvalidateNodes() const;

  INodeMap* _Ptr = nullptr;

 private:
  INodeMap& Map() const;

  gcstring deviceName_;
  std::shared_ptr<INodeMap> owner_;
};

}  // namespace GenApi
