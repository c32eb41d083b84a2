// The progress of a firmware update on the terminal bar, and its switch.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/foundation/runtimeconfig.h"
#include "driver/frameworkuser/genicam/genicamfirmwareupdate/firmwareupdateprogress.h"
#include "platform/os/registry/registry.h"

namespace zor::genicam {
namespace {

class FirmwareProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = std::tmpfile();
    ASSERT_NE(out_, nullptr);
  }
  void TearDown() override {
    std::fclose(out_);
    SetGraphic(1);
  }
  std::string Drawn() {
    std::fflush(out_);
    std::rewind(out_);
    std::string text;
    for (int c; (c = std::fgetc(out_)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  // The configuration store is read again with the new value.
  static void SetGraphic(uint32_t value) {
    os::Handle key = os::kNullHandle;
    os::RegCreateKey(os::HKEY_LOCAL_MACHINE,
                     L"Software\\Velant\\Velant Zor Library\\Runtime\\Controls\\Driver",
                     os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS, &key, nullptr);
    os::RegSetValue(key, L"EnableFirmwareUpdateProgressGraphic", os::REG_DWORD, &value,
                    sizeof(value));
    os::RegCloseKey(key);
    foundation::CRuntimeConfig::Destroy();
  }

  std::FILE* out_ = nullptr;
};

TEST_F(FirmwareProgressTest, BarFollowsTextsValuesAndSteps) {
  CDigitizerFirmwareUpdaterProgress progress(out_);
  EXPECT_EQ(progress.Window(), nullptr);
  progress.ReportProgressValue(1, 50.0);  // before the window: nothing to show
  progress.BeginProgress("Updating", 2);
  ASSERT_NE(progress.Window(), nullptr);
  const os::ProgressBar* bar = progress.Window()->window.get();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->Title(), "Updating firmware, please wait...");
  progress.ReportProgressValue(1, 42.9);
  EXPECT_EQ(bar->Position(), 42u);
  progress.ReportProgressText(1, "Writing firmware 2.0");
  EXPECT_EQ(bar->Title(), "Writing firmware 2.0");
  EXPECT_EQ(bar->Position(), 0u);
  progress.ReportProgressValue(1, -3.0);
  EXPECT_EQ(bar->Position(), 0u);
  progress.ReportProgressValue(1, 1e30);
  EXPECT_EQ(bar->Position(), 100u);
  progress.CompleteProgressStep(1);
  EXPECT_EQ(bar->Position(), 100u);
  progress.ReportProgressValue(2, 60.0);
  progress.EndProgress(true);
  EXPECT_EQ(progress.Window(), nullptr);
  const std::string drawn = Drawn();
  EXPECT_GT(drawn.rfind("100%"), drawn.rfind(" 60%"));  // the end fills the bar
  EXPECT_NE(drawn.find("Updating firmware, please wait..."), std::string::npos);
  EXPECT_NE(drawn.find("Writing firmware 2.0"), std::string::npos);
  EXPECT_NE(drawn.find(" 42%"), std::string::npos);
  EXPECT_NE(drawn.find("100%"), std::string::npos);
}

TEST_F(FirmwareProgressTest, GraphicSwitchedOffShowsNothing) {
  SetGraphic(0);
  CDigitizerFirmwareUpdaterProgress progress(out_);
  progress.BeginProgress("Updating", 2);
  ASSERT_NE(progress.Window(), nullptr);
  EXPECT_EQ(progress.Window()->window, nullptr);
  EXPECT_EQ(progress.Window()->graphicSwitch, 0);
  progress.ReportProgressText(1, "Writing");
  progress.ReportProgressValue(1, 10.0);
  progress.EndProgress(true);
  EXPECT_EQ(Drawn(), "");
}

// An update that throws between its begin and its end leaves no window behind.
TEST_F(FirmwareProgressTest, WindowOfAnUnfinishedUpdateGoesWithTheObserver) {
  {
    CDigitizerFirmwareUpdaterProgress progress(out_);
    progress.BeginProgress("Updating", 2);
    progress.ReportProgressValue(1, 30.0);
  }
  EXPECT_NE(Drawn().find(" 30%"), std::string::npos);
}

}  // namespace
}  // namespace zor::genicam
