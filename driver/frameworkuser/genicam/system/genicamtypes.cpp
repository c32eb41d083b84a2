#include "driver/frameworkuser/genicam/system/genicamtypes.h"

namespace zor::frame {

bool IsGenICamControlType(int64_t type) {
  switch (type) {
    case 4390:
    case 4402:
    case 4813:
    case 6905:
    case 6906:
    case 6951:
    case 7311:
    case 7707:
    case 7709:
    case 7712:
    case kStringLengthFlag + 7707:
    case kStringLengthFlag + 7712:
      return true;
    default:
      return type >= 7730 && type <= 7858;
  }
}

}  // namespace zor::frame
