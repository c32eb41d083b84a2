// The engine settings of the current run and their reset.
#include "driver/ieee1532/engine/iscsettings.h"

#include "driver/ieee1532/engine/iscenginestate.h"

namespace zor::isc {

IscSettings& IscGetSettings() { return IscState().settings; }

void IscResetSettings() { IscState().settings = IscSettings{}; }

}  // namespace zor::isc
