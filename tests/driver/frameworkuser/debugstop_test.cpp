// Stopping on a chosen error: the popup and the crash dump.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/foundation/runtimeconfig.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "platform/os/registry/registry.h"
#include "platform/os/sync/thread.h"
#include "platform/os/ui/message_box.h"
#include "tests/driver/frameworkuser/support/testdriver.h"
#include "tests/support/ownprocess.h"

using namespace zor::foundation;

namespace zor::frame {
namespace {

void SetDebugValue(const wchar_t* name, uint32_t value) {
  os::Handle key = os::kNullHandle;
  ASSERT_EQ(os::RegCreateKey(os::HKEY_LOCAL_MACHINE,
                             L"Software\\Velant\\Velant Zor Library\\Runtime\\Controls\\Debug",
                             os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS, &key, nullptr),
            0u);
  ASSERT_EQ(os::RegSetValue(key, name, os::REG_DWORD, &value, sizeof(value)), 0u);
  os::RegCloseKey(key);
}

// The settings are read once per process, at the first error: each test
// configures them and records its errors in a process of its own.
class DebugStopTest : public ::testing::Test, protected ContextOnTestDriver {
 protected:
  void SetUp() override {
    dumps_ = std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "dumps";
    setenv("TEMP", dumps_.c_str(), 1);
    os::SetMessageBoxAnswer(
        [this](const std::wstring& text, const std::wstring& caption, uint32_t style) {
          shown_.push_back(text);
          EXPECT_EQ(caption, L"Debug Internal Error");
          EXPECT_EQ(style, 0x40023u);
          return answer_;
        });
    SetDebugValue(L"DebugInternalError", 2);
    SetDebugValue(L"StopOnErrCode", 4320);
    SetDebugValue(L"StopOnSub1ErrCode", 2);
  }
  // The store is read again with the values of the test.
  void Configure() { CRuntimeConfig::Destroy(); }
  void TearDown() override { os::SetMessageBoxAnswer(nullptr); }

  void Fail(int64_t code, int64_t sub1) {
    ctx.SetError(0, 0, 0, 0);
    ctx.SetError(code, sub1, 0, 0);
  }
  std::vector<std::string> Dumps() const {
    std::vector<std::string> names;
    if (!std::filesystem::exists(dumps_)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(dumps_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::filesystem::path dumps_;
  std::vector<std::wstring> shown_;
  int answer_ = os::IDNO;
};

TEST_F(DebugStopTest, PopupForTheChosenErrorUntilCancelled) {
  zortest::InProcessOfItsOwn([this] {
    Configure();
    Fail(4320, 2);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0],
              L"The following error has been detected in Driver Internal Error::\n\nOperation "
              L"error:\nThe grab was halted.\n\n\n\nDo you want to "
              L"break into the debugger?\n\nClicking Cancel will disable this popup for the "
              L"current process.");
    Fail(4320, 3);
    Fail(4321, 2);
    EXPECT_EQ(shown_.size(), 1u);
    answer_ = os::IDCANCEL;
    Fail(4320, 2);
    Fail(4320, 2);
    EXPECT_EQ(shown_.size(), 2u);
    EXPECT_EQ(Dumps().size(), 0u);  // no dump unless asked for
  });
}

// The dump's name as it is made now: local time to the second, process and thread.
std::string DumpName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local);
  return "Imaging-Driver-" + std::string(stamp) + "-" + std::to_string(os::GetCurrentProcessId()) +
         "-" + std::to_string(os::GetCurrentThreadId()) + ".dmp";
}

TEST_F(DebugStopTest, CrashDumpOnlyWhenConfigured) {
  zortest::InProcessOfItsOwn([this] {
    SetDebugValue(L"DumpErrorCallStack", 1);
    Configure();
    Fail(4321, 2);
    EXPECT_EQ(Dumps().size(), 0u);
    const std::string before = DumpName();
    Fail(4320, 2);
    const std::string after = DumpName();
    EXPECT_EQ(shown_.size(), 1u);
    ASSERT_EQ(Dumps().size(), 1u);
    EXPECT_TRUE(Dumps()[0] == before || Dumps()[0] == after) << Dumps()[0];
  });
}

}  // namespace
}  // namespace zor::frame
