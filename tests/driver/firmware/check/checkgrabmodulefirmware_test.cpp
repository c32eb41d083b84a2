#include "driver/firmware/check/checkgrabmodulefirmware.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/foundation/registrykey.h"
#include "platform/boardsim/board.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/power/security.h"
#include "platform/os/process/environment.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/wait.h"
#include "platform/os/ui/message_box.h"
#include "tests/driver/firmware/check/simfirmwaresystem.h"
#include "tests/driver/firmware/support/firmwarefolder.h"

namespace {

using firmwaretest::SimFirmwareSystem;
using zor::firmware::CheckGrabModuleFirmware;
using zor::foundation::CError;
using zor::foundation::CRegistryKey;
namespace fs = std::filesystem;

constexpr uint64_t kStandard = 1u << 18;
constexpr uint64_t kFourDecodersMpeg4 = (1u << 17) | (1u << 19);
constexpr uint32_t kStandardFileCode = 0xAB301015;  // DravionLyn.firmware, 2026-11-30 10:15
constexpr uint32_t kOldCode = 0x6A010000;           // 2006-10-01: older than every file
constexpr uint64_t kAtAllocation = 0x10000000;
constexpr wchar_t kUpdateMutex[] = L"VelantFirmwareUpdateMutex";

struct Box {
  std::wstring text;
  std::wstring caption;
  uint32_t style;
};

class FirmwareCheck : public testing::Test {
 protected:
  void SetUp() override {
    os::SetMessageBoxAnswer(
        [this](const std::wstring& text, const std::wstring& caption, uint32_t style) {
          boxes_.push_back({text, caption, style});
          switch (style & 0xF) {
            case os::MB_OKCANCEL:
              return agree_ ? os::IDOK : os::IDCANCEL;
            case os::MB_YESNO:
              return agree_ ? os::IDYES : os::IDNO;
            default:
              return os::IDOK;
          }
        });
    // The tests stay in their process unless they ask for the shutdown.
    firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 0);
    firmwaretest::SetFirmwareNeedReboot(0);
    HostAppControl(Q_DEFAULT, Q_NO_DIALOG, 0);
    board_ = std::make_unique<boardsim::Board>(boardsim::BoardConfig{});
    board_->SetCapabilities(kStandard);
    board_->GrabModule().SetFirmwareCode(kOldCode);
  }

  void TearDown() override {
    // Every box under its own caption: the restart's failure a plain one, the others warnings.
    for (const Box& box : boxes_) {
      const bool plain = box.caption == L"Velant DravionLyn Firmware Update";
      EXPECT_TRUE(plain || box.caption == L"Velant DravionLyn Grab Module Firmware Update" ||
                  box.caption == L"Velant DravionLyn firmware update")
          << box.caption;
      EXPECT_EQ(box.style & ~0xFu, plain ? 0 : os::MB_ICONWARNING | os::MB_SYSTEMMODAL) << box.text;
    }
    os::SetMessageBoxAnswer({});
    os::SetShutdownRefusal(os::ERROR_SUCCESS);
  }

  CError Check(uint64_t flags = kAtAllocation) {
    SimFirmwareSystem system(*board_);
    CError error;
    CheckGrabModuleFirmware(system, flags, error);
    return error;
  }

  static std::string ErrorText(const CError& error) {
    if (error.errorSet == 0) return "ok";
    return std::to_string(error.errorSet) + ":" + std::to_string(error.code) + "." +
           std::to_string(error.subCode);
  }

  static bool UpdateMutexExists() {
    const os::Handle mutex = os::OpenMutex(kUpdateMutex);
    if (mutex != os::kNullHandle) os::CloseHandle(mutex);
    return mutex != os::kNullHandle;
  }

  bool FlashHolds(const std::string& file) {
    const std::vector<uint32_t> words = firmwaretest::DataWords(folder_.Path() + "/" + file);
    for (size_t w = 0; w < words.size(); ++w) {
      if (board_->GrabModule().Flash().ReadWord(static_cast<int>(w)) != words[w]) return false;
    }
    return !words.empty();
  }

  std::string FlashText() {
    for (const char* file : {"DravionLyn.firmware", "DravionLyn4VDMpeg4.firmware"}) {
      if (FlashHolds(file)) return file;
    }
    return board_->GrabModule().Flash().ReadWord(1) == 0xFFFFFFFFu ? "blank" : "other";
  }

  // What a check leaves: its error, the dialogs shown so far, the update mutex and the flash.
  std::string Outcome(uint64_t flags = kAtAllocation) {
    std::string text = ErrorText(Check(flags));
    text += ", " + std::to_string(boxes_.size()) + " boxes";
    if (UpdateMutexExists()) text += ", mutex held";
    return text + ", flash " + FlashText();
  }

  bool Shown(const std::wstring& start) const {
    for (const Box& box : boxes_) {
      if (box.text.rfind(start, 0) == 0) return true;
    }
    return false;
  }

  firmwaretest::FirmwareFolder folder_;
  std::unique_ptr<boardsim::Board> board_;
  std::vector<Box> boxes_;
  bool agree_ = true;
};

TEST_F(FirmwareCheck, AnOlderModuleIsProgrammedAndThenUpToDate) {
  EXPECT_EQ(Outcome(), "ok, 2 boxes, flash DravionLyn.firmware");
  EXPECT_EQ(board_->GrabModule().FirmwareCode(), kStandardFileCode);
  EXPECT_EQ(boxes_.at(0).caption, L"Velant DravionLyn Grab Module Firmware Update");
  EXPECT_EQ(boxes_.at(0).style, os::MB_OKCANCEL | os::MB_ICONWARNING | os::MB_SYSTEMMODAL);
  EXPECT_TRUE(Shown(L"Finished updating Velant DravionLyn firmware."));
  // A second allocation finds the module up to date.
  boxes_.clear();
  EXPECT_EQ(Outcome(), "ok, 0 boxes, flash DravionLyn.firmware");
}

TEST_F(FirmwareCheck, ASuccessfulUpdateShutsDownAndEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 1);
  firmwaretest::SetBoardDword(L"FirmwareShutdownWaitTimeInSec", 7);
  EXPECT_EXIT(
      {
        SimFirmwareSystem system(*board_);
        system.onRunEnd = [this] {
          fprintf(stderr, "module code %08X\n", board_->GrabModule().FirmwareCode());
        };
        CError error;
        CheckGrabModuleFirmware(system, kAtAllocation, error);
        fprintf(stderr, "check returned\n");
      },
      testing::ExitedWithCode(0),
      "module code AB301015(.|\n)*Finished updating(.|\n)*shutdown requested in 7 s");
  CRegistryKey mark(9, L"", false);
  int32_t pending = 0;
  EXPECT_TRUE(mark.ReadDword(L"FWNeedReboot", pending));
  EXPECT_EQ(pending, 1);
}

// A shutdown still pending blocks the update and frees the mutex; a refused one is reported.
TEST_F(FirmwareCheck, APendingOrARefusedShutdown) {
  firmwaretest::SetFirmwareNeedReboot(1);
  EXPECT_EQ(Outcome(), "1:4305.4, 1 boxes, flash blank");
  firmwaretest::SetFirmwareNeedReboot(0);
  boxes_.clear();
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 1);
  os::SetShutdownRefusal(os::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Outcome(), "1:4402.4, 3 boxes, flash DravionLyn.firmware");
  EXPECT_EQ(boxes_.at(2).caption, L"Velant DravionLyn Firmware Update");
  EXPECT_EQ(boxes_.at(2).style, os::MB_OK);
}

TEST_F(FirmwareCheck, TheUserMayDecline) {
  agree_ = false;
  EXPECT_EQ(Outcome(), "1:4401.2, 1 boxes, flash blank");
  // Without the question the update starts at once.
  firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup1", 0);
  firmwaretest::SetBoardDword(L"EnableFirmwareUpdatePopup2", 0);
  boxes_.clear();
  EXPECT_EQ(Outcome(), "ok, 0 boxes, flash DravionLyn.firmware");
}

TEST_F(FirmwareCheck, AnInstalledOrRunningUpdaterTakesOver) {
  // ZOR_PATH/../../tools holds the updater; the folder's name would trouble a shell.
  const fs::path root = fs::path(folder_.Temp()) / "zor install; touch hacked";
  fs::create_directories(root / "lib" / "x64");
  fs::create_directories(root / "tools");
  const fs::path updater = root / "tools" / "FirmwareUpdater.exe";
  const fs::path marker = root / "tools" / "started";
  {
    std::ofstream script(updater);
    script << "#!/bin/sh\necho started > \"$(dirname \"$0\")/started\"\n";
  }
  fs::permissions(updater, fs::perms::owner_all);
  os::SetEnvironmentVariable(L"ZOR_PATH", (root / "lib" / "x64").wstring().c_str());

  EXPECT_EQ(Outcome(), "1:4401.2, 1 boxes, flash blank");
  EXPECT_EQ(boxes_.at(0).style & 0xF, os::MB_YESNO);
  for (int i = 0; i < 500 && !fs::exists(marker); ++i) os::Sleep(10);
  EXPECT_TRUE(fs::exists(marker));
  EXPECT_FALSE(fs::exists(fs::current_path() / "hacked"));

  // A running updater holds its mutex: nothing is asked.
  const os::Handle running = os::CreateMutex(false, L"velantimaging.FirmwareUpdaterStarted");
  boxes_.clear();
  EXPECT_EQ(Outcome(), "1:4401.2, 0 boxes, flash blank");
  os::CloseHandle(running);
  // The folder without the updater: the driver updates itself.
  fs::remove(updater);
  boxes_.clear();
  EXPECT_EQ(Outcome(), "ok, 2 boxes, flash DravionLyn.firmware");
  os::SetEnvironmentVariable(L"ZOR_PATH", nullptr);
}

TEST_F(FirmwareCheck, ReportOnlyRecordsTheMismatch) {
  EXPECT_EQ(Outcome(0x30000000), "1:4351.1, 0 boxes, flash blank");
  board_->GrabModule().SetFirmwareCode(kStandardFileCode);
  EXPECT_EQ(Outcome(0x30000000), "ok, 0 boxes, flash blank");
  // Neither comparing nor forcing: nothing happens.
  board_->GrabModule().SetFirmwareCode(kOldCode);
  EXPECT_EQ(Outcome(0), "ok, 0 boxes, flash blank");
  // The update flag asks for an update of any variant, one without a file too.
  board_->SetCapabilities(1u << 17);
  EXPECT_EQ(Outcome(), "ok, 0 boxes, flash blank");
  board_->GrabModule().SetUpdateFlag(1);
  EXPECT_EQ(Outcome(0x30000000), "1:4351.1, 0 boxes, flash blank");
}

TEST_F(FirmwareCheck, NoDescriptionFileOrNoFirmwareFolder) {
  fs::remove(folder_.Bsdl() + "/jtag_file.inf");
  EXPECT_EQ(Outcome(), "1:4401.3, 1 boxes, flash blank");
  boxes_.clear();
  firmwaretest::RemoveBoardValue(L"FirmwarePath");
  // The comparison cannot tell; a forced update stops at the folder.
  EXPECT_EQ(Outcome(), "ok, 0 boxes, flash blank");
  EXPECT_EQ(Outcome(1), "1:4402.1, 0 boxes, flash blank");
}

TEST_F(FirmwareCheck, AStuckBitFailsWithoutShutdown) {
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 1);
  board_->GrabModule().Flash().SetStuckBit(boardsim::SimStuckBit{1, 1, true});
  EXPECT_EQ(Outcome(), "1:4401.1, 1 boxes, flash other");
  EXPECT_TRUE(os::RecordedShutdownRequests().empty());
  EXPECT_FALSE(Shown(L"Finished"));
}

TEST_F(FirmwareCheck, AnUnreachableChainIsAFailureWithOrWithoutDialogs) {
  firmwaretest::SetBoardDword(L"EnableRebootOnFirmwareUpdate", 1);
  board_->JtagChain().SetTdoStuck(false);
  // With dialogs the user learns why, and no shutdown follows.
  EXPECT_EQ(Outcome(), "1:4401.4, 2 boxes, flash blank");
  EXPECT_TRUE(Shown(L"Could not access FLASH or EEPROM make sure Jumper is present."));
  EXPECT_TRUE(os::RecordedShutdownRequests().empty());

  HostAppControl(Q_DEFAULT, Q_NO_DIALOG, 1);
  boxes_.clear();
  EXPECT_EQ(Outcome(), "1:4401.4, 1 boxes, flash blank");  // only the question
  // A data file that cannot be read: forced, as the comparison would not start an update.
  fs::remove(folder_.Path() + "/DravionLyn.firmware");
  EXPECT_EQ(Outcome(1), "1:4401.3, 2 boxes, flash blank");
  HostAppControl(Q_DEFAULT, Q_NO_DIALOG, 0);
  boxes_.clear();
  EXPECT_EQ(Outcome(1), "1:4401.3, 2 boxes, flash blank");
  EXPECT_TRUE(Shown(L"Could not update FPGA, invalid file or file not found."));
  EXPECT_TRUE(os::RecordedShutdownRequests().empty());
}

TEST_F(FirmwareCheck, ANullJtagRegisterIsAFailure) {
  SimFirmwareSystem system(*board_);
  system.SetJtagRegisterAddress(0);
  CError error;
  CheckGrabModuleFirmware(system, kAtAllocation, error);
  EXPECT_EQ(ErrorText(error), "1:4401.1");
  EXPECT_FALSE(Shown(L"Finished"));
  EXPECT_EQ(system.portsSet, 0);
}

TEST_F(FirmwareCheck, OldMpeg4Firmware) {
  board_->SetCapabilities(kFourDecodersMpeg4);
  agree_ = false;
  EXPECT_EQ(Outcome(), "1:4401.2, 1 boxes, flash blank");
  // Once programmed, the module runs the file's firmware, whatever it ran before.
  agree_ = true;
  boxes_.clear();
  EXPECT_EQ(Outcome(), "ok, 2 boxes, flash DravionLyn4VDMpeg4.firmware");
  EXPECT_TRUE(Shown(L"Finished"));
}

// A file dated at the oldest firmware an MPEG-4 board runs passes the version check once
// programmed; one a minute older does not.
TEST_F(FirmwareCheck, TheOldestMpeg4FirmwareIsTheLimit) {
  board_->SetCapabilities(kFourDecodersMpeg4);
  const std::string name = "DravionLyn4VDMpeg4.firmware";
  std::ifstream in(folder_.Path() + "/" + name, std::ios::binary);
  std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t date = image.find("Creation_Date ");
  ASSERT_NE(date, std::string::npos);
  for (const auto& [text, refused] :
       {std::pair<const char*, bool>{"20061114.1536", false}, {"20061114.1535", true}}) {
    image.replace(date + 14, 13, text);
    folder_.Write(name, image);
    board_->GrabModule().SetFirmwareCode(kOldCode);
    EXPECT_EQ(ErrorText(Check()) == "1:4401.2", refused) << text;
  }
}

}  // namespace
