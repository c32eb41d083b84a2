// Requests from many threads at once while frames are produced. Frames are written outside
// the board's lock while requests go on: a request that reads, frees or stops what a frame
// writes waits for that frame, and the other channels keep writing meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/boardsim/framewriter.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

// A board with a system and a channel that grabs continuously into a small
// image, stopped before the image goes.
struct ContinuousGrab {
  ContinuousGrab(uint32_t frameUs, uint64_t channel, uint64_t capabilities) {
    board.SetCapabilities(capabilities);
    board.SetFrameTime(frameUs);
    setup.AllocSystem();
    record = setup.AllocDigitizer(channel);
    setup.GrabContinuously(record, image);
  }
  ~ContinuousGrab() { setup.DigRecord(zor::kernel::kDigStopGrab, record); }
  boardsim::Board board{boardsim::BoardConfig{}};
  boardtest::BoardClient setup{board};
  zor::kernel::DigChannelRecord record{};
  boardtest::HostImage image{64, 48};
};

TEST(ConcurrencyTest, ManyThreadsSendRequestsWhileTheBoardGrabs) {
  ContinuousGrab grabbing(500, 0, zor::kernel::kCapFourChannels);
  boardsim::Board& board = grabbing.board;
  boardtest::BoardClient& setup = grabbing.setup;

  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      boardtest::BoardClient client(board);
      client.systemId = setup.systemId;
      for (int i = 0; i < 100; ++i) {
        const uint64_t id = client.AllocObject();
        const auto control =
            client.ObjectValue(zor::kernel::kKernelObjectControl, id, zor::kernel::kObjectTimeout,
                               static_cast<uint64_t>(t));
        zor::kernel::HeaderOnlyRequest free{client.Header()};
        free.header.objectId = id;
        client.Send(zor::kernel::kKernelObjectFree, free);
        if (id == 0 || control.header.status.errorSet || free.header.status.errorSet) ++failures;
        if (client.SysRequest(zor::kernel::kSysRequestCapabilities) !=
            zor::kernel::kCapFourChannels) {
          ++failures;
        }
        zor::kernel::BoardEventPayload payload{};
        board.RaiseEvent(0x20000000, payload);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  // On a loaded machine the requests can all end before the first frame is written.
  for (int i = 0; i < 5000 && board.FrameCount(0) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(board.FrameCount(0), 0u);
}

// Frames a microsecond apart: the thread that asks for a single grab writes its
// frame itself, so the grab is done when the request returns. Threads on
// channels of their own do so at once, beside a channel whose clock grabs
// continuously; the sixteen channels' clocks each keep their own frames.
TEST(RequesterFrameTest, SingleGrabsOnManyChannelsAtOnceAreDoneOnReturn) {
  ContinuousGrab grabbing(1, 15, zor::kernel::kCapSixteenChannels);
  boardsim::Board& board = grabbing.board;
  boardtest::BoardClient& setup = grabbing.setup;

  constexpr int kThreads = 4;
  std::atomic<int> notDone{0}, wrongPixels{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      boardtest::BoardClient client(board);
      client.systemId = setup.systemId;
      const os::Handle event = os::CreateEvent(true, false);
      const uint64_t registration = client.RegisterEvent(event);
      auto record = client.AllocDigitizer(static_cast<uint64_t>(t));
      boardtest::HostImage image(640, 480);
      for (int i = 0; i < 50; ++i) {
        auto grab = client.MakeGrab(record, image, registration);
        client.Send(zor::kernel::kDigGrab, *grab);
        if (grab->header.status.errorSet != 0 ||
            os::WaitForSingleObject(event, 0) != os::WAIT_OBJECT_0) {
          ++notDone;
          continue;
        }
        const uint64_t frame = board.FrameCount(static_cast<uint64_t>(t));
        if (image.At(300, 200) != boardsim::PatternLuma(frame, 300, 200)) ++wrongPixels;
      }
      os::CloseHandle(event);
    });
  }
  for (auto& thread : threads) thread.join();
  while (board.FrameCount(15) < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(notDone.load(), 0);
  EXPECT_EQ(wrongPixels.load(), 0);
  for (uint64_t channel = 0; channel < kThreads; ++channel) {
    EXPECT_EQ(board.FrameCount(channel), 50u) << "channel " << channel;
  }
}

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
      auto transfer = own.Transfer(shown, copy, 0, kWidth, kHeight);
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
