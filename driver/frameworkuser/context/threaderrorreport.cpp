// Reports an error of a driver thread or callback to the host library as a named function's.
#include "driver/frameworkuser/context/threaderrorreport.h"

#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

constexpr QINT64 kQuietEnter = 221;
constexpr QINT64 kQuietLeave = 222;

}  // namespace

void ReportThreadError(const wchar_t* function, int64_t code, const wchar_t* text1,
                       const wchar_t* text2) {
  const QID context = HostFuncAlloc(function, Q_DEFAULT, nullptr);
  QINT64 saved = 0;
  HostInternalInquire(0, kQuietEnter, &saved);
  HostFuncErrorReport(context, code, L" ", text1, text2, nullptr);
  HostInternalControl(0, kQuietLeave, reinterpret_cast<QINT64>(&saved));
  HostFuncFree(context);
}

}  // namespace zor::frame
