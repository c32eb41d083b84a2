#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "driver/foundation/messagebox.h"
#include "platform/os/ui/message_box.h"
#include "platform/os/ui/session.h"

using namespace zor::foundation;

namespace {

int g_sends = 0;
// What the failing send leaves in the caller's response.
int g_leftResponse = 0;

}  // namespace

// Linked in place of os::WTSSendMessage (see CMakeLists.txt): a send to the console that fails,
// as when the terminal services are not running.
extern "C" bool __wrap__ZN2os14WTSSendMessageEjPKwjS1_jjjPib(uint32_t, const wchar_t*, uint32_t,
                                                             const wchar_t*, uint32_t, uint32_t,
                                                             uint32_t, int* response, bool) {
  ++g_sends;
  if (response != nullptr) *response = g_leftResponse;
  return false;
}

TEST(ConsoleSend, FailedSendAnswersOkWhateverTheBoxAndTheLeftResponse) {
  int asked = 0;
  os::SetMessageBoxAnswer([&asked](const std::wstring&, const std::wstring&, uint32_t) {
    ++asked;
    return os::IDCANCEL;
  });
  os::SetSessionFacts(0, 1);  // a service while a user is at the console
  const struct {
    uint32_t style;
    int left;
  } cases[] = {
      {os::MB_OKCANCEL, 0},
      {os::MB_YESNO, os::IDNO},
      {os::MB_OK, os::IDCANCEL},
      {os::MB_OKCANCEL, -1},
  };
  int sends = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    g_leftResponse = c.left;
    EXPECT_EQ(ShowMessageBox(L"question", L"c", c.style), os::IDOK);
    EXPECT_EQ(g_sends, ++sends);
  }
  // The console was asked; no box fell back to the service's own desktop.
  EXPECT_EQ(asked, 0);
  os::SetMessageBoxAnswer(nullptr);
  os::SetSessionFacts(1, 1);
}
