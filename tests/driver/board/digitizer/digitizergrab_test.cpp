// Grabs through libZOR.so as an application makes them: the simulator's
// pattern in 8-bit, 16-bit and colour buffers, source window, decimation and
// flips, waits and grabs into the board's memory.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/os/sync/wait.h"
#include "tests/driver/board/digitizer/digitizerfixture.h"
#include "tests/driver/board/digitizer/simpattern.h"
#include "tests/support/bufferpixels.h"

namespace zor::board {
namespace {

// An image in host memory whose planes follow its bit depth.
constexpr QINT64 kHostGrab = Q_IMAGE | Q_PLANAR;
constexpr QINT64 kDeviceMemory = Q_IMAGE | 0x80000;
constexpr QINT64 kOnBoard = 0x4004 | 0x8C00000;
constexpr QINT64 kWaitGrabEnd = 3;
constexpr QINT64 kWaitNextFrame = 5;

class DigitizerGrab : public DigitizerFixture {
 protected:
  QID Buffer(QINT64 bands, QINT64 width, QINT64 height, QINT64 depth, QINT64 attribute) {
    const QID buffer = QbufAllocColor(system_, bands, width, height, depth, attribute, nullptr);
    EXPECT_NE(buffer, 0) << "error " << ErrorCode() << "/" << SubCode(1);
    return buffer;
  }
  // The buffer's pixels, band after band, rows packed.
  template <typename Pixel = uint8_t>
  static std::vector<Pixel> Pixels(QID buffer) {
    return zortest::BufferPixels<Pixel>(buffer);
  }
  // A whole 640 x 480 frame in an 8-bit plane: its number, checked against
  // the ramp it draws.
  int64_t CheckFrame(const uint8_t* plane) {
    const int64_t frame = FrameNumber(plane, 640);
    EXPECT_GT(frame, 0);
    EXPECT_LE(static_cast<uint64_t>(frame), SimBoard().FrameCount(0));
    for (uint64_t y = 30; y < 480; y += 7) {
      for (uint64_t x = 0; x < 480; x += 5) {
        if (plane[y * 640 + x] != Ramp(frame, x, y)) {
          ADD_FAILURE() << "ramp at " << x << "," << y;
          return frame;
        }
      }
    }
    return frame;
  }
};

TEST_F(DigitizerGrab, MonoEightBitHoldsTheRampAndTheFrameNumber) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  const QID buffer = Buffer(1, 640, 480, 8, kHostGrab);
  QdigGrab(digitizer, buffer);
  ASSERT_EQ(ErrorCode(), 0);
  const int64_t first = CheckFrame(Pixels(buffer).data());
  QdigGrab(digitizer, buffer);
  EXPECT_GT(CheckFrame(Pixels(buffer).data()), first) << "each grab takes a later frame";
}

TEST_F(DigitizerGrab, SixteenBitHoldsTheRampInTheHighByte) {
  const QID digitizer = Digitizer(L"Q_RS170");
  const QID buffer = Buffer(1, 640, 480, 16, kHostGrab);
  QdigGrab(digitizer, buffer);
  ASSERT_EQ(ErrorCode(), 0);
  const std::vector<uint16_t> plane = Pixels<uint16_t>(buffer);
  // The ramp's phase at the origin gives the frame modulo 64.
  const int64_t phase = plane[100 * 640] >> 8;
  for (uint64_t y = 100; y < 480; y += 11) {
    for (uint64_t x = 0; x < 480; x += 3) {
      ASSERT_EQ(plane[y * 640 + x], static_cast<uint16_t>(((phase + x + y - 100) & 0xFF) << 8));
    }
  }
}

TEST_F(DigitizerGrab, ColourBuffersShowTheRampAndTheBars) {
  const QID digitizer = Digitizer(L"Q_PAL");
  const QID buffer = Buffer(3, 720, 576, 8, kHostGrab);
  QdigGrab(digitizer, buffer);
  ASSERT_EQ(ErrorCode(), 0);
  const std::vector<uint8_t> pixels = Pixels(buffer);
  const uint8_t* r = pixels.data();
  const uint8_t* g = r + 720 * 576;
  const uint8_t* b = g + 720 * 576;
  const size_t row = 300 * 720;
  EXPECT_EQ(r[row + 100], g[row + 100]) << "the ramp is grey";
  EXPECT_EQ(g[row + 100], b[row + 100]);
  // Bars of 22.5 pixels from x = 540: grey, yellow, cyan, green, magenta, red, blue, black.
  const auto bar = [&](int n) { return row + 540 + static_cast<size_t>(n * 45 / 2) + 10; };
  EXPECT_NEAR(r[bar(0)], g[bar(0)], 3);
  EXPECT_GT(r[bar(1)], 150);
  EXPECT_GT(g[bar(1)], 150);
  EXPECT_LT(b[bar(1)], 40);
  EXPECT_GT(r[bar(5)], 150);
  EXPECT_LT(g[bar(5)], 40);
  EXPECT_GT(b[bar(6)], 150);
  EXPECT_LT(r[bar(6)], 40);
  EXPECT_LT(r[bar(7)] + g[bar(7)] + b[bar(7)], 60);
}

TEST_F(DigitizerGrab, SourceWindowDecimationAndFlips) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  QdigControl(digitizer, 4024, 100);
  QdigControl(digitizer, 4025, 60);
  QdigControl(digitizer, 4022, 200);
  QdigControl(digitizer, 4023, 100);
  QdigControlDouble(digitizer, 6600, 0.5);
  ASSERT_EQ(ErrorCode(), 0);
  const QID buffer = Buffer(1, 100, 50, 8, kHostGrab);
  for (const bool flipped : {false, true}) {
    SCOPED_TRACE(flipped);
    QdigControl(digitizer, 4230, flipped ? 4 : 1);
    QdigControl(digitizer, 4231, flipped ? 4 : 1);
    QdigGrab(digitizer, buffer);
    ASSERT_EQ(ErrorCode(), 0);
    const std::vector<uint8_t> plane = Pixels(buffer);
    // The pixel of source (100, 60) gives the ramp's phase.
    const int phase = (plane[flipped ? 49 * 100 + 99 : 0] - 160) & 0xFF;
    for (uint64_t j = 0; j < 50; ++j) {
      for (uint64_t i = 0; i < 100; ++i) {
        const uint64_t x = flipped ? 99 - i : i;
        const uint64_t y = flipped ? 49 - j : j;
        ASSERT_EQ(plane[j * 100 + i], static_cast<uint8_t>(phase + 100 + 2 * x + 60 + 2 * y));
      }
    }
  }
}

TEST_F(DigitizerGrab, WaitsAndAWindowOutsideTheFrame) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  QdigGrabWait(digitizer, 4);
  EXPECT_EQ(LastError(), Err(4314, 1));
  const uint64_t before = SimBoard().FrameCount(0);
  QdigGrabWait(digitizer, kWaitNextFrame);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_GT(SimBoard().FrameCount(0), before);
  QdigGrabWait(digitizer, kWaitGrabEnd);
  EXPECT_EQ(LastError(), Err(0)) << "no grab pending: the wait ends at once";
  // The window's last column and row on the 640 x 480 frame, and one past either.
  QdigControl(digitizer, 4022, 600);
  QdigControl(digitizer, 4023, 460);
  const QID buffer = Buffer(1, 600, 460, 8, kHostGrab);
  for (const auto& [x, y, error] :
       {std::tuple{40, 20, Err(0)}, {41, 20, Err(4311, 4)}, {40, 21, Err(4311, 4)}}) {
    QdigControl(digitizer, 4024, x);
    QdigControl(digitizer, 4025, y);
    QdigGrab(digitizer, buffer);
    EXPECT_EQ(LastError(), error) << x << " " << y;
  }
}

// Without video and with the trigger off, a grab of the default time-out ends after the
// standard's time-out word with 4318 sub 1; the next grab, with video, works again.
TEST_F(DigitizerGrab, WithoutVideoTheDefaultTimeOutEndsAGrabWhileTheTriggerIsOff) {
  // A decoder that sends no free-running frames without video.
  const std::wstring dcf =
      WriteDcf("novideo.dcf", DcfWith("INFO_XSIZE 140\nINFO_YSIZE F0\nINFO_DEPTH 8\nINFO_BAND 1\n"
                                      "ADV7180_DEFVALY 34\n"))
          .wstring();
  const QID digitizer = Digitizer(dcf.c_str());
  ASSERT_NE(digitizer, 0) << "error " << ErrorCode();
  QdigControl(digitizer, 4200, Q_DISABLE);
  QdigControl(digitizer, 4127, Q_DEFAULT);
  ASSERT_GT(Inquire(digitizer, 4127), 0);
  const QID buffer = Buffer(1, 320, 240, 8, kHostGrab);
  SimBoard().SetSignal(0, false);
  // Should the wait not end, the video comes back and the grab ends without the error.
  std::promise<void> ended;
  std::thread rescue([&, done = ended.get_future()] {
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      SimBoard().SetSignal(0, true);
    }
  });
  QdigGrab(digitizer, buffer);
  const std::string grabbed = LastError();
  ended.set_value();
  rescue.join();
  SimBoard().SetSignal(0, true);
  EXPECT_EQ(grabbed, Err(4318, 1));
  QdigGrab(digitizer, buffer);
  EXPECT_EQ(LastError(), Err(0));
}

TEST_F(DigitizerGrab, GrabsIntoTheBoardsMemory) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  const QID device = Buffer(1, 640, 480, 8, kDeviceMemory);
  QdigGrab(digitizer, device);
  ASSERT_EQ(ErrorCode(), 0);
  CheckFrame(Pixels(device).data());
  // The board's own memory takes a frame too; no host road reads it back.
  const QID onBoard = Buffer(1, 640, 480, 8, kOnBoard | 0x200);
  QdigGrab(digitizer, onBoard);
  EXPECT_EQ(LastError(), Err(0));
}

struct GrabEvents {
  std::atomic<int> starts{0};
  std::atomic<int> ends{0};
};

QINT64 OnGrabStart(QINT64, QID, void* user) {
  ++static_cast<GrabEvents*>(user)->starts;
  return 0;
}

QINT64 OnGrabEnd(QINT64, QID, void* user) {
  ++static_cast<GrabEvents*>(user)->ends;
  return 0;
}

TEST_F(DigitizerGrab, GrabStartAndEndReachTheirHooks) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  const QID buffer = Buffer(1, 640, 480, 8, kHostGrab);
  GrabEvents events;
  QdigHookFunction(digitizer, 4, &OnGrabStart, &events);
  QdigHookFunction(digitizer, 3, &OnGrabEnd, &events);
  ASSERT_EQ(ErrorCode(), 0);
  QdigGrab(digitizer, buffer);
  QdigGrab(digitizer, buffer);
  // Start and end events travel on hook threads of their own: wait for both.
  for (int i = 0; i < 5000 && (events.starts < 2 || events.ends < 2); ++i) os::Sleep(1);
  EXPECT_EQ(events.starts, 2);
  EXPECT_EQ(events.ends, 2);
  QdigHookFunction(digitizer, 4 | Q_UNHOOK, &OnGrabStart, &events);
  QdigHookFunction(digitizer, 3 | Q_UNHOOK, &OnGrabEnd, &events);
  QdigGrab(digitizer, buffer);
  EXPECT_EQ(events.starts, 2);
}

// Controls change the digitizer's settings while other threads grab, wait, start and halt
// continuous grabs and inquire: every inquiry answers a value some control wrote, and (under
// ThreadSanitizer) no thread reads the settings while another writes them.
TEST_F(DigitizerGrab, ControlsWhileOtherThreadsGrabWaitAndInquire) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  const QID buffer = Buffer(1, 640, 480, 8, kHostGrab);
  const QID continuous = Buffer(1, 640, 480, 8, kHostGrab);
  constexpr QINT64 kTimeout = 4127;
  constexpr QINT64 kOffsetX = 4024;
  constexpr QINT64 kDirectionX = 4230;
  constexpr int kRounds = 60;
  std::atomic<int> wrong{0};
  QdigControl(digitizer, kTimeout, 1000);
  const std::vector<std::function<void(int)>> roads = {
      [&](int i) {
        QdigControl(digitizer, kTimeout, 1000 + 1000 * (i % 2));
        QdigControl(digitizer, kOffsetX, 8 * (i % 2));
        QdigControl(digitizer, kDirectionX, i % 2 == 0 ? 1 : 4);
      },
      [&](int) {
        QdigGrab(digitizer, buffer);
        QdigGrabWait(digitizer, kWaitGrabEnd);
      },
      [&](int i) {
        if (i % 2 == 0) {
          QdigGrabContinuous(digitizer, continuous);
        } else {
          QdigHalt(digitizer);
        }
      },
      [&](int) {
        QINT64 timeout = 0;
        QINT64 offset = -1;
        QdigInquire(digitizer, kTimeout, &timeout);
        QdigInquire(digitizer, kOffsetX, &offset);
        if ((timeout != 1000 && timeout != 2000) || (offset != 0 && offset != 8)) {
          ++wrong;
        }
      },
  };
  std::vector<std::thread> threads;
  for (const auto& road : roads) {
    threads.emplace_back([&road] {
      QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
      for (int i = 0; i < kRounds; ++i) road(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
  QdigHalt(digitizer);
  EXPECT_EQ(wrong.load(), 0);
  QdigControl(digitizer, kOffsetX, 0);
  QdigGrab(digitizer, buffer);
  EXPECT_EQ(LastError(), Err(0));
}

}  // namespace
}  // namespace zor::board
