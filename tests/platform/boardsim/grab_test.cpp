// Digitizers and grabs into host memory.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/boardsim/framewriter.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

constexpr uint64_t kDefault = 0x10000000;
constexpr uint64_t kFrameStart = 0x10090000;
constexpr uint64_t kFrameEnd = 0x100A0000;
constexpr uint64_t kTriggerState = 4200;
constexpr uint64_t kTriggerEnabled = static_cast<uint64_t>(-9997);
constexpr uint64_t kSoftwareTrigger = 1;

struct GrabTest : boardtest::BoardTest {
  GrabTest() : BoardTest(1000) {
    event = os::CreateEvent(true, false);
    registration = client.RegisterEvent(event);
  }
  ~GrabTest() override { os::CloseHandle(event); }
  // A single grab into the image, sent: its reply tells whether to wait for it.
  std::unique_ptr<zor::kernel::GrabRequest> SendGrab(const zor::kernel::DigChannelRecord& record,
                                                     boardtest::HostImage& image) {
    auto grab = client.MakeGrab(record, image, registration);
    client.Send(zor::kernel::kDigGrab, *grab);
    return grab;
  }
  os::Handle event{};
  uint64_t registration = 0;
};

TEST_F(GrabTest, AllocationLoadsTheDecoderAndClaimsTheChannel) {
  board.SetFrameTime(1000000);  // no frame updates the decoder's status before it is read
  boardtest::DcfBlock dcf;
  dcf.Register(0x0A, 0x1F);
  dcf.Register(0x00, 0x80);
  zor::kernel::ErrorTriple status{};
  auto record = client.AllocDigitizer(1, dcf, &status);  // the status and the channel's count
  EXPECT_EQ(boardtest::StatusText(status) + " " + std::to_string(board.DigitizerAllocations(1)),
            "0.0.0/0,0,0 1");
  EXPECT_NE(record.kernelDigitizer, 0u);
  EXPECT_NE(record.kernelCheck, 0u);
  EXPECT_EQ(board.DecoderRegister(1, 0x0A), 0x1F);
  EXPECT_EQ(board.DecoderRegister(1, 0x08), 0x80);    // power-on value where the DCF is silent
  EXPECT_EQ(board.DecoderRegister(1, 0x10) >> 4, 4);  // forced PAL shows in the status
  board.SetSignal(16, false);                         // no such channel: nothing to set or read
  EXPECT_EQ(board.DecoderRegister(16, 0x10) + board.FrameCount(16), 0u);

  // The channel's status after an allocation on it.
  const auto allocate = [&](uint64_t channel, const boardtest::DcfBlock& block) {
    client.AllocDigitizer(channel, block, &status);
    return boardtest::StatusText(status);
  };
  // Claimed already; beyond the four channels until the board has sixteen.
  EXPECT_EQ(allocate(1, dcf), "4312.4.0/1,0,0");
  EXPECT_EQ(allocate(4, dcf), "4312.4.0/1,0,0");
  board.SetCapabilities(zor::kernel::kCapSixteenChannels);
  EXPECT_EQ(allocate(4, dcf), boardtest::kSucceeded);

  // Freed once only, and the channel is free again (a braced list runs its calls in order).
  const auto free = [&] {
    return boardtest::StatusText(client.DigRecord(zor::kernel::kDigFree, record));
  };
  EXPECT_EQ((std::vector<std::string>{free(), free(), allocate(1, dcf)}),
            (std::vector<std::string>{"0.0.0/0,0,0", "4300.3.0/1,0,0", "0.0.0/0,0,0"}));
  // A camera file without a width or a height gives no digitizer.
  EXPECT_EQ(allocate(2, boardtest::DcfBlock(0, 480)), "4300.2.0/1,0,0");
  EXPECT_EQ(allocate(2, boardtest::DcfBlock(640, 0)), "4300.2.0/1,0,0");
}

// The window fits the camera file's size, 200 x 100 so that the two cannot be taken for each
// other: the last place and size accepted, the first refused, at each side; skips up to 15.
TEST_F(GrabTest, TheSourceWindowAndTheSkipsHaveBounds) {
  auto record = client.AllocDigitizer(0, boardtest::DcfBlock(200, 100));
  boardtest::HostImage image(16, 16);
  const struct {
    const char* name;
    uint64_t offsetX, offsetY, width, height, skipX, skipY;
    const char* status;
  } windows[] = {{"whole frame, widest skips", 0, 0, 0, 0, 15, 15, "0.0.0/0,0,0"},
                 {"last column", 199, 0, 1, 0, 0, 0, "0.0.0/0,0,0"},
                 {"past the last column", 200, 0, 1, 0, 0, 0, "4311.4.0/1,0,0"},
                 {"last line", 0, 99, 0, 1, 0, 0, "0.0.0/0,0,0"},
                 {"past the last line", 0, 100, 0, 1, 0, 0, "4311.4.0/1,0,0"},
                 {"width to the edge", 50, 0, 150, 0, 0, 0, "0.0.0/0,0,0"},
                 {"a column too wide", 50, 0, 151, 0, 0, 0, "4311.4.0/1,0,0"},
                 {"height to the edge", 0, 40, 0, 60, 0, 0, "0.0.0/0,0,0"},
                 {"a line too high", 0, 40, 0, 61, 0, 0, "4311.4.0/1,0,0"},
                 {"skip X 16", 0, 0, 0, 0, 16, 0, "4300.2.0/1,0,0"},
                 {"skip Y 16", 0, 0, 0, 0, 0, 16, "4300.2.0/1,0,0"}};
  // The same size given by the record, which counts before its camera file's.
  auto sizedByRecord = client.AllocDigitizer(1, boardtest::DcfBlock(7, 7), nullptr, {200, 100});
  for (auto* sized : {&record, &sizedByRecord}) {
    for (const auto& w : windows) {
      sized->properties.sourceOffsetX = w.offsetX;
      sized->properties.sourceOffsetY = w.offsetY;
      sized->properties.sourceWidth = w.width;
      sized->properties.sourceHeight = w.height;
      auto grab = client.MakeGrab(*sized, image, 0);
      grab->continuous = 1;
      grab->buffer.skipX = w.skipX;
      grab->buffer.skipY = w.skipY;
      EXPECT_EQ(client.Status(zor::kernel::kDigGrab, *grab), w.status)
          << w.name << ", channel " << sized->properties.channel;
      client.DigRecord(zor::kernel::kDigStopGrab, *sized);
    }
  }
}

TEST_F(GrabTest, ControlAndInquireServeTheBoardsTypesOnly) {
  auto record = client.AllocDigitizer(0);
  // A map type reads 0 until set, then what was set.
  EXPECT_EQ(client.DigInquire(record, 4074), 0u);
  EXPECT_EQ(client.DigControl(record, 4074, 21).errorSet, 0);
  EXPECT_EQ(client.DigInquire(record, 4074), 21u);
  EXPECT_EQ(static_cast<int64_t>(client.DigInquire(record, 4200)), -9999);
  EXPECT_EQ(client.DigInquire(record, 6801) & 0x1, 1u);  // decoder in lock

  for (uint64_t type : {6924ull, 4133ull, 6905ull, 1049ull}) {
    const auto status = client.DigControl(record, type, 1);
    EXPECT_EQ(boardtest::StatusText(status), "4307.1.0/1,0,78") << type;
  }
  constexpr auto kLength = 0x50000000000ull;
  for (uint64_t type :
       {1005ull, 6926ull, 7709ull, 0x4503EDull, 7709 + kLength, 7861 + kLength, 7870 + kLength}) {
    zor::kernel::ErrorTriple status{};
    client.DigInquire(record, type, &status);
    EXPECT_EQ(boardtest::StatusText(status), "4310.1.0/1,0,78") << type;
  }

  const auto hook = [&](uint64_t value) {
    return boardtest::StatusText(
        client.DigControl(record, 20, value, zor::kernel::kDigChannelInit));
  };
  EXPECT_EQ(hook(zor::kernel::kHookEnable), "0.0.0/0,0,0");
  EXPECT_EQ(hook(5), "4307.3.0/1,0,0");

  auto reference = client.Record<zor::kernel::DigReferenceRequest>();
  reference->record = record;
  // The four levels each in its place, 255 the highest; one level above it refuses them all.
  uint64_t* levels[] = {&reference->colourLevel, &reference->saturationLevel,
                        &reference->brightnessLevel, &reference->contrastLevel};
  const auto readBack = [&] {
    std::string text;
    for (uint64_t type = 6654; type <= 6659; ++type) {
      text += std::to_string(client.DigInquire(record, type)) + " ";
    }
    return text;
  };
  for (size_t i = 0; i < 4; ++i) *levels[i] = std::vector<uint64_t>{255, 7, 128, kDefault}[i];
  EXPECT_EQ(client.Status(zor::kernel::kDigReference, *reference), boardtest::kSucceeded);
  const std::string kept = readBack();
  EXPECT_EQ(kept, "0 255 7 128 268435456 0 ");
  for (uint64_t* refused : levels) {
    for (uint64_t* level : levels) *level = level == refused ? 256 : 1;
    EXPECT_EQ(client.Resend(zor::kernel::kDigReference, *reference), "4322.2.0/1,0,0");
    EXPECT_EQ(readBack(), kept);
  }

  record.kernelCheck ^= 1;  // a record the board never handed out
  EXPECT_EQ(client.DigControl(record, 4074, 21).code, 4300u);
}

// With the trigger on, frames without a trigger end as every frame does and reach no grab; a
// trigger gives the grab the next frame.
TEST_F(GrabTest, WithTheTriggerOnAGrabWaitsForATrigger) {
  auto record = client.AllocDigitizer(0);
  // A trigger that came while the trigger was off serves no grab later.
  ASSERT_EQ(client.DigControl(record, kTriggerState, kSoftwareTrigger).errorSet, 0);
  ASSERT_EQ(client.DigControl(record, kTriggerState, kTriggerEnabled).errorSet, 0);
  boardtest::HostImage image(64, 48);
  ASSERT_EQ(SendGrab(record, image)->waitInUserMode, 1u);
  board.RaiseTrigger(1);  // another channel's
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_TRUE(client.WaitDeviceEvent(kFrameEnd)->WaitFor(2000)) << frame;
  }
  EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_TIMEOUT);
  EXPECT_EQ(client.PendingGrabs(), 1u);
  EXPECT_EQ(client.DigControl(record, kTriggerState, kSoftwareTrigger).errorSet, 0);
  ASSERT_EQ(os::WaitForSingleObject(event, 2000), os::WAIT_OBJECT_0);
  EXPECT_EQ(client.PendingGrabs(), 0u);
  // The board's trigger input serves the next.
  ASSERT_EQ(SendGrab(record, image)->waitInUserMode, 1u);
  board.RaiseTrigger(0);
  EXPECT_EQ(os::WaitForSingleObject(event, 2000), os::WAIT_OBJECT_0);
}

// Frames 40 us apart: the thread that asks for a grab writes its frame while the frame comes in.
// The grab is done on return and not before its frame's end, and the frame's events are numbered
// as every frame's are, whether anyone waits for them or not.
TEST_F(GrabTest, AGrabWrittenByItsRequesterEndsWithItsFrame) {
  constexpr auto kFrame = std::chrono::microseconds(40);
  board.SetFrameTime(static_cast<uint32_t>(kFrame.count()));
  auto record = client.AllocDigitizer(0);
  boardtest::HostImage image(640, 480);
  auto firstStart = client.WaitDeviceEvent(kFrameStart);  // the only type watched
  constexpr int kGrabs = 10;
  for (int i = 0; i < kGrabs; ++i) {
    auto grab = client.MakeGrab(record, image, registration);
    const auto asked = std::chrono::steady_clock::now();
    client.Send(zor::kernel::kDigGrab, *grab);
    const auto done = std::chrono::steady_clock::now();
    ASSERT_EQ(grab->header.status.errorSet, 0);
    EXPECT_EQ(grab->waitInUserMode, 0u) << "grab " << i;  // over: nothing to wait for
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_OBJECT_0) << "grab " << i;
    EXPECT_GE(done - asked, kFrame) << "grab " << i;
    EXPECT_EQ(image.At(300, 200), boardsim::PatternLuma(board.FrameCount(0), 300, 200));
  }
  EXPECT_EQ(board.FrameCount(0), static_cast<uint64_t>(kGrabs));
  EXPECT_EQ(client.PendingGrabs(), 0u);

  auto sequence = [](boardtest::TestRequest& wait) {
    return wait.Payload<zor::kernel::BoardEventPayload>().sequence;
  };
  ASSERT_TRUE(firstStart->WaitFor(2000));
  uint64_t last = sequence(*firstStart);
  for (int i = 1; i < kGrabs; ++i) {
    auto start = client.WaitDeviceEvent(kFrameStart);
    ASSERT_TRUE(start->WaitFor(2000));
    // Frame start and end, two fields, grab start and end.
    EXPECT_EQ(sequence(*start), last + 6) << "frame " << i + 1;
    last = sequence(*start);
  }
  // Frames 50 us apart or more are the clock's to write.
  for (const auto& [us, wait] : {std::pair{49u, 0u}, {50u, 1u}}) {
    board.SetFrameTime(us);
    auto grab = client.MakeGrab(record, image, registration);
    client.Send(zor::kernel::kDigGrab, *grab);
    EXPECT_EQ(grab->waitInUserMode, wait) << us;
    ASSERT_EQ(os::WaitForSingleObject(event, 2000), os::WAIT_OBJECT_0);
  }
}

// A frame its requester writes without video serves no grab: the reply asks for the wait, which
// the grab's abort ends.
TEST_F(GrabTest, ARequesterFrameWithoutVideoLeavesTheGrabToWaitFor) {
  board.SetFrameTime(40);
  boardtest::DcfBlock dcf;
  dcf.Register(0x0C, 0x34);  // no free-run output without a signal
  auto record = client.AllocDigitizer(0, dcf);
  board.SetSignal(0, false);
  boardtest::HostImage image(64, 48);
  const auto grab = SendGrab(record, image);
  ASSERT_EQ(grab->header.status.errorSet, 0);
  EXPECT_EQ(grab->waitInUserMode, 1u);
  EXPECT_EQ(os::WaitForSingleObject(event, 20), os::WAIT_TIMEOUT);
  EXPECT_EQ(client.PendingGrabs(), 1u);
  EXPECT_EQ(client.DigControl(record, zor::kernel::kGrabAbort, kDefault).errorSet, 0);
  EXPECT_EQ(os::WaitForSingleObject(event, 1000), os::WAIT_OBJECT_0);
  EXPECT_EQ(client.PendingGrabs(), 0u);
}

TEST_F(GrabTest, GrabFollowsSourceWindowSkipsAndFlips) {
  auto record = client.AllocDigitizer(0);
  record.properties.sourceOffsetX = 64;
  record.properties.sourceOffsetY = 32;
  record.properties.sourceWidth = 320;
  record.properties.sourceHeight = 240;
  boardtest::HostImage image(160, 120);
  auto grab = client.MakeGrab(record, image, registration);
  grab->buffer.skipX = 1;
  grab->buffer.skipY = 1;
  grab->buffer.flipY = 1;
  // The clock's frame: the reply asks for the wait, which the grab's event ends.
  ASSERT_EQ(client.Status(zor::kernel::kDigGrab, *grab), boardtest::kSucceeded);
  EXPECT_EQ(grab->waitInUserMode, 1u);
  ASSERT_EQ(os::WaitForSingleObject(event, 2000), os::WAIT_OBJECT_0);
  const uint64_t frame = board.FrameCount(0);
  EXPECT_EQ(image.At(10, 0), boardsim::PatternLuma(frame, 64 + 20, 32 + 119 * 2));
  EXPECT_EQ(client.PendingGrabs(), 0u);
  // One field of the two: every second of the lines taken.
  grab = client.MakeGrab(record, image, registration);
  grab->buffer.skipX = grab->buffer.skipY = 1;
  grab->buffer.bothFields = 0;
  ASSERT_EQ(client.Status(zor::kernel::kDigGrab, *grab), boardtest::kSucceeded);
  ASSERT_EQ(os::WaitForSingleObject(event, 2000), os::WAIT_OBJECT_0);
  EXPECT_EQ(image.At(10, 5), boardsim::PatternLuma(board.FrameCount(0), 64 + 20, 32 + 5 * 4));
  // In colour, a band each: the second bar is yellow.
  record.properties.sourceOffsetX = 480;
  record.properties.sourceWidth = 160;
  boardtest::HostImage bars(160, 120, 3);
  grab = client.MakeGrab(record, bars, registration);
  grab->buffer.oneBandPerPlane = 0;
  ASSERT_EQ(client.Status(zor::kernel::kDigGrab, *grab), boardtest::kSucceeded);
  ASSERT_EQ(os::WaitForSingleObject(event, 2000), os::WAIT_OBJECT_0);
  EXPECT_EQ(std::tuple(bars.At(30, 50, 0), bars.At(30, 50, 1), bars.At(30, 50, 2)),
            std::tuple(191, 191, 0));

  // A buffer the board cannot write is refused; the grab is not queued.
  using Part = zor::kernel::GrabBufferPart;
  const struct {
    const char* name;
    void (*fault)(Part&);
    uint64_t code, subCode;
  } refused[] = {{"no plane", [](Part& p) { p.descriptor.hostAddress[0] = 0; }, 4326, 1},
                 {"no width", [](Part& p) { p.descriptor.sizeX = 0; }, 4326, 1},
                 {"no height", [](Part& p) { p.descriptor.sizeY = 0; }, 4326, 1},
                 {"pitch below the width",
                  [](Part& p) { p.descriptor.pitch = p.descriptor.sizeX - 1; }, 4326, 1},
                 {"12 bits", [](Part& p) { p.descriptor.bitsPerPixel = 12; }, 4326, 1},
                 {"no band", [](Part& p) { p.descriptor.bandCount = 0; }, 4326, 1},
                 {"five bands", [](Part& p) { p.descriptor.bandCount = 5; }, 4326, 1},
                 {"unknown board buffer", [](Part& p) { p.kernelHandle = 0x5555; }, 4327, 2}};
  for (const auto& [name, fault, code, subCode] : refused) {
    grab = client.MakeGrab(record, image, registration);
    fault(grab->buffer);
    EXPECT_EQ(client.Status(zor::kernel::kDigGrab, *grab), boardtest::ErrorText(code, subCode))
        << name;
    EXPECT_EQ(grab->waitInUserMode, 0u) << name;
  }
  grab = client.MakeGrab(record, image, registration + 1000);
  EXPECT_EQ(client.Status(zor::kernel::kDigGrab, *grab), "4300.3.0/1,0,0");
}

// A continuous grab runs until it is stopped, or aborted.
TEST_F(GrabTest, ContinuousGrabRunsUntilStopped) {
  auto record = client.AllocDigitizer(0);
  boardtest::HostImage image(64, 48);
  const std::function<void()> ends[] = {
      [&] { client.DigRecord(zor::kernel::kDigStopGrab, record); },
      [&] { client.DigControl(record, zor::kernel::kGrabAbort, kDefault); }};
  for (const auto& end : ends) {
    EXPECT_EQ(client.GrabContinuously(record, image)->waitInUserMode, 0u);
    const uint64_t started = board.FrameCount(0);
    while (board.FrameCount(0) < started + 3) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    end();
    const uint64_t stopped = board.FrameCount(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(board.FrameCount(0), stopped + 1);
    EXPECT_EQ(image.At(40, 30), boardsim::PatternLuma(board.FrameCount(0), 40, 30));
  }
}

TEST_F(GrabTest, GrabWaitAndAbortWithoutVideo) {
  boardtest::DcfBlock dcf;
  dcf.Register(0x0C, 0x34);  // no free-run output when the signal goes
  auto record = client.AllocDigitizer(0, dcf);
  // A wait's status and its flag back: 1 when there is something to wait for.
  const auto waitFor = [&](uint64_t flag) {
    auto wait = client.Record<zor::kernel::GrabWaitRequest>();
    wait->record = record;
    wait->eventRegistration = registration;
    wait->waitFlag = flag;
    const std::string status = client.Status(zor::kernel::kDigGrabWait, *wait);
    return status + " " + std::to_string(wait->waitFlag);
  };
  EXPECT_EQ(waitFor(zor::kernel::kWaitGrabEnd), "0.0.0/0,0,0 0");  // nothing to wait for
  EXPECT_EQ(waitFor(4), "4314.1.0/1,0,0 4");
  // The next frame comes to an idle digitizer that is waited for.
  EXPECT_EQ(waitFor(zor::kernel::kWaitNextFrame), "0.0.0/0,0,0 1");
  EXPECT_EQ(os::WaitForSingleObject(event, 1000), os::WAIT_OBJECT_0);

  board.SetSignal(0, false);
  boardtest::HostImage image(64, 48);
  os::Handle second = os::CreateEvent(true, false);
  const uint64_t secondRegistration = client.RegisterEvent(second);
  auto grab = client.MakeGrab(record, image, registration);
  client.Send(zor::kernel::kDigGrab, *grab);
  grab = client.MakeGrab(record, image, secondRegistration);
  client.Send(zor::kernel::kDigGrab, *grab);
  EXPECT_EQ(waitFor(zor::kernel::kWaitNextFrame), "0.0.0/0,0,0 1");
  // The count of the system, of the digitizer, of none that exists, of another type.
  const auto pending = [&](uint64_t objectId, uint64_t type) {
    auto r = client.Record<zor::kernel::DigInquireValueRequest>();
    r->header.objectId = objectId;
    r->type = type;
    const std::string status = client.Status(zor::kernel::kDigInquireValue, *r);
    return status + " " + std::to_string(r->value);
  };
  const uint64_t kCount = zor::kernel::kPendingGrabCount;
  EXPECT_EQ(pending(0, kCount) + " " + pending(record.kernelDigitizer, kCount) + " " +
                pending(record.kernelDigitizer + 1, kCount) + " " + pending(0, kCount + 1),
            "0.0.0/0,0,0 2 0.0.0/0,0,0 2 4300.3.0/1,0,0 0 4310.1.0/1,0,0 0");
  EXPECT_EQ(os::WaitForSingleObject(second, 20), os::WAIT_TIMEOUT);
  EXPECT_EQ(board.FrameCount(0), 1u);  // the frame waited for above only

  EXPECT_EQ(client.DigControl(record, zor::kernel::kGrabAbort, kDefault).errorSet, 0);
  EXPECT_EQ(client.PendingGrabs(), 0u);
  EXPECT_EQ(os::WaitForSingleObject(second, 1000), os::WAIT_OBJECT_0);
  EXPECT_EQ(os::WaitForSingleObject(event, 1000), os::WAIT_OBJECT_0);

  // The system's halt ends the grabs of all its digitizers.
  grab = client.MakeGrab(record, image, secondRegistration);
  client.Send(zor::kernel::kDigGrab, *grab);
  EXPECT_EQ(os::WaitForSingleObject(second, 0), os::WAIT_TIMEOUT);
  EXPECT_EQ(client.SysControl(1810, 0x1000000).errorSet, 0);
  EXPECT_EQ(client.PendingGrabs(), 0u);
  EXPECT_EQ(os::WaitForSingleObject(second, 1000), os::WAIT_OBJECT_0);
  // So does the digitizer's free.
  grab = client.MakeGrab(record, image, secondRegistration);
  ASSERT_EQ(client.Status(zor::kernel::kDigGrab, *grab), boardtest::kSucceeded);
  EXPECT_EQ(os::WaitForSingleObject(second, 0), os::WAIT_TIMEOUT);
  EXPECT_EQ(client.DigRecord(zor::kernel::kDigFree, record).errorSet, 0);
  EXPECT_EQ(os::WaitForSingleObject(second, 1000), os::WAIT_OBJECT_0);
  os::CloseHandle(second);
}

}  // namespace
