// Requests from many threads at once while frames are produced.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

}  // namespace
