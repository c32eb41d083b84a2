// The grab-module firmware check that a system allocation runs, through
// libZOR.so: a module older than the firmware folder's is programmed and the
// process ends after the shutdown request.
#include <gtest/gtest.h>

#include "driver/foundation/registrykey.h"
#include "tests/driver/board/boardfixture.h"
#include "tests/driver/firmware/support/firmwarefolder.h"

namespace zor::board {
namespace {

constexpr uint64_t kStandardVariant = 1u << 18;
constexpr uint32_t kOldCode = 0x6A010000;           // older than every firmware file
constexpr uint32_t kStandardFileCode = 0xAB301015;  // DravionLyn.firmware

class FirmwareUpdateTest : public BoardFixture {
 protected:
  void SetUp() override {
    BoardFixture::SetUp();
    // No dialog: nobody is there to answer it.
    firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup1", 0);
    firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup2", 0);
    SimBoard().SetCapabilities(kStandardVariant);
  }

  firmwaretest::FirmwareFolder folder_;
};

TEST_F(FirmwareUpdateTest, OlderModuleIsProgrammedAndTheProcessEnds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 1);
  EXPECT_EXIT(
      {
        SimBoard().GrabModule().SetFirmwareCode(kOldCode);
        Alloc();
        fprintf(stderr, "the allocation returned\n");
      },
      testing::ExitedWithCode(0), "");
  foundation::CRegistryKey mark(9, L"", false);
  int32_t pending = 0;
  EXPECT_TRUE(mark.ReadDword(L"FWNeedReboot", pending));
  EXPECT_EQ(pending, 1);
}

TEST_F(FirmwareUpdateTest, NoUpdateAskedMakesOnlyAnOlderModuleFailTheAllocation) {
  SimBoard().GrabModule().SetFirmwareCode(kOldCode);
  EXPECT_EQ(Alloc(0, 0x20000000), 0);
  EXPECT_EQ(LastError(), Err(4351, 1));
  // An up-to-date module allocates at once, whether an update may be asked or not.
  SimBoard().GrabModule().SetFirmwareCode(kStandardFileCode);
  for (QINT64 flags : {QINT64{Q_DEFAULT}, QINT64{0x20000000}}) {
    const QID system = Alloc(0, flags);
    EXPECT_NE(system, 0) << "error " << ErrorCode();
    QsysFree(system);
  }
}

}  // namespace
}  // namespace zor::board
