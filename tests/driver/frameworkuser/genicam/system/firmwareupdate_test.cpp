// Firmware updates of the system's digitizers from GUF files through the
// system control, on the simulated board's digitizer firmware regions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/driver/frameworkuser/genicam/system/genicamsystemfixture.h"

namespace zor::genicam {
namespace {

class FirmwareUpdateTest : public GenICamSystemFixture {
 protected:
  // Each channel's firmware: "-" none yet, "+" the given one, "?" another.
  std::string Firmwares(const std::string& firmware = "") {
    std::string seen;
    for (int64_t channel = 0; channel < kChannels; ++channel) {
      const std::string now = SimBoard().DigitizerFirmware(channel);
      seen += now.empty() ? '-' : now == firmware ? '+' : '?';
    }
    return seen;
  }
  // Each channel's allocations since the test began, one digit a channel.
  std::string AllAllocations() {
    std::string counts;
    for (int64_t channel = 0; channel < kChannels; ++channel) {
      counts += std::to_string(Allocations(channel));
    }
    return counts;
  }
  // Every channel can be allocated again: no digitizer of the update stays.
  void ExpectNoDigitizerLeft() {
    for (int64_t channel = 0; channel < kChannels; ++channel) {
      const QID digitizer = QdigAlloc(system_, channel, L"Q_DEFAULT", Q_DEFAULT, nullptr);
      EXPECT_NE(digitizer, 0) << channel;
      if (digitizer != 0) QdigFree(digitizer);
    }
  }
};

TEST_F(FirmwareUpdateTest, MatchingFileUpdatesEveryDigitizerAndTheNewFirmwareRuns) {
  const std::string firmware = Firmware(4096, 1);
  Update(WriteGuf("all.guf", {firmware}));
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Firmwares(firmware), "++++");
  for (int64_t channel = 0; channel < kChannels; ++channel) {
    const QID digitizer = QdigAlloc(system_, channel, L"Q_DEFAULT", Q_DEFAULT, nullptr);
    ASSERT_NE(digitizer, 0);
    EXPECT_EQ(Steps(digitizer, "9102?"), "9102:4096 ");
    QdigFree(digitizer);
  }
}

TEST_F(FirmwareUpdateTest, DeviceBitsSelectOneDigitizerAndOnlyTheFirstFittingEntryIsApplied) {
  const std::string first = Firmware(1001, 2);
  Update(WriteGuf("two.guf", {first, Firmware(64, 3)}), 3);
  EXPECT_EQ(ErrorCode(), 0);
  // The last eight-byte chunk is padded with zeros.
  EXPECT_EQ(Firmwares(first + std::string(1008 - 1001, '\0')), "--+-");
  // Digitizers the application holds are passed over; the others are updated.
  const QID held = QdigAlloc(system_, 1, L"Q_DEFAULT", Q_DEFAULT, nullptr);
  ASSERT_NE(held, 0);
  const std::string second = Firmware(16, 4);
  Update(WriteGuf("again.guf", {second}));
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Firmwares(second), "+-++");
  QdigFree(held);
}

TEST_F(FirmwareUpdateTest, FileForAnotherModelUpdatesNothing) {
  Update(WriteGuf("camera.guf", {Firmware(64, 5)}, "SomeCamera"));
  EXPECT_EQ(ErrorCode(), 4423);
  EXPECT_EQ(SubText(1), L"A GenICam exception occurred.");
  EXPECT_EQ(SubText(2).rfind(L"Description: No matching device found.", 0), 0u) << SubText(2);
  EXPECT_EQ(Firmwares(), "----");
  ExpectNoDigitizerLeft();
}

TEST_F(FirmwareUpdateTest, CorruptOrMissingFileFailsBeforeAnyDigitizerIsAllocated) {
  const std::filesystem::path corrupt = genicam_ / "corrupt.guf";
  std::ofstream(corrupt) << "not a zip archive";
  for (const std::string& path : {corrupt.string(), (genicam_ / "missing.guf").string()}) {
    Update(path);
    EXPECT_EQ(ErrorCode(), 4423) << path;
    EXPECT_EQ(SubText(1), L"A GenICam exception occurred.");
    EXPECT_EQ(SubText(2).rfind(L"Description: ", 0), 0u);
    EXPECT_GT(SubText(2).size(), std::wstring(L"Description: ").size());
  }
  EXPECT_EQ(AllAllocations(), "0000");
  EXPECT_EQ(Firmwares(), "----");
}

TEST_F(FirmwareUpdateTest, NoPathIsRefusedAsAnInvalidValue) {
  EXPECT_EQ(Steps(0, "7798=0 7798=default"), "7798=0!4307/3 7798=default!4307/3 ");
  EXPECT_EQ(Firmwares(), "----");
}

TEST_F(FirmwareUpdateTest, DeviceThatComesBackAsAnotherFailsAndIsNotLeftAllocated) {
  SimBoard().ChangeIdentityOnReset(0, 0x1234);
  Update(WriteGuf("changed.guf", {Firmware(32, 6)}), 1);
  EXPECT_EQ(ErrorCode(), 4423);
  EXPECT_EQ(SubText(2), L"Description: Error, unable to find the device after a reset.");
  ExpectNoDigitizerLeft();
}

TEST_F(FirmwareUpdateTest, DeviceFoundAgainUnderAnotherNumberByItsIdentity) {
  // Device 1 comes back as device 3: its old place names another device now.
  SimBoard().ChangeIdentityOnReset(1, 0x99);
  SimBoard().SetDigitizerIdentity(3, DefaultIdentity(1));
  const std::string firmware = Firmware(24, 7);
  Update(WriteGuf("moved.guf", {firmware}), 2);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Firmwares(firmware), "-+--");
  EXPECT_EQ(Allocations(3), 1u);
  ExpectNoDigitizerLeft();
}

// Without identities only the device's own place tells it apart.
TEST_F(FirmwareUpdateTest, DevicesWithoutIdentityAreFoundAgainWhereTheyWere) {
  for (int64_t channel = 0; channel < kChannels; ++channel) {
    SimBoard().SetDigitizerIdentity(channel, 0);
  }
  const std::string firmware = Firmware(40, 8);
  Update(WriteGuf("anonymous.guf", {firmware}), 3);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Firmwares(firmware), "--+-");
  EXPECT_EQ(AllAllocations(), "0020");
  ExpectNoDigitizerLeft();
}

}  // namespace
}  // namespace zor::genicam
