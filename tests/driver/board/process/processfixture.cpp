#include "tests/driver/board/process/processfixture.h"

#include <chrono>
#include <thread>

namespace zor::board {
namespace {

constexpr QINT64 kUseDepth = 0x40000;
constexpr QINT64 kProcessIndex = 0x401B0000;
constexpr int kWidth = 640;
constexpr int kHeight = 480;

// The simulator's digits: 5 x 7 glyphs drawn 2 x 2 in 12-pixel cells at (8, 8).
constexpr uint8_t kFont[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

}  // namespace

void ProcessFixture::SetUp() {
  DigitizerFixture::SetUp();
  digitizer_ = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer_, 0);
}

void ProcessFixture::TearDown() {
  if (digitizer_ != 0) QdigFree(digitizer_);
  for (QID buffer : buffers_) QbufFree(buffer);
  DigitizerFixture::TearDown();
}

std::vector<QID> ProcessFixture::Ring(QID system, size_t count) {
  std::vector<QID> ring;
  for (size_t i = 0; i < count; ++i) {
    const QID buffer =
        QbufAllocColor(system, 1, kWidth, kHeight, 8, Q_IMAGE | Q_GRAB | kUseDepth, nullptr);
    EXPECT_NE(buffer, 0);
    ring.push_back(buffer);
    buffers_.push_back(buffer);
  }
  return ring;
}

QINT64 ProcessFixture::Process(QINT64 /*flags*/, QID event, void* user) {
  auto* recorder = static_cast<Recorder*>(user);
  Seen seen{};
  QbufGetHookInfo(event, Q_OBJECT_ID, &seen.buffer);
  QbufGetHookInfo(event, kProcessIndex, &seen.position);
  seen.frame = FrameNumber(seen.buffer);
  {
    std::lock_guard guard(recorder->lock);
    recorder->seen.push_back(seen);
  }
  const int64_t calls = ++recorder->calls;
  if (recorder->onCall) recorder->onCall(calls);
  return 0;
}

bool ProcessFixture::WaitForCalls(const Recorder& recorder, int64_t calls) {
  for (int i = 0; i < 2000 && recorder.calls.load() < calls; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return recorder.calls.load() >= calls;
}

int64_t ProcessFixture::Settled(const Recorder& recorder) {
  int64_t last = -1;
  while (recorder.calls.load() != last) {
    last = recorder.calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return last;
}

int64_t ProcessFixture::FrameNumber(QID buffer) {
  // The digits' rows only.
  std::vector<uint8_t> rows(static_cast<size_t>(kWidth) * 24);
  QbufGet2d(buffer, 0, 0, kWidth, 24, rows.data());
  int64_t number = 0;
  for (int cell = 0; cell < 8; ++cell) {
    int digit = -1;
    for (int d = 0; d < 10 && digit < 0; ++d) {
      bool same = true;
      for (int gy = 0; gy < 7 && same; ++gy) {
        for (int gx = 0; gx < 5 && same; ++gx) {
          const bool ink =
              rows[static_cast<size_t>((8 + 2 * gy) * kWidth + 8 + 12 * cell + 2 * gx)] == 235;
          same = ink == (((kFont[d][gy] >> (4 - gx)) & 1) != 0);
        }
      }
      if (same) digit = d;
    }
    if (digit < 0) return -1;
    number = number * 10 + digit;
  }
  return number;
}

}  // namespace zor::board
