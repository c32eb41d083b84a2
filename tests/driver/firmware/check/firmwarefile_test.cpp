#include "driver/firmware/check/firmwarefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "driver/firmware/check/firmwaresettings.h"
#include "platform/boardsim/board.h"
#include "platform/os/text/convert.h"
#include "tests/driver/firmware/check/simfirmwaresystem.h"
#include "tests/driver/firmware/support/firmwarefolder.h"

namespace {

using namespace zor::firmware;
using zor::foundation::CError;

TEST(FirmwareFile, DatesPackIntoVersionCodes) {
  uint64_t code = 0;
  ASSERT_TRUE(PackFirmwareDate("20061114.1536", code));
  EXPECT_EQ(code, 0x6B141536u);
  // From 2016 on the year leaves the board's 32 bits, yet equal dates stay equal.
  ASSERT_TRUE(PackFirmwareDate("20261130.1015", code));
  EXPECT_EQ(code, 0x1AB301015u);
  EXPECT_TRUE(SameFirmware(code, 0xAB301015));
  EXPECT_FALSE(SameFirmware(code, 0xAB301016));
  for (const char* bad : {"19991114.1536", "20061114-1536", "2006111.41536", "20061114.153",
                          "200611x4.1536", "20061114.15360", ""}) {
    EXPECT_FALSE(PackFirmwareDate(bad, code)) << bad;
    EXPECT_EQ(code, 0u);
  }
}

TEST(FirmwareFile, VariantsSelectTheirFiles) {
  EXPECT_STREQ(FirmwareFileName(kCapStandard | kCapMpeg4), L"/DravionLynMpeg4.firmware");
  EXPECT_STREQ(FirmwareFileName(kCapFourDecoders | kCapMpeg4), L"/DravionLyn4VDMpeg4.firmware");
  EXPECT_STREQ(FirmwareFileName(kCapStandard | kCapFourDecoders | kCapMpeg4),
               L"/DravionLynMpeg4.firmware");
  EXPECT_STREQ(FirmwareFileName(kCapStandard), L"/DravionLyn.firmware");
  EXPECT_EQ(FirmwareFileName(kCapFourDecoders), nullptr);
  EXPECT_EQ(FirmwareFileName(kCapMpeg4), nullptr);
}

class FirmwareHeader : public testing::Test {
 protected:
  uint64_t Read(const std::string& text, bool* failed = nullptr) {
    folder_.Write("header.firmware", text);
    const std::wstring path = os::Utf8ToWide(folder_.Path() + "/header.firmware");
    uint64_t code = 1;
    const CError error = ReadFirmwareHeader(system_, path.c_str(), code);
    if (failed != nullptr) *failed = error.errorSet != 0;
    if (error.errorSet != 0) {
      EXPECT_EQ(error.code, 4401u);
      EXPECT_EQ(error.subCode, 3u);
    }
    return code;
  }

  firmwaretest::FirmwareFolder folder_;
  boardsim::Board board_{boardsim::BoardConfig{}};
  firmwaretest::SimFirmwareSystem system_{board_};
};

TEST_F(FirmwareHeader, FindsTheCreationDateInTheFirstKilobyte) {
  // Too far into the file, missing, or malformed: no code and 4401/3. The date's last digit may
  // be the kilobyte's last byte read (1023); a date has 13 characters.
  const std::pair<std::string, uint64_t> cases[] = {
      {"Creation_Date 20061114.1536", 0x6B141536u},
      {"(Header (x\n creation_DATE 20061114.1536\n)", 0x6B141536u},
      {"Creation_Date 20061114.15369", 0x6B141536u},
      {std::string(996, ' ') + "Creation_Date 20061114.1536", 0x6B141536u},
      {std::string(997, ' ') + "Creation_Date 20061114.1536", 0},
      {"Creation_Date\t20061114.1536", 0},
      {"Creation_Date 2006-11-14", 0}};
  for (const auto& [text, code] : cases) {
    bool failed = false;
    EXPECT_EQ(Read(text, &failed), code) << text.substr(0, 40);
    EXPECT_EQ(failed, code == 0) << text.substr(0, 40);
  }
  uint64_t code = 1;
  EXPECT_EQ(ReadFirmwareHeader(system_, L"/nonexistent/file", code).subCode, 3u);
  EXPECT_EQ(code, 0u);
  // A FIFO in the firmware folder would hold the read for ever: it is no file.
  const std::string fifo = folder_.Path() + "/fifo.firmware";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  code = 1;
  EXPECT_EQ(ReadFirmwareHeader(system_, os::Utf8ToWide(fifo).c_str(), code).subCode, 3u);
  EXPECT_EQ(code, 0u);
}

TEST_F(FirmwareHeader, TheAuthoredFilesCarryTheirDates) {
  const struct {
    const char* file;
    uint32_t code;
  } files[] = {{"DravionLyn.firmware", 0xAB301015},
               {"DravionLyn4VDMpeg4.firmware", 0xAC010930},
               {"DravionLynMpeg4.firmware", 0xAC021445}};
  for (const auto& file : files) {
    const std::wstring path = os::Utf8ToWide(folder_.Path() + "/" + file.file);
    uint64_t code = 0;
    EXPECT_EQ(ReadFirmwareHeader(system_, path.c_str(), code).errorSet, 0);
    EXPECT_EQ(static_cast<uint32_t>(code), file.code) << file.file;
    // The image's word 0 is its version code, which the module reports once it runs it.
    EXPECT_EQ(firmwaretest::DataWords(folder_.Path() + "/" + file.file).at(0), file.code);
  }
}

// The settings as "ask show wait reboot".
std::string Settings() {
  const FirmwareSettings s = ReadFirmwareSettings();
  return std::to_string(s.askBeforeUpdate) + " " + std::to_string(s.showCompletion) + " " +
         std::to_string(s.shutdownWaitSeconds) + " " + std::to_string(s.rebootAfterUpdate);
}

TEST(FirmwareSettings, DefaultsAndLimits) {
  firmwaretest::FirmwareFolder folder;
  EXPECT_EQ(Settings(), "1 1 15 1");
  firmwaretest::SetBoardDword(L"FirmwareShutdownWaitTimeInSec", 30);
  firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup2", 0);
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 0);
  EXPECT_EQ(Settings(), "1 0 30 0");
  firmwaretest::SetBoardDword(L"FirmwareShutdownWaitTimeInSec", 31);
  // A value of the wrong size keeps the default.
  firmwaretest::SetBoardString(L"EnableFirmwareUpdatePopup1", "0");
  EXPECT_EQ(Settings(), "1 0 15 0");
}

}  // namespace
