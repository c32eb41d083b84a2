// Reports an error of a driver thread or callback to the host library as a named function's.
#include "driver/frameworkuser/context/threaderrorreport.h"

#include "platform/host/hostservices.h"

namespace zor::frame {

void ReportThreadError(const wchar_t* function, int64_t code, const wchar_t* text1,
                       const wchar_t* text2) {
  const QID context = HostFuncAlloc(function, Q_DEFAULT, nullptr);
  QINT64 saved = 0;
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &saved);
  HostFuncErrorReport(context, code, L" ", text1, text2, nullptr);
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<QINT64>(&saved));
  HostFuncFree(context);
}

}  // namespace zor::frame
