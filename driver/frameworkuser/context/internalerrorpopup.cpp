// The internal-error popup and crash dump shown when the thread's error is the debug stop's.
#include <csignal>
#include <string>

#include "driver/foundation/messagebox.h"
#include "driver/frameworkuser/context/crashdump.h"
#include "driver/frameworkuser/context/debugstop.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "platform/os/ui/message_box.h"

using zor::foundation::ShowMessageBox;

namespace zor::frame {

void QDDriverThreadContext::ShowInternalErrorPopup() {
  DebugStopSettings& settings = DebugStop();
  int64_t codes[4] = {};
  GetError(1, &codes[0], &codes[1], &codes[2], &codes[3]);
  if (!settings.Matches(codes[0], &codes[1])) return;
  wchar_t texts[4][kOwnTextSize];
  GetError(2, texts[0], texts[1], texts[2], texts[3]);
  if (settings.dumpErrorCallStack != -1) WriteErrorMiniDump(L"Driver");
  std::wstring message = L"The following error has been detected in ";
  message.append(L"Driver Internal Error:").append(L":\n\n");
  for (const wchar_t* text : texts) message.append(text).append(L"\n");
  message.append(
      L"\nDo you want to break into the debugger?\n\nClicking Cancel will disable this popup "
      L"for the current process.");
  const int32_t answer = ShowMessageBox(message.c_str(), L"Debug Internal Error",
                                        os::MB_YESNOCANCEL | os::MB_ICONQUESTION | os::MB_TOPMOST);
  if (answer == os::IDYES) {
    std::raise(SIGTRAP);
  } else if (answer == os::IDCANCEL) {
    settings.debugInternalError &= ~int64_t{2};
  }
}

}  // namespace zor::frame
