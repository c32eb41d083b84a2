#include "platform/genapi/nodemap/nodemapref.h"

#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/nodemap/nodemapfactory.h"

namespace GenApi {

CNodeMapRef::CNodeMapRef(const gcstring& DeviceName) : deviceName_(DeviceName) {}

CNodeMapRef::CNodeMapRef(const CNodeMapRef& other)
    : _Ptr(other._Ptr), deviceName_(other.deviceName_), owner_(other.owner_) {}

CNodeMapRef& CNodeMapRef::operator=(const CNodeMapRef& other) {
  if (this != &other) {
    deviceName_ = other.deviceName_;
    owner_ = other.owner_;
    _Ptr = other._Ptr;
  }
  return *this;
}

CNodeMapRef::~CNodeMapRef() = default;

void CNodeMapRef::_Destroy() {
  owner_.reset();
  _Ptr = nullptr;
}

void CNodeMapRef::_Initialize(INodeMap* pNodeMap) {
  std::unique_ptr<INodeMap> taken(pNodeMap);
  if (_Ptr != nullptr) throw RUNTIME_EXCEPTION("Node map already created");
  if (!taken) throw INVALID_ARGUMENT_EXCEPTION("NULL pointer dereferenced");
  owner_ = std::move(taken);
  _Ptr = owner_.get();
}

void CNodeMapRef::_LoadXMLFromFile(const gcstring& FileName) {
  if (_Ptr != nullptr) throw RUNTIME_EXCEPTION("Node map already created");
  _Initialize(CNodeMapFactory(ContentType_Xml, FileName).CreateNodeMap(deviceName_));
}

void CNodeMapRef::_LoadXMLFromZIPFile(const gcstring& ZipFileName) {
  if (_Ptr != nullptr) throw RUNTIME_EXCEPTION("Node map already created");
  _Initialize(CNodeMapFactory(ContentType_ZippedXml, ZipFileName).CreateNodeMap(deviceName_));
}

void CNodeMapRef::_LoadXMLFromZIPData(const void* zipData, size_t zipSize) {
  if (_Ptr != nullptr) throw RUNTIME_EXCEPTION("Node map already created");
  _Initialize(CNodeMapFactory(ContentType_ZippedXml, zipData, zipSize).CreateNodeMap(deviceName_));
}

void CNodeMapRef::_LoadXMLFromString(const gcstring& XMLData) {
  if (_Ptr != nullptr) throw RUNTIME_EXCEPTION("Node map already created");
  _Initialize(
      CNodeMapFactory(ContentType_Xml, XMLData.c_str(), XMLData.size()).CreateNodeMap(deviceName_));
}

INodeMap& CNodeMapRef::Map() const {
  if (_Ptr == nullptr) throw ACCESS_EXCEPTION("Feature not present (reference not valid)");
  return *_Ptr;
}

gcstring CNodeMapRef::_GetDeviceName() const { return Map().GetDeviceName(); }
void CNodeMapRef::_Poll(int64_t ElapsedTime) { Map().Poll(ElapsedTime); }
void CNodeMapRef::_GetNodes(NodeList_t& Nodes) const { Map().GetNodes(Nodes); }
INode* CNodeMapRef::_GetNode(const gcstring& Name) const { return Map().GetNode(Name); }
bool CNodeMapRef::_Connect(IPort* pPort, const gcstring& PortName) const {
  return Map().Connect(pPort, PortName);
}
bool CNodeMapRef::_Connect(IPort* pPort) const { return Map().Connect(pPort); }
void CNodeMapRef::_InvalidateNodes() const { Map().InvalidateNodes(); }

}  // namespace GenApi
