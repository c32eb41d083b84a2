// The debug stop settings, read once from the runtime configuration, and their error match.
#include "driver/frameworkuser/context/debugstop.h"

#include "driver/foundation/runtimeconfig.h"

using zor::foundation::CRuntimeConfig;

namespace zor::frame {

bool DebugStopSettings::Matches(int64_t code, const int64_t subCodes[3]) const {
  if (code != stopOnErrCode) return false;
  for (int i = 0; i < 3; ++i) {
    if (stopOnSub[i] == -1) {
      for (int j = i + 1; j < 3; ++j) {
        if (stopOnSub[j] != -1) return false;
      }
      return true;
    }
    if (stopOnSub[i] != subCodes[i]) return false;
  }
  return true;
}

DebugStopSettings& DebugStop() {
  static DebugStopSettings settings = [] {
    const auto config = CRuntimeConfig::Instance();
    constexpr int32_t kSection = CRuntimeConfig::kDebugSection;
    DebugStopSettings loaded;
    loaded.debugInternalError = config->GetInt(kSection, L"DebugInternalError", 0);
    loaded.stopOnErrCode = config->GetInt(kSection, L"StopOnErrCode", -1);
    loaded.stopOnSub[0] = config->GetInt(kSection, L"StopOnSub1ErrCode", -1);
    loaded.stopOnSub[1] = config->GetInt(kSection, L"StopOnSub2ErrCode", -1);
    loaded.stopOnSub[2] = config->GetInt(kSection, L"StopOnSub3ErrCode", -1);
    loaded.dumpErrorCallStack = config->GetInt(kSection, L"DumpErrorCallStack", -1);
    return loaded;
  }();
  return settings;
}

}  // namespace zor::frame
