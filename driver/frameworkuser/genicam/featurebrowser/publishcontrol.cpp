// Publishing the node map of a GenICam control under its display name.
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {

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
  AddNodeMap(mapName, deviceName, prefixes, objectType, control.NodeMap(),
             control.HookController());
}

void NodeMapPublisher::RemoveControl(GenICamControl& control) {
  RemoveDevice(control.BuildDeviceDisplayName());
}

}  // namespace zor::genicam
