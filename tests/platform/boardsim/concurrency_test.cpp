// Requests from many threads at once while frames are produced.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/platform/boardsim/boardclient.h"

namespace {

TEST(ConcurrencyTest, ManyThreadsSendRequestsWhileTheBoardGrabs) {
  boardsim::Board board{boardsim::BoardConfig{}};
  board.SetFrameTime(500);
  boardtest::BoardClient setup(board);
  setup.AllocSystem();
  auto record = setup.AllocDigitizer(0);
  boardtest::HostImage image(64, 48);
  auto grab = setup.MakeGrab(record, image, 0);
  grab->continuous = 1;
  setup.Send(zor::kernel::kDigGrab, *grab);

  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      boardtest::BoardClient client(board);
      client.systemId = setup.systemId;
      for (int i = 0; i < 100; ++i) {
        const uint64_t id = client.AllocObject();
        zor::kernel::ObjectValueRequest control{};
        control.header = client.Header();
        control.header.objectId = id;
        control.type = zor::kernel::kObjectTimeout;
        control.value = static_cast<uint64_t>(t);
        client.Send(zor::kernel::kKernelObjectControl, control);
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
  zor::kernel::DigRecordRequest stop{};
  stop.header = setup.Header();
  stop.record = record;
  setup.Send(zor::kernel::kDigStopGrab, stop);  // before the image goes
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(board.FrameCount(0), 0u);
}

}  // namespace
