// Frames are written outside the board's lock while requests go on: a request that
// reads, frees or stops what a frame writes waits for that frame, and the other
// channels keep writing meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/boardsim/framewriter.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

constexpr uint64_t kWidth = 640;
constexpr uint64_t kHeight = 480;

// The rows of a pattern frame below its digits agree on its number: nothing read was half
// written.
bool OneFrame(const boardtest::HostImage& image) {
  auto offset = [&](uint64_t y) {
    return static_cast<uint8_t>(image.At(100, y) - boardsim::PatternLuma(0, 100, y));
  };
  return offset(kHeight / 8) == offset(kHeight / 2) && offset(kHeight / 8) == offset(kHeight - 1);
}

// Frame after frame: some frame is always being written.
struct WriteWaitsTest : boardtest::BoardTest {
  WriteWaitsTest() : BoardTest(1, boardsim::BoardConfig{0, zor::kernel::kCapSixteenChannels}) {}
  uint64_t AllocBuffer() {
    const auto r = client.BufAlloc(1, kWidth, kHeight, 8);
    EXPECT_EQ(r.header.status.errorSet, 0);
    return r.kernelHandle;
  }
  void GrabContinuously(const zor::kernel::DigChannelRecord& record,
                        const boardtest::HostImage& image, uint64_t kernelHandle = 0) {
    EXPECT_EQ(client.GrabContinuously(record, image, kernelHandle)->header.status.errorSet, 0);
  }
  void AwaitFrames(uint64_t channel, uint64_t frames) {
    const uint64_t until = board.FrameCount(channel) + frames;
    while (board.FrameCount(channel) < until) std::this_thread::yield();
  }
};

// One channel writes a board buffer that a thread copies out again and again, another
// writes buffers that a thread frees while their frame comes in, two more write host
// images: no copy holds two frames, no freed buffer is written (the sanitizers watch the
// memory), and the other channels' frames keep coming.
TEST_F(WriteWaitsTest, CopiesAndFreesWaitForTheFramesWrittenIntoTheirBuffers) {
  const auto shownRecord = client.AllocDigitizer(0);
  const auto freedRecord = client.AllocDigitizer(1);
  const uint64_t shown = AllocBuffer();
  boardtest::HostImage unused(1, 1);
  GrabContinuously(shownRecord, unused, shown);
  boardtest::HostImage second(kWidth, kHeight), third(kWidth, kHeight);
  const zor::kernel::DigChannelRecord otherRecords[] = {client.AllocDigitizer(2),
                                                        client.AllocDigitizer(3)};
  GrabContinuously(otherRecords[0], second);
  GrabContinuously(otherRecords[1], third);
  AwaitFrames(0, 2);
  const uint64_t otherFrames = board.FrameCount(2);

  std::atomic<int> torn{0}, failed{0};
  std::thread reader([&] {
    boardtest::BoardClient own(board);
    own.systemId = client.systemId;
    boardtest::HostImage copy(kWidth, kHeight);
    for (int i = 0; i < 100; ++i) {
      auto transfer = own.Record<zor::kernel::BufTransferRequest>();
      transfer->deviceHandle = shown;
      transfer->other = copy.descriptor;
      transfer->srcBand = transfer->destBand = -1;
      transfer->sizeX = kWidth;
      transfer->sizeY = kHeight;
      own.Send(zor::kernel::kBufTransfer, *transfer);
      if (transfer->header.status.errorSet != 0) ++failed;
      if (!OneFrame(copy)) ++torn;
    }
  });
  for (int i = 0; i < 30; ++i) {
    const uint64_t freed = AllocBuffer();
    GrabContinuously(freedRecord, unused, freed);
    AwaitFrames(1, 2);
    if (client.BufferRequest(zor::kernel::kBufFree, freed).errorSet != 0) ++failed;
  }
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(failed.load(), 0);
  EXPECT_GT(board.FrameCount(2), otherFrames);
  for (const auto& record : {shownRecord, freedRecord, otherRecords[0], otherRecords[1]}) {
    client.DigRecord(zor::kernel::kDigStopGrab, record);
  }
}

// A stopped grab's image may go at once: nothing is written into it afterwards, while
// another channel goes on writing.
TEST_F(WriteWaitsTest, AStoppedChannelWritesNothingMore) {
  const auto record = client.AllocDigitizer(5);
  const auto other = client.AllocDigitizer(6);
  boardtest::HostImage otherImage(kWidth, kHeight);
  GrabContinuously(other, otherImage);
  for (int i = 0; i < 20; ++i) {
    auto image = std::make_unique<boardtest::HostImage>(kWidth, kHeight);
    GrabContinuously(record, *image);
    AwaitFrames(5, 1);
    client.DigRecord(zor::kernel::kDigStopGrab, record);
    const boardtest::HostImage kept = *image;
    image.reset();
    AwaitFrames(6, 1);
    EXPECT_TRUE(OneFrame(kept)) << "stop " << i;
  }
  client.DigRecord(zor::kernel::kDigStopGrab, other);
}

}  // namespace
