// Builds node maps for the host library's own objects from the XML resources the driver carries.
#include "driver/frameworkuser/genicam/ownnodemaps/ownnodemaps.h"

#include <map>
#include <mutex>

#include "driver/foundation/conversions.h"
#include "driver/foundation/lockorder.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

using errorcode::kInvalidFeatureControl;

// Whether the resource describes this object; the device number of an own
// digitizer comes along.
bool ResourceFits(int64_t objectId, int64_t objectType, const XmlResourceRecord& record,
                  uint64_t& deviceNumber) {
  if (record.zorId) {
    const ObjectClassInfo* row = FindObjectClass(objectType);
    if (row == nullptr || row->objectKind != record.kind) return false;
    if (objectType == Q_DIGITIZER) {
      int64_t number = 0;
      HostDigInquire(objectId, Q_NUMBER, &number);
      deviceNumber = static_cast<uint64_t>(number);
    }
    return true;
  }
  if (objectType == Q_DIGITIZER) return record.kind == 1;
  if (objectType == Q_SYSTEM) return record.kind == 0;
  return false;
}

using FactoryOf = GenApi::CNodeMapFactory (*)(const GenICamXmlResource& resource);

GenApi::CNodeMapFactory FreshFactory(const GenICamXmlResource& resource) {
  return GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resource.data, resource.size,
                                 GenApi::CacheUsage_Automatic, false);
}

// The carried resources are unpacked and parsed once per process: a copy of a factory shares
// its parsed description, and every object's maps are built from it. Their data lives as long
// as this code.
GenApi::CNodeMapFactory CarriedFactory(const GenICamXmlResource& resource) {
  // Guards the factories; held while one is parsed (GenApi's own locks come under it).
  static foundation::Ranked<std::mutex, foundation::LockId::kFactoryCache> mutex;
  static std::map<const void*, GenApi::CNodeMapFactory> factories ZOR_GUARDED_BY(mutex);
  foundation::ScopedLock lock(mutex);
  auto found = factories.find(resource.data);
  if (found == factories.end())
    found = factories.emplace(resource.data, FreshFactory(resource)).first;
  return found->second;
}

const std::vector<GenICamXmlResource>& CarriedResources() {
  static const std::vector<GenICamXmlResource> carried = [] {
    std::vector<GenICamXmlResource> resources;
    LoadGenICamXmlResources(resources);
    return resources;
  }();
  return carried;
}

std::shared_ptr<GenApi::CNodeMapRef> NodeMapOf(GenApi::CNodeMapFactory& factory) {
  auto map = std::make_shared<GenApi::CNodeMapRef>("Device");
  map->_Initialize(factory.CreateNodeMap("Device"));
  return map;
}

void BuildFromResource(NodeMapRegistry& registry, const GenICamSystemFacts& system,
                       int64_t objectId, const GenICamXmlResource& resource, FactoryOf factoryOf,
                       const TransportLayerFactory& createTransportLayers) {
  XmlResourceRecord record;
  ParseXmlResourceName(resource.name, record);
  int64_t objectType = 0;
  HostObjInquire(objectId, Q_OBJECT_TYPE, &objectType);
  uint64_t deviceNumber = 0;
  if (!ResourceFits(objectId, objectType, record, deviceNumber)) return;
  GenApi::CNodeMapFactory factory = factoryOf(resource);
  std::shared_ptr<GenApi::CNodeMapRef> first = NodeMapOf(factory);
  auto* info = dynamic_cast<GenApi::IDeviceInfo*>(first->_Ptr);
  const std::wstring module =
      info != nullptr ? foundation::Utf8ToWString(info->GetModelName().c_str()) : L"";
  const TransportLayers ports = createTransportLayers(objectId, record);
  for (size_t i = 0; i < ports.size(); ++i) {
    const int64_t portObject = ports[i]->GetProxyObjectId();
    if (registry.Get(portObject, module) != nullptr) continue;
    std::shared_ptr<GenApi::CNodeMapRef> map = i == 0 ? first : NodeMapOf(factory);
    auto control = std::make_shared<GenICamControl>(system, record.zorId ? objectId : 0,
                                                    deviceNumber, record.kind);
    control->SetResource(record.name, record.kind);
    control->SetNodeMap(map, ports[i], "Device", false);
    control->HookController()->SetOwner(objectId, map);
    registry.Register(portObject, module, std::move(control));
  }
}

}  // namespace

TransportLayers CreateTransportLayers(int64_t objectId, const XmlResourceRecord& record) {
  TransportLayers ports;
  switch (record.kind) {
    case resourcekind::kApplication:
      ports.push_back(std::make_shared<CZorTransportLayer<QappTLProxy>>(objectId));
      break;
    case resourcekind::kBuffer:
      ports.push_back(std::make_shared<CZorTransportLayer<QbufTLProxy>>(objectId));
      break;
    case resourcekind::kDigitizer:
      ports.push_back(std::make_shared<CZorTransportLayer<QdigTLProxy>>(objectId));
      break;
    case resourcekind::kDisplay:
      ports.push_back(std::make_shared<CZorTransportLayer<QdispTLProxy>>(objectId));
      break;
    case resourcekind::kSequence:
      ports.push_back(std::make_shared<CZorTransportLayer<QseqTLProxy>>(objectId));
      break;
    case resourcekind::kSystem:
      ports.push_back(std::make_shared<CZorTransportLayer<QsysTLProxy>>(objectId));
      break;
    default:
      break;
  }
  return ports;
}

void CreateOwnNodeMaps(NodeMapRegistry& registry, const GenICamSystemFacts& system,
                       int64_t objectId, ErrorSink* sink,
                       const TransportLayerFactory& createTransportLayers,
                       const std::vector<GenICamXmlResource>* resources) {
  const FactoryOf factoryOf = resources == nullptr ? CarriedFactory : FreshFactory;
  if (resources == nullptr) resources = &CarriedResources();
  for (const GenICamXmlResource& resource : *resources) {
    try {
      BuildFromResource(registry, system, objectId, resource, factoryOf, createTransportLayers);
    } catch (const GenICam::GenericException& e) {
      if (sink == nullptr) continue;
      const std::wstring description =
          L"Description: " + foundation::Utf8ToWString(e.GetDescription());
      sink->SetErrorText(kInvalidFeatureControl, L"A GenICam exception occurred.",
                         description.c_str(), L"GenICam exception occurred while allocating XMLs.");
    }
  }
}

}  // namespace zor::genicam
