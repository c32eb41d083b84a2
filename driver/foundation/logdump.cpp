// Saves the driver log under the temporary folder when an error occurs and the registry asks.
#include "driver/foundation/logdump.h"

#include <atomic>

#include "driver/foundation/folders.h"
#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/runtimeconfig.h"
#include "driver/foundation/zorstring.h"

namespace zor::foundation {

namespace {

std::atomic<int32_t> g_dumpCounter{0};

}  // namespace

bool DumpDriverLogIfEnabled(uint64_t code, uint64_t subCode) {
  if (CRuntimeConfig::Instance()->GetInt(CRuntimeConfig::kDriverSection, L"DumpDriverLogsOnError",
                                         0) == 0) {
    return false;
  }
  CZORString folder;
  GetFolderVariable(L"TEMP", folder);
  CZORString name;
  name.Format(L"/ZORDriverLog_Err%d_SubErr%d_%.3d.zim", static_cast<int32_t>(code),
              static_cast<int32_t>(subCode), g_dumpCounter.fetch_add(1));
  CLog* log = CLog::Instance();
  log->WriteEvent(g_DriverLogProvider, kLogKindSave);
  log->SaveToFile(folder.CStr(), name.CStr());
  return true;
}

}  // namespace zor::foundation
