// Message boxes the driver shows, in the console session, and the fatal-memory-error exit.
#include "driver/foundation/messagebox.h"

#include <cstdlib>
#include <cwchar>

#include "platform/os/sync/thread.h"
#include "platform/os/ui/message_box.h"
#include "platform/os/ui/session.h"

namespace zor::foundation {

namespace {

uint32_t ByteLength(const wchar_t* text) {
  return static_cast<uint32_t>((wcslen(text) + 1) * sizeof(wchar_t));
}

}  // namespace

int32_t ShowMessageBox(const wchar_t* text, const wchar_t* caption, uint32_t style) {
  if (text == nullptr) text = L"";
  if (caption == nullptr) caption = L"";
  uint32_t processSession = 1;
  os::ProcessIdToSessionId(os::GetCurrentProcessId(), &processSession);
  const uint32_t consoleSession = os::WTSGetActiveConsoleSessionId();
  if (processSession == 0 && consoleSession != 0) {
    // A service's own desktop is never seen: ask the user at the console. A send that
    // fails answers OK, whatever it left in the response.
    int response = 0;
    if (!os::WTSSendMessage(consoleSession, caption, ByteLength(caption), text, ByteLength(text),
                            style, 0, &response, true)) {
      return os::IDOK;
    }
    return response;
  }
  return os::MessageBox(text, caption, style);
}

void FatalMemoryError(const wchar_t* text) {
  ShowMessageBox(text, L"Fatal memory error.", os::MB_OK);
  std::_Exit(1);
}

}  // namespace zor::foundation
