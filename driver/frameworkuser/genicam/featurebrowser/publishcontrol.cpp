// Publishing the node map of a GenICam control under its display name.
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

// The map as the publisher holds it: with its port, so that the snapshot or a client that reads
// it after its object was freed meets the host's error instead of a port that went with the
// object's control.
std::shared_ptr<GenApi::CNodeMapRef> MapWithPort(const GenICamControl& control) {
  struct Held {
    std::shared_ptr<GenApi::CNodeMapRef> map;
    std::shared_ptr<GenApi::IPort> port;
  };
  auto held = std::make_shared<Held>(Held{control.NodeMap(), control.Port()});
  if (held->map == nullptr) return nullptr;
  return std::shared_ptr<GenApi::CNodeMapRef>(held, held->map.get());
}

}  // namespace

void NodeMapPublisher::Publish(GenICamControl& control) {
  const GenICamManifestInfo info = control.GetManifestInfo();
  FeatureCodePrefixes prefixes;
  prefixes.inquireFunction = info.inquireFunction;
  prefixes.controlFunction = info.controlFunction;
  prefixes.objectVariable = info.objectClass;
  prefixes.typePrefix = info.typePrefix;
  prefixes.featureNamePrefix = info.featurePrefix;
  for (size_t i = 0; i < prefixes.gentlModules.size(); ++i) {
    prefixes.gentlModules[i] = info.genTLModules[i];
  }
  const std::string deviceName = control.GetDeviceDisplayName();
  const std::string mapName = control.BuildDeviceDisplayName();
  // Device maps keep 0: their example code uses the feature functions.
  int64_t objectType = 0;
  if (control.Kind() > 3 && control.HostObjectId() != 0) {
    HostObjInquire(control.HostObjectId(), Q_OBJECT_TYPE, &objectType);
  }
  AddNodeMap(mapName, deviceName, prefixes, objectType, MapWithPort(control),
             control.HookController());
}

void NodeMapPublisher::RemoveControl(GenICamControl& control) {
  RemoveDevice(control.BuildDeviceDisplayName());
}

}  // namespace zor::genicam
