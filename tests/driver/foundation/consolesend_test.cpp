#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "driver/foundation/messagebox.h"
#include "platform/os/ui/message_box.h"
#include "platform/os/ui/session.h"

using namespace zor::foundation;

namespace {

int g_sends = 0;

}  // namespace

// Linked in place of os::WTSSendMessage (see CMakeLists.txt): a send to the console that fails,
// as when the terminal services are not running.
extern "C" bool __wrap__ZN2os14WTSSendMessageEjPKwjS1_jjjPib(uint32_t, const wchar_t*, uint32_t,
                                                             const wchar_t*, uint32_t, uint32_t,
                                                             uint32_t, int* response, bool) {
  ++g_sends;
  if (response != nullptr) *response = 0;
  return false;
}

TEST(ConsoleSend, FailedSendGivesTheCautiousAnswerNotOk) {
  int asked = 0;
  os::SetMessageBoxAnswer([&asked](const std::wstring&, const std::wstring&, uint32_t) {
    ++asked;
    return os::IDOK;
  });
  os::SetSessionFacts(0, 1);  // a service while a user is at the console
  EXPECT_EQ(ShowMessageBox(L"delete?", L"c", os::MB_OKCANCEL), os::IDCANCEL);
  EXPECT_EQ(ShowMessageBox(L"delete?", L"c", os::MB_YESNO), os::IDNO);
  EXPECT_EQ(ShowMessageBox(L"note", L"c", os::MB_OK), os::IDOK);
  EXPECT_EQ(g_sends, 3);
  EXPECT_EQ(asked, 0);
  os::SetMessageBoxAnswer(nullptr);
  os::SetSessionFacts(1, 1);
}
