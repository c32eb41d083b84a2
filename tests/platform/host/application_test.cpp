// An application as users write it: zor.h alone, libZOR.so loading the board driver, the
// calls every machine-vision program makes, on the simulated board.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/zor.h"
#include "tests/support/bufferpixels.h"

namespace {

class Application : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorapp.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    std::filesystem::create_directories(folder_ / "genicam" / "v3_1");
    std::filesystem::create_directories(folder_ / "xml");
    std::filesystem::create_directories(folder_ / "dev");
    setenv("ZOR_GENICAM_PATH", (folder_ / "genicam").c_str(), 1);
    setenv("ZOR_XML_REPOSITORY", (folder_ / "xml").c_str(), 1);
    setenv("ZOR_SERIAL_DEVICES", (folder_ / "dev").c_str(), 1);
    setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
    setenv("ZOR_BOARDSIM_FRAME_US", "2000", 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", Q_DEV0, Q_DEFAULT, &system_);
    ASSERT_NE(system_, 0) << "error " << Error();
    QdigAlloc(system_, Q_DEFAULT, L"Q_NTSC", Q_DEFAULT, &digitizer_);
    ASSERT_NE(digitizer_, 0) << "error " << Error() << "/" << SubCode();
  }

  void TearDown() override {
    if (system_ != 0) QsysFree(system_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  static QINT64 Error() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr); }
  static QINT64 SubCode() {
    QINT64 sub = 0;
    QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1, &sub);
    return sub;
  }

  // Grabs into the buffer and gives its pixels, band after band.
  template <typename Pixel>
  std::vector<Pixel> Grab(QID buffer) {
    QdigGrab(digitizer_, buffer);
    EXPECT_EQ(Error(), 0) << "sub-code " << SubCode();
    return zortest::BufferPixels<Pixel>(buffer);
  }

  std::filesystem::path folder_;
  QID system_ = 0;
  QID digitizer_ = 0;
};

constexpr size_t kWidth = 640;
constexpr size_t kHeight = 480;
constexpr QINT64 kOrdinary = Q_IMAGE + Q_GRAB + Q_PROC;

QINT64 Count(QINT64, QID, void* user) {
  ++*static_cast<std::atomic<int>*>(user);
  return 0;
}

// Hook events reach the hook threads a moment after the grab returns; a loaded machine may
// take seconds.
void Settle(std::initializer_list<const std::atomic<int>*> counters, int atLeast) {
  for (int i = 0; i < 1000; ++i) {
    if (std::all_of(counters.begin(), counters.end(),
                    [atLeast](const std::atomic<int>* c) { return c->load() >= atLeast; })) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// The simulator's diagonal ramp left of the colour bars: one step a pixel in X and in Y from
// a phase that moves with the frame. Returns the phase; -1 when a sample breaks the ramp.
int RampPhase(const uint8_t* plane) {
  const int phase = plane[100 * kWidth];
  for (size_t y = 100; y < kHeight; y += 7) {
    for (size_t x = 0; x < 480; x += 5) {
      if (plane[y * kWidth + x] != static_cast<uint8_t>(phase + x + y - 100)) return -1;
    }
  }
  return phase;
}

TEST_F(Application, TheDefaultDeviceIsDeviceZeroAndOthersOutOfRangeAreRefused) {
  QINT64 number = -1;
  QdigInquire(digitizer_, Q_NUMBER, &number);
  EXPECT_EQ(number, Q_DEV0);
  QdigFree(digitizer_);
  for (const QINT64 device : {Q_DEV15 + 1, Q_DEFAULT + 1, QINT64{-1}}) {
    QID refused = 0;
    EXPECT_EQ(QdigAlloc(system_, device, L"Q_NTSC", Q_DEFAULT, &refused), 0);
    EXPECT_EQ(Error(), 4311) << device;
    EXPECT_EQ(SubCode(), 1) << device;
  }
  // Freed, the default device is there to allocate again.
  EXPECT_NE(QdigAlloc(system_, Q_DEFAULT, L"Q_NTSC", Q_DEFAULT, &digitizer_), 0);
  EXPECT_EQ(Error(), 0);
  QID none = 0;
  QdigAlloc(system_, Q_DEFAULT, L"no-such-camera.dcf", Q_DEFAULT, &none);
  EXPECT_EQ(none, 0);
  EXPECT_EQ(Error(), 4312) << "an unknown camera file";
}

TEST_F(Application, OrdinaryMonoBuffersTakeTheRampAndEachGrabALaterFrame) {
  QID buffer = 0;
  QbufAlloc2d(system_, kWidth, kHeight, 8 + Q_UNSIGNED, kOrdinary, &buffer);
  ASSERT_NE(buffer, 0) << "error " << Error() << "/" << SubCode();
  const int first = RampPhase(Grab<uint8_t>(buffer).data());
  const int second = RampPhase(Grab<uint8_t>(buffer).data());
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_NE(first, second) << "the second grab takes a later frame";
  // Grab direction X reversed (control 4230, value 4): the ramp falls from left to right.
  QdigControl(digitizer_, 4230, 4);
  const std::vector<uint8_t> reversed = Grab<uint8_t>(buffer);
  EXPECT_EQ(reversed[200 * kWidth + 300], static_cast<uint8_t>(reversed[200 * kWidth + 301] + 1));
  QbufFree(buffer);
}

TEST_F(Application, OrdinaryColourBuffersArePackedAndReadBackAsBands) {
  QID buffer = 0;
  QbufAllocColor(system_, 3, kWidth, kHeight, 8 + Q_UNSIGNED, kOrdinary, &buffer);
  ASSERT_NE(buffer, 0) << "error " << Error() << "/" << SubCode();
  EXPECT_EQ(QbufInquire(buffer, Q_PITCH_BYTE, nullptr), 4 * QINT64{kWidth});
  const std::vector<uint8_t> first = Grab<uint8_t>(buffer);
  const uint8_t* red = first.data();
  const uint8_t* green = red + kWidth * kHeight;
  const uint8_t* blue = green + kWidth * kHeight;
  const int phase = RampPhase(green);
  ASSERT_GE(phase, 0);
  EXPECT_EQ(RampPhase(red), phase) << "the ramp is grey";
  EXPECT_EQ(RampPhase(blue), phase);
  // The yellow bar (the second of eight from x = 480) has red and green but no blue.
  const size_t yellow = 300 * kWidth + 510;
  EXPECT_GT(red[yellow], 150);
  EXPECT_LT(blue[yellow], 40);
  EXPECT_NE(RampPhase(Grab<uint8_t>(buffer).data() + kWidth * kHeight), phase);
  // A grab buffer is packed; a processing buffer has planes, which the board fills too.
  QID refused = 0;
  QbufAllocColor(system_, 3, kWidth, kHeight, 8, kOrdinary + Q_PLANAR, &refused);
  EXPECT_EQ(Error(), 4328);
  QID planar = 0;
  QbufAllocColor(system_, 3, kWidth, kHeight, 8, Q_IMAGE + Q_PROC, &planar);
  ASSERT_NE(planar, 0) << "error " << Error() << "/" << SubCode();
  const std::vector<uint8_t> planes = Grab<uint8_t>(planar);
  EXPECT_GE(RampPhase(planes.data() + 2 * kWidth * kHeight), 0);
  EXPECT_GT(planes[yellow], 150);
}

TEST_F(Application, SixteenBitProcessingBuffersHoldTheRampInTheHighByte) {
  // The board grabs 8-bit pixels only into grab buffers (Q_GRAB); processing buffers of
  // other depths take the frame too.
  QID refused = 0;
  QbufAlloc2d(system_, kWidth, kHeight, 16, kOrdinary, &refused);
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(Error(), 4328);
  QID buffer = 0;
  QbufAlloc2d(system_, kWidth, kHeight, 16 + Q_UNSIGNED, Q_IMAGE + Q_PROC, &buffer);
  ASSERT_NE(buffer, 0) << "error " << Error() << "/" << SubCode();
  const std::vector<uint16_t> pixels = Grab<uint16_t>(buffer);
  std::vector<uint8_t> high(pixels.size());
  size_t lowBits = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    lowBits += pixels[i] & 0xFF;
    high[i] = static_cast<uint8_t>(pixels[i] >> 8);
  }
  EXPECT_EQ(lowBits, 0u);
  EXPECT_GE(RampPhase(high.data()), 0);
}

TEST_F(Application, TypesThatNoLayerServesRecordTheirClassError) {
  QINT64 value = -1;
  QsysInquire(system_, Q_DIGITIZER_NUM, &value);
  EXPECT_EQ(Error(), 0) << "a served type records nothing";
  QdigInquire(digitizer_, Q_SIZE_X, &value);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(value, QINT64{kWidth});
  QdigControl(digitizer_, Q_GRAB_TIMEOUT, 1000);
  EXPECT_EQ(Error(), 0);

  // Each call's error and the value it writes (-1: none). Types that are only answered refuse
  // a value, a digitizer refuses types no layer knows (sub-code 2), and a refused control keeps
  // and changes nothing.
  std::string results;
  const auto after = [&](auto call) {
    value = -1;
    call();
    results += std::to_string(Error()) + ":" + std::to_string(value) + " ";
  };
  after([&] { QsysInquire(system_, 999999, &value); });
  after([&] { QdigInquire(digitizer_, 999999, &value); });
  after([&] { QsysControl(system_, Q_SYSTEM_TYPE, -5); });
  after([&] { QdigControl(digitizer_, Q_SIZE_X, -5); });
  after([&] { QdigControl(digitizer_, 999999, 5); });
  results += "sub " + std::to_string(SubCode()) + " ";
  after([&] { QdigInquire(digitizer_, 999999, &value); });
  after([&] { QdigInquire(digitizer_, Q_SIZE_X, &value); });
  EXPECT_EQ(results, "4310:0 4310:0 4307:-1 4307:-1 4307:-1 sub 2 4310:0 0:640 ");
}

// The text form sizes the answer first with the length inquiry, which answers an integer.
TEST_F(Application, FeaturesReadByNameAsTextIntoAString) {
  ZOR_STRING entry;
  QdigInquireFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, L"QdigControl:Q_SCAN_MODE",
                     Q_TYPE_STRING, entry);
  EXPECT_EQ(std::make_pair(Error(), entry), std::make_pair(QINT64{0}, ZOR_STRING(L"Q_INTERLACED")));
  ZOR_STRING width;
  QdigInquireFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, L"QdigControl:Q_SIZE_X", Q_TYPE_INT64,
                     width);
  EXPECT_EQ(std::make_pair(Error(), width), std::make_pair(QINT64{0}, ZOR_STRING(L"640")));
}

TEST_F(Application, GrabHooksRunOncePerGrabAndForEveryFrame) {
  std::atomic<int> starts{0}, ends{0}, frames{0};
  const std::pair<QINT64, std::atomic<int>*> hooks[] = {
      {Q_GRAB_START, &starts}, {Q_GRAB_END, &ends}, {Q_GRAB_FRAME_END, &frames}};
  for (const auto& [type, count] : hooks) QdigHookFunction(digitizer_, type, &Count, count);
  EXPECT_EQ(Error(), 0);
  QID buffer = 0;
  QbufAlloc2d(system_, kWidth, kHeight, 8 + Q_UNSIGNED, kOrdinary, &buffer);
  constexpr int kGrabs = 3;
  for (int i = 0; i < kGrabs; ++i) QdigGrab(digitizer_, buffer);
  Settle({&starts, &ends, &frames}, kGrabs);
  EXPECT_EQ(std::make_pair(starts.load(), ends.load()), std::make_pair(kGrabs, kGrabs));
  EXPECT_GE(frames.load(), kGrabs);
  for (const auto& [type, count] : hooks)
    QdigHookFunction(digitizer_, type + Q_UNHOOK, &Count, count);
  QbufFree(buffer);
}

// The buffer is read between runs only: while the board writes it, a read races the writing.
TEST_F(Application, ContinuousGrabFillsTheBufferUntilTheHalt) {
  QID buffer = 0;
  QbufAlloc2d(system_, kWidth, kHeight, 8 + Q_UNSIGNED, kOrdinary, &buffer);
  std::vector<uint8_t> runs[2];
  for (std::vector<uint8_t>& run : runs) {
    QdigGrabContinuous(digitizer_, buffer);
    EXPECT_EQ(Error(), 0);
    QdigGrabWait(digitizer_, Q_GRAB_NEXT_FRAME);
    QdigGrabWait(digitizer_, Q_GRAB_NEXT_FRAME);
    QdigHalt(digitizer_);
    EXPECT_EQ(Error(), 0);
    run = zortest::BufferPixels<uint8_t>(buffer);
    EXPECT_GE(RampPhase(run.data()), 0);
    QdigGrabWait(digitizer_, Q_GRAB_NEXT_FRAME);
    QdigGrabWait(digitizer_, Q_GRAB_NEXT_FRAME);
    EXPECT_EQ(zortest::BufferPixels<uint8_t>(buffer), run) << "nothing written after the halt";
  }
  EXPECT_NE(runs[0], runs[1]) << "the second run writes later frames";
  QdigGrabAbort(digitizer_);
  EXPECT_EQ(Error(), 0);
  QbufFree(buffer);
}

TEST_F(Application, ProcessingRunsASequenceAndContinuouslyUntilStopped) {
  std::vector<QID> ring(3);
  for (QID& buffer : ring)
    QbufAlloc2d(system_, kWidth, kHeight, 8 + Q_UNSIGNED, kOrdinary, &buffer);
  std::atomic<int> calls{0};
  QdigProcess(digitizer_, ring.data(), 3, Q_START_SEQUENCE + (7 << 5), Q_SYNCHRONOUS, &Count,
              &calls);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(calls.load(), 7) << "a sequence of 7 frames";
  std::atomic<int> running{0};
  QdigProcess(digitizer_, ring.data(), 3, Q_START, Q_ASYNCHRONOUS, &Count, &running);
  EXPECT_EQ(Error(), 0);
  Settle({&running}, 5);
  QdigProcess(digitizer_, ring.data(), 3, Q_STOP + Q_WAIT, Q_DEFAULT, &Count, &running);
  EXPECT_EQ(Error(), 0);
  EXPECT_GE(running.load(), 5);
  const int stopped = running.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(running.load(), stopped) << "nothing processed after the stop";
  for (QID buffer : ring) QbufFree(buffer);
}

}  // namespace
