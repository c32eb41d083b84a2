// Reports an error of a driver thread or callback to the host library as a named function's.
#include "driver/frameworkuser/context/threaderrorreport.h"

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/messagetable.h"
#include "interfaces/hostcommand/opcodes.h"
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

void ReportThreadError(const wchar_t* function, const foundation::CError& error) {
  if (error.errorSet == 0) return;
  const auto code = static_cast<int64_t>(error.code);
  ReportThreadError(function, code, MessageText(code, static_cast<int64_t>(error.subCode)),
                    nullptr);
}

void ReportHeldError(const wchar_t* function, QDDriverThreadContext& ctx) {
  const int64_t code = ctx.ErrorCode();
  if (code == 0) return;
  wchar_t texts[4][kOwnTextSize] = {};
  ctx.GetError(hostcommand::kErrorQueryTexts, texts[0], texts[1], texts[2], texts[3]);
  ReportThreadError(function, code, texts[1], texts[2][0] != L'\0' ? texts[2] : nullptr);
}

}  // namespace zor::frame
