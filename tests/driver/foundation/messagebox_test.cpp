#include "driver/foundation/messagebox.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/os/ui/message_box.h"
#include "platform/os/ui/session.h"

using namespace zor::foundation;

namespace {

class MessageBoxes : public testing::Test {
 protected:
  void SetUp() override {
    os::SetMessageBoxAnswer(
        [this](const std::wstring& text, const std::wstring& caption, uint32_t style) {
          ++asked_;
          lastText_ = text;
          lastCaption_ = caption;
          return style == os::MB_YESNO ? os::IDYES : os::IDOK;
        });
  }
  void TearDown() override {
    os::SetMessageBoxAnswer(nullptr);
    os::SetSessionFacts(1, 1);
  }
  int asked_ = 0;
  std::wstring lastText_;
  std::wstring lastCaption_;
};

}  // namespace

TEST_F(MessageBoxes, OrdinaryAndConsoleSessionBoxes) {
  EXPECT_EQ(ShowMessageBox(L"text", L"caption", os::MB_YESNO), os::IDYES);
  EXPECT_EQ(lastCaption_, L"caption");
  os::SetSessionFacts(0, 0);  // a service with nobody at the console
  EXPECT_EQ(ShowMessageBox(L"a", L"b", os::MB_OK), os::IDOK);
  os::SetSessionFacts(0, 1);  // a service while a user is at the console
  EXPECT_EQ(ShowMessageBox(L"to console", L"c", os::MB_YESNO), os::IDYES);
  EXPECT_EQ(lastText_, L"to console");
  EXPECT_EQ(asked_, 3);
}

TEST(FatalMemoryErrorDeathTest, ShowsTheBoxAndExitsWithOne) {
  EXPECT_EXIT(FatalMemoryError(L"Not enough heap memory to continue."), testing::ExitedWithCode(1),
              "Fatal memory error.");
}
