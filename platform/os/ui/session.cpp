#include "platform/os/ui/session.h"

#include <cwchar>
#include <mutex>
#include <string>

#include "platform/os/core/error.h"
#include "platform/os/ui/console_message.h"
#include "platform/os/ui/message_box.h"

namespace os {
namespace {

// The answer of a message sent without waiting.
constexpr int IDASYNC = 32001;

struct SessionFacts {
  std::mutex mutex;
  uint32_t process = 1;
  uint32_t console = 1;
};

SessionFacts& Facts() {
  static SessionFacts& facts = *new SessionFacts;
  return facts;
}

// The text of a counted wide string, up to its NUL.
std::wstring Text(const wchar_t* text, uint32_t bytes) {
  if (text == nullptr) return {};
  const size_t limit = bytes / sizeof(wchar_t);
  return std::wstring(text, wcsnlen(text, limit));
}

}  // namespace

uint32_t WTSGetActiveConsoleSessionId() {
  std::lock_guard lock(Facts().mutex);
  return Facts().console;
}

bool ProcessIdToSessionId(uint32_t, uint32_t* sessionId) {
  if (sessionId == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::lock_guard lock(Facts().mutex);
  *sessionId = Facts().process;
  return true;
}

void SetSessionFacts(uint32_t processSession, uint32_t consoleSession) {
  std::lock_guard lock(Facts().mutex);
  Facts().process = processSession;
  Facts().console = consoleSession;
}

bool WTSSendMessage(uint32_t sessionId, const wchar_t* title, uint32_t titleBytes,
                    const wchar_t* message, uint32_t messageBytes, uint32_t style, uint32_t,
                    int* response, bool wait) {
  if (response == nullptr || sessionId != WTSGetActiveConsoleSessionId()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const std::wstring caption = Text(title, titleBytes);
  const std::wstring text = Text(message, messageBytes);
  if (wait) {
    *response = MessageBox(text.c_str(), caption.c_str(), style);
  } else {
    detail::PrintMessage(text, caption, style);
    *response = IDASYNC;
  }
  return true;
}

}  // namespace os
