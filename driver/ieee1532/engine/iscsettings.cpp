#include "driver/ieee1532/engine/iscsettings.h"

namespace zor::isc {

namespace {
IscSettings g_settings;
}

IscSettings& IscGetSettings() { return g_settings; }

void IscResetSettings() { g_settings = IscSettings{}; }

}  // namespace zor::isc
