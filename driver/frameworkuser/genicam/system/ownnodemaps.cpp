// The node maps of the own objects and the registry that keeps their controls.
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

std::shared_ptr<genicam::CZorTransportLayerBase> CreatePort(int32_t kind, int64_t objectId) {
  using namespace genicam;
  switch (kind) {
    case 4:
      return std::make_shared<CZorTransportLayer<QappTLProxy>>(objectId);
    case 5:
      return std::make_shared<CZorTransportLayer<QbufTLProxy>>(objectId);
    case 7:
      return std::make_shared<CZorTransportLayer<QdigTLProxy>>(objectId);
    case 8:
      return std::make_shared<CZorTransportLayer<QdispTLProxy>>(objectId);
    case 9:
      return std::make_shared<CZorTransportLayer<QseqTLProxy>>(objectId);
    case 10:
      return std::make_shared<CZorTransportLayer<QsysTLProxy>>(objectId);
    default:
      return nullptr;
  }
}

// Whether a resource describes an object of this type.
bool Fits(const genicam::XmlResourceRecord& record, int64_t type) {
  if (record.zorId) {
    const genicam::ObjectClassInfo* row = genicam::FindObjectClass(type);
    return row != nullptr && row->objectKind == record.kind;
  }
  return (type == Q_DIGITIZER && record.kind == 1) || (type == Q_SYSTEM && record.kind == 0);
}

}  // namespace

void QDGeniCamDeviceSystem::CreateOwnNodeMaps(int64_t objectId) {
  std::vector<genicam::GenICamXmlResource> resources;
  genicam::LoadGenICamXmlResources(resources);
  int64_t type = 0;
  HostObjInquire(objectId, Q_OBJECT_TYPE, &type);
  for (const genicam::GenICamXmlResource& resource : resources) {
    genicam::XmlResourceRecord record;
    genicam::ParseXmlResourceName(resource.name, record);
    if (!Fits(record, type)) continue;
    int64_t number = 0;
    if (record.zorId && type == Q_DIGITIZER) HostDigInquire(objectId, Q_NUMBER, &number);
    try {
      auto nodeMap = std::make_shared<GenApi::CNodeMapRef>("Device");
      nodeMap->_Initialize(
          GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resource.data, resource.size)
              .CreateNodeMap("Device"));
      auto* device = dynamic_cast<GenApi::IDeviceInfo*>(nodeMap->_Ptr);
      if (device == nullptr) continue;
      const std::wstring module = foundation::Utf8ToWString(device->GetModelName().c_str());
      std::shared_ptr<genicam::CZorTransportLayerBase> port = CreatePort(record.kind, objectId);
      if (port == nullptr) continue;
      const int64_t id = port->GetProxyObjectId();
      if (GetFeatureControl(id, module) != nullptr) continue;
      genicam::GenICamSystemFacts facts;
      facts.hostSystemId = GetHostObjectId();
      facts.systemNumber = DeviceNumber();
      facts.streamStopCheckPeriodMs = static_cast<uint32_t>(StreamStopCheckPeriodMs());
      facts.streamStopDelayMs = static_cast<uint32_t>(StreamStopDelayMs());
      facts.streamStopIdleExitTimeMs = static_cast<uint32_t>(StreamStopIdleExitTimeMs());
      auto control = std::make_shared<genicam::GenICamControl>(facts, record.zorId ? objectId : 0,
                                                               static_cast<uint64_t>(number),
                                                               static_cast<uint32_t>(record.kind));
      control->SetResource(record.name, record.kind, record.zorId);
      control->SetNodeMap(nodeMap, port, "Device", false);
      RegisterObjectNodeMap(id, module, control);
      control->HookController()->SetOwner(objectId, nodeMap);
    } catch (const GenICam::GenericException&) {
      // A resource that does not load leaves the object without that map;
      // feature access then reports the module as unknown.
    }
  }
}

void QDGeniCamDeviceSystem::RegisterObjectNodeMap(
    int64_t id, const std::wstring& module, std::shared_ptr<genicam::GenICamControl> control) {
  std::lock_guard<std::mutex> lock(registryLock_);
  nodeMaps_[{id, module}] = std::move(control);
}

std::shared_ptr<genicam::GenICamControl> QDGeniCamDeviceSystem::GetFeatureControl(
    int64_t id, std::wstring_view module) const {
  std::lock_guard<std::mutex> lock(registryLock_);
  auto found = nodeMaps_.find(std::pair<int64_t, std::wstring_view>(id, module));
  return found != nodeMaps_.end() ? found->second : nullptr;
}

}  // namespace zor::frame
