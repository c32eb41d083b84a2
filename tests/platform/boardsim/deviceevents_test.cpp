// Device events: overlapped waits per hook type, completed one per event.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/os/core/error.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

constexpr uint64_t kFrameStart = 0x10090000;
constexpr uint64_t kUserHook20 = 0x100C0000;

struct DeviceEventsTest : boardtest::BoardTest {
  DeviceEventsTest() : BoardTest(1000) {}
  static const zor::kernel::BoardEventPayload& Payload(boardtest::TestRequest& request) {
    return request.Payload<zor::kernel::BoardEventPayload>();
  }
};

TEST_F(DeviceEventsTest, SeveralWaitsOfATypeCompleteOnePerEventInOrder) {
  auto record = client.AllocDigitizer(2);
  std::shared_ptr<boardtest::TestRequest> waits[3];
  for (auto& w : waits) w = client.WaitDeviceEvent(kFrameStart | 2);
  EXPECT_EQ(board.PendingEventWaits(kFrameStart | 2), 3u);
  EXPECT_FALSE(waits[0]->IsDone());
  // The frame's other events, each telling its field: the first, the second, or none.
  const std::pair<uint64_t, uint64_t> fields[] = {
      {0x10010000, 1}, {0x10020000, 2}, {0x100A0000, 0}};
  std::vector<std::shared_ptr<boardtest::TestRequest>> fieldWaits;
  for (const auto& [type, field] : fields) fieldWaits.push_back(client.WaitDeviceEvent(type | 2));

  boardtest::HostImage image(32, 32);
  client.GrabContinuously(record, image);
  uint64_t lastSequence = 0;
  for (auto& w : waits) {
    ASSERT_TRUE(w->WaitFor(2000));
    const auto& p = Payload(*w);
    // The reply's size and type, the payload's size, channel, type, field, and no grab's buffer.
    EXPECT_EQ(std::tuple(w->Bytes(), w->As<zor::kernel::DeviceEventRecord>().typeOrCode, p.size,
                         p.channel, p.eventType, p.field, p.hostBuffer, p.bufferIndex),
              std::tuple(uint32_t{sizeof(zor::kernel::DeviceEventRecord)}, kFrameStart | 2,
                         zor::kernel::kBoardEventSize, uint64_t{2}, kFrameStart | 2, uint64_t{0},
                         uint64_t{0}, int64_t{-1}));
    EXPECT_GT(p.sequence, lastSequence);  // one event each, oldest wait first
    lastSequence = p.sequence;
  }
  for (size_t i = 0; i < fieldWaits.size(); ++i) {
    ASSERT_TRUE(fieldWaits[i]->WaitFor(2000));
    const auto& p = Payload(*fieldWaits[i]);
    EXPECT_EQ(std::pair(p.eventType, p.field), std::pair(fields[i].first | 2, fields[i].second));
  }
  client.DigRecord(zor::kernel::kDigStopGrab, record);  // before the image goes
}

TEST_F(DeviceEventsTest, TestEventsRespectTheDriversHookEnables) {
  auto record = client.AllocDigitizer(0);
  zor::kernel::BoardEventPayload payload{};
  payload.size = zor::kernel::kBoardEventSize;
  payload.ioSource = 0x81000;
  // Each hook type that the driver enables, with its events' base.
  const std::pair<uint64_t, uint64_t> hooks[] = {{20, kUserHook20}, {21, 0x100D0000},
                                                 {22, 0x100E0000},  {5315, 0x10110000},
                                                 {9, 0x100B0000},   {5300, 0x10120000}};
  for (const auto& [hook, base] : hooks) {
    SCOPED_TRACE(hook);
    auto wait = client.WaitDeviceEvent(base);
    EXPECT_FALSE(board.RaiseEvent(base, payload));
    EXPECT_FALSE(wait->IsDone());
    client.DigControl(record, hook, zor::kernel::kHookEnable, zor::kernel::kDigChannelInit);
    EXPECT_TRUE(board.RaiseEvent(base, payload));
    ASSERT_TRUE(wait->IsDone());
    EXPECT_EQ(Payload(*wait).ioSource, 0x81000u);
  }

  // Watched but nobody waiting: the event waits for the next request.
  EXPECT_TRUE(board.RaiseEvent(kUserHook20, payload));
  EXPECT_TRUE(client.WaitDeviceEvent(kUserHook20)->IsDone());
  // The queue holds 64 events: the 65th is refused, the next wait reports the loss, and the 64
  // follow.
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(board.RaiseEvent(kUserHook20, payload)) << i;
  EXPECT_FALSE(board.RaiseEvent(kUserHook20, payload));
  auto lost = client.WaitDeviceEvent(kUserHook20);
  ASSERT_TRUE(lost->IsDone());
  EXPECT_NE(lost->Error(), os::ERROR_SUCCESS);
  for (int i = 0; i < 64; ++i) {
    auto queued = client.WaitDeviceEvent(kUserHook20);
    ASSERT_TRUE(queued->IsDone());
    EXPECT_EQ(queued->Error(), os::ERROR_SUCCESS) << i;
  }
  EXPECT_FALSE(client.WaitDeviceEvent(kUserHook20)->IsDone());
  // A disabled hook's events are refused again.
  client.DigControl(record, 20, zor::kernel::kHookDisable, zor::kernel::kDigChannelInit);
  EXPECT_FALSE(board.RaiseEvent(kUserHook20, payload));
}

TEST_F(DeviceEventsTest, ReturnFromSleepDropAndCancel) {
  auto a = client.WaitDeviceEvent(0x80000000);
  auto b = client.WaitDeviceEvent(0x20000000);
  board.ReturnFromSleep();
  for (auto& w : {a, b}) {
    ASSERT_TRUE(w->IsDone());
    EXPECT_EQ(w->As<zor::kernel::DeviceEventRecord>().typeOrCode,
              zor::kernel::kEventReturnFromSleep);
  }

  auto dropped = client.WaitDeviceEvent(0x40000000);
  board.DropEvent(0x40000000);
  ASSERT_TRUE(dropped->IsDone());
  EXPECT_NE(dropped->Error(), os::ERROR_SUCCESS);
  board.DropEvent(0x40000000);  // with no wait pending, the next one fails
  auto next = client.WaitDeviceEvent(0x40000000);
  ASSERT_TRUE(next->IsDone());
  EXPECT_NE(next->Error(), os::ERROR_SUCCESS);

  // A type stays watched while one of its waits is left; another type's kept event stays.
  zor::kernel::BoardEventPayload payload{};
  EXPECT_TRUE(board.RaiseEvent(0x20000000, payload));
  std::vector<size_t> left;
  for (const auto& cancelled :
       {client.WaitDeviceEvent(0x21000000), client.WaitDeviceEvent(0x21000000)}) {
    cancelled->Complete(os::ERROR_OPERATION_ABORTED, 0);
    board.Cancelled(*cancelled);
    left.push_back(board.PendingEventWaits(0x21000000));
  }
  EXPECT_EQ(left, (std::vector<size_t>{1, 0}));
  EXPECT_FALSE(board.RaiseEvent(0x21000000, payload));  // no longer watched
  EXPECT_TRUE(client.WaitDeviceEvent(0x20000000)->IsDone());
}

}  // namespace
