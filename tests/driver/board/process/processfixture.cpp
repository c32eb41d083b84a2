#include "tests/driver/board/process/processfixture.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "tests/driver/board/digitizer/simpattern.h"

namespace zor::board {
namespace {

constexpr QINT64 kUseDepth = 0x40000;
constexpr QINT64 kProcessIndex = 0x401B0000;
constexpr int kWidth = 640;
constexpr int kHeight = 480;

}  // namespace

void ProcessFixture::SetUp() {
  DigitizerFixture::SetUp();
  digitizer_ = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer_, 0);
}

void ProcessFixture::TearDown() {
  SimBoard().ClearFaults();
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
  return board::FrameNumber(rows.data(), kWidth);
}

void ProcessFixture::LetFramesGo(uint64_t frames) {
  const uint64_t start = SimBoard().FrameCount(0);
  while (SimBoard().FrameCount(0) < start + frames) std::this_thread::yield();
}

void ProcessFixture::ExpectSequence(QID digitizer, const std::vector<QID>& ring, int64_t frames,
                                    bool callsInOrder) {
  Recorder recorder;
  QdigProcess(digitizer, ring.data(), static_cast<QINT64>(ring.size()), SequenceOf(frames),
              kSynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
  const std::vector<Seen> seen = recorder.Copy();
  EXPECT_EQ(seen.size(), static_cast<size_t>(frames));
  if (callsInOrder) {
    ExpectRingOrder(seen, ring);
  } else {
    ExpectFilledInRingOrder(seen, ring);
  }
}

QINT64 ProcessFixture::StopWaiting(QID digitizer, const std::vector<QID>& ring,
                                   Recorder& recorder) {
  const auto count = static_cast<QINT64>(ring.size());
  std::promise<QINT64> stopped;
  std::future<QINT64> stop = stopped.get_future();
  std::thread stopper([&] {
    QdigProcess(digitizer, ring.data(), count, kStop + kWait, Q_DEFAULT, &Process, &recorder);
    stopped.set_value(ErrorCode());
  });
  if (stop.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "the waiting stop still waits";
    QdigProcess(digitizer, ring.data(), count, kStop, Q_DEFAULT, &Process, &recorder);
  }
  stopper.join();
  return stop.get();
}

int64_t ProcessFixture::StopRun(QID digitizer, const std::vector<QID>& ring, Recorder& recorder) {
  QdigProcess(digitizer, ring.data(), static_cast<QINT64>(ring.size()), kStop + kWait, Q_DEFAULT,
              &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(Inquire(digitizer, kInProgress), 0);
  return Settled(recorder);
}

void ExpectRingOrder(const std::vector<Seen>& seen, const std::vector<QID>& ring) {
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].position, static_cast<QINT64>(i % ring.size()));
    EXPECT_EQ(seen[i].buffer, ring[i % ring.size()]);
    EXPECT_GE(seen[i].frame, 0);
    if (i > 0) {
      EXPECT_GT(seen[i].frame, seen[i - 1].frame);
    }
  }
}

void ExpectFilledInRingOrder(std::vector<Seen> seen, const std::vector<QID>& ring) {
  std::sort(seen.begin(), seen.end(),
            [](const Seen& a, const Seen& b) { return a.frame < b.frame; });
  ExpectRingOrder(seen, ring);
}

void ExpectRingPositions(const std::vector<Seen>& seen, const std::vector<QID>& ring) {
  for (const Seen& s : seen) {
    ASSERT_GE(s.position, 0);
    ASSERT_LT(s.position, static_cast<QINT64>(ring.size()));
    EXPECT_EQ(s.buffer, ring[static_cast<size_t>(s.position)]);
  }
}

}  // namespace zor::board
