// Which control and inquire types the GenICam layer serves.
#include "driver/frameworkuser/genicam/system/genicamtypes.h"

#include "driver/frameworkuser/protocol/genicamtypes.h"
#include "platform/host/qtypes.h"

namespace zor::frame {

bool IsGenICamControlType(int64_t type) {
  switch (type) {
    case protocol::kGenICamPresent:
    case protocol::kNewFeatureBrowser:
    case protocol::kKeepAliveControlMode:
    case protocol::kFeatureBrowser:
    case Q_GC_NODEMAP_PTR:
    case protocol::kOwnNodeMap:
    case protocol::kGenICamVersion:
    case protocol::kEmptyText:
    case protocol::kDeviceName:
    case protocol::kFeatureBag:
    case kStringLengthFlag + protocol::kEmptyText:
    case kStringLengthFlag + protocol::kFeatureBag:
      return true;
    default:
      return type >= protocol::kFeatureTypesFirst && type <= protocol::kFeatureTypesLast;
  }
}

}  // namespace zor::frame
