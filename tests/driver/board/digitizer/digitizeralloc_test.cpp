// Digitizers allocated from camera files through libZOR.so: the standard
// files, custom files by every route, and every way a file fails.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "platform/os/registry/registry.h"
#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kSizeX = 1536;
constexpr QINT64 kSizeY = 1537;
constexpr QINT64 kBands = 1005;
constexpr QINT64 kPeriod = 4142;
constexpr uint8_t kInputControl = 0x00;
constexpr uint8_t kBrightness = 0x0A;

using DigitizerAlloc = DigitizerFixture;

// The process's threads; with a bound, once they are at most that or a second has passed: the
// kernel lists a joined thread a moment longer.
size_t Threads(size_t bound = SIZE_MAX) {
  size_t count = 0;
  for (int i = 0; i < 1000; ++i) {
    count =
        static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
    if (count <= bound) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return count;
}

TEST_F(DigitizerAlloc, StandardNamesProgramTheDecoderForTheirStandard) {
  const struct {
    const wchar_t* name;
    QINT64 width, height, bands, period;
    uint8_t inputControl;
  } cases[] = {
      {L"Q_RS170", 640, 480, 1, 33, 0x50},   {L"q_ntsc", 640, 480, 3, 33, 0x50},
      {L"Q_CCIR", 768, 576, 1, 40, 0x80},    {L"Q_PAL", 720, 576, 3, 40, 0x80},
      {L"Q_DEFAULT", 640, 480, 1, 33, 0x50},
  };
  size_t threadsAfterFree = 0;
  for (const auto& c : cases) {
    const QID digitizer = Digitizer(c.name);
    ASSERT_NE(digitizer, 0) << "error " << ErrorCode();
    EXPECT_EQ(Inquire(digitizer, kSizeX), c.width);
    EXPECT_EQ(Inquire(digitizer, kSizeY), c.height);
    EXPECT_EQ(Inquire(digitizer, kBands), c.bands);
    EXPECT_EQ(Inquire(digitizer, kPeriod), c.period);
    EXPECT_EQ(SimBoard().DecoderRegister(0, kInputControl), c.inputControl);
    QdigFree(digitizer);
    EXPECT_EQ(LastError(), Err(0));
    // The digitizer's hook threads end with it; the system's stay.
    if (threadsAfterFree == 0) threadsAfterFree = Threads();
    EXPECT_LE(Threads(threadsAfterFree), threadsAfterFree);
  }
}

TEST_F(DigitizerAlloc, CustomFilesAreFoundByEveryRoute) {
  const auto file = [&](const std::string& name, int brightness) {
    return WriteDcf(name, DcfWith("INFO_XSIZE 140\nINFO_YSIZE F0\nINFO_DEPTH 8\nINFO_BAND 1\n"
                                  "ADV7180_BRIGHTCTL " +
                                  std::to_string(brightness) + "\n"));
  };
  const auto brightnessOf = [&](const std::wstring& name) {
    const QID digitizer = Digitizer(name.c_str());
    EXPECT_NE(digitizer, 0) << "error " << ErrorCode();
    const int value = SimBoard().DecoderRegister(0, kBrightness);
    EXPECT_EQ(Inquire(digitizer, kSizeX), 0x140);
    QdigFree(digitizer);
    return value;
  };
  // Registry: the board key's "DCFPATH", as an installer writes it.
  file("reg/cam.dcf", 11);
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Imaging Board\\DravionLyn",
                   os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS, &key, nullptr);
  const std::wstring folder = (files_ / "reg").wstring();
  os::RegSetValue(key, L"DCFPATH", os::REG_SZ, folder.c_str(),
                  static_cast<uint32_t>((folder.size() + 1) * sizeof(wchar_t)));
  os::RegCloseKey(key);
  EXPECT_EQ(brightnessOf(L"cam.dcf"), 0x11);
  // Several folders with '~' in "DRAVIONLYNDCF".
  file("home/dcf/other.dcf", 22);
  setenv("HOME", (files_ / "home").c_str(), 1);
  setenv("DRAVIONLYNDCF", ("/nowhere;~/dcf;" + files_.string()).c_str(), 1);
  EXPECT_EQ(brightnessOf(L"other.dcf"), 0x22);
  // An absolute path.
  const auto absolute = file("abs/cam.dcf", 33);
  EXPECT_EQ(brightnessOf(absolute.wstring()), 0x33);
}

TEST_F(DigitizerAlloc, EveryBadFileGives4312Sub1AndLeavesTheChannelFree) {
  const struct {
    const char* text;
    const char* why;
  } cases[] = {
      {"[REG_DIGIT]\nINFO_XSIZE 280\n[EOF]\n", "no board line"},
      {"DRAVIONLYN\n[OTHER]\nINFO_XSIZE 280\n[EOF]\n", "no section"},
      {"DRAVIONLYN\n[REG_DIGIT]\n\nINFO_XSIZE 280\n[EOF]\n", "blank line"},
      {"DRAVIONLYN\n[REG_DIGIT]\nINFO_XSIZE 2Z0\n[EOF]\n", "bad value"},
      {"DRAVIONLYN\n[REG_DIGIT]\nADV7180_WRONG 1\nADV7180_HUECTL 2\n[EOF]\n", "bad key"},
  };
  for (const auto& c : cases) {
    const std::wstring path = WriteDcf("bad.dcf", c.text).wstring();
    EXPECT_EQ(Digitizer(path.c_str()), 0) << c.why;
    EXPECT_EQ(LastError(), Err(4312, 1)) << c.why;
  }
  std::string longSection;
  for (int i = 0; i < 700; ++i) longSection += "INFO_GAIN 1" + std::string(90, ' ') + "\n";
  const std::wstring tooLong = WriteDcf("long.dcf", DcfWith(longSection)).wstring();
  EXPECT_EQ(Digitizer(tooLong.c_str()), 0);
  EXPECT_EQ(LastError(), Err(4312, 1));
  EXPECT_EQ(Digitizer(L"missing.dcf"), 0);
  EXPECT_EQ(LastError(), Err(4312, 1));
  // Nothing of the failed allocations holds the channel.
  const QID digitizer = Digitizer(L"Q_NTSC");
  EXPECT_NE(digitizer, 0) << "error " << ErrorCode();
}

// A channel past either end, an init flag, and a kernel that refuses the digitizer: none leaves a
// digitizer behind. The last channel and two at once, each with its own decoder, are taken.
TEST_F(DigitizerAlloc, DeviceNumberAndInitFlagAreChecked) {
  const struct {
    QINT64 device, flag;
    bool kernelRefuses;
    std::string error;
  } refused[] = {{4, Q_DEFAULT, false, Err(4311, 1)},
                 {-1, Q_DEFAULT, false, Err(4311, 1)},
                 {0, 5, false, Err(4311, 2)},
                 {3, Q_DEFAULT, true, Err(4302, 1)}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.error);
    if (r.kernelRefuses) {
      SimBoard().ArmFault(kernel::kDigAlloc,
                          boardsim::Fault{boardsim::FaultKind::kErrorTriple, 4302, 1});
    }
    QID digitizer = 1;
    EXPECT_EQ(QdigAlloc(system_, r.device, L"Q_NTSC", r.flag, &digitizer), 0);
    EXPECT_EQ(LastError(), r.error);
    EXPECT_EQ(digitizer, 0);
    QINT64 allocated = -1;
    QsysInquire(system_, 2331, &allocated);
    EXPECT_EQ(allocated, 0);
  }
  const QID first = Digitizer(L"Q_NTSC", 0);
  const QID second = Digitizer(L"Q_PAL", 3);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_EQ(SimBoard().DecoderRegister(0, kInputControl), 0x50);
  EXPECT_EQ(SimBoard().DecoderRegister(3, kInputControl), 0x80);
  EXPECT_EQ(Inquire(second, 1009), 3);
}

TEST_F(DigitizerAlloc, AForcedStandardDecidesThePeriod) {
  // Each standard the input control forces wins over the frame height of the other standard;
  // selections 0 to 3 detect it, and the height decides.
  for (int select = 0; select < 16; ++select) {
    const bool forced50 = select >= 8 && select != 10 && select != 11;
    const bool forced60 = select >= 4 && !forced50;
    const std::wstring file =
        WriteDcf("select.dcf",
                 DcfWith(std::string("INFO_XSIZE 2D0\nINFO_YSIZE ") + (forced60 ? "240" : "1E0") +
                         "\nINFO_DEPTH 8\nINFO_BAND 1\nADV7180_INPUTCTL " +
                         "0123456789ABCDEF"[select] + "0\n"))
            .wstring();
    const QID digitizer = Digitizer(file.c_str());
    ASSERT_NE(digitizer, 0) << "error " << ErrorCode();
    EXPECT_EQ(Inquire(digitizer, kPeriod), forced50 ? 40 : 33) << select;
    QdigFree(digitizer);
  }
  // Without a forced standard, the frame height decides: up to 486 lines a 525-line standard.
  for (const auto& [height, period] : {std::pair{"1E6", 33}, {"1E7", 40}}) {
    const std::wstring autodetect =
        WriteDcf("auto.dcf",
                 DcfWith(std::string("INFO_XSIZE 300\nINFO_YSIZE ") + height + "\nINFO_BAND 1\n"))
            .wstring();
    const QID digitizer = Digitizer(autodetect.c_str());
    ASSERT_NE(digitizer, 0);
    EXPECT_EQ(Inquire(digitizer, kPeriod), period) << height;
    QdigFree(digitizer);
  }
}

}  // namespace
}  // namespace zor::board
