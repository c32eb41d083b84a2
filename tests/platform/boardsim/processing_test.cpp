// Grab processing: queued grabs fill one a frame, each raising a
// buffer-modified event; continue, stop and halt.
#include <gtest/gtest.h>

#include <vector>

#include "platform/boardsim/framewriter.h"
#include "platform/os/core/error.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

struct ProcessingTest : boardtest::BoardTest {
  ProcessingTest() : BoardTest(1000) {}
  uint64_t Start(const boardtest::HostImage& image, int64_t bufferIndex) {
    auto grab = client.MakeGrab(record, image, 0, processObject);
    grab->buffer.value = bufferIndex;
    EXPECT_EQ(client.Status(zor::kernel::kDigProcessStart, *grab), boardtest::kSucceeded);
    return grab->grabRecord;
  }
  zor::kernel::ErrorTriple Process(uint32_t function, uint64_t word) {
    auto r = client.Record<zor::kernel::DigProcessRequest>();
    r->kernelDigitizer = record.kernelDigitizer;
    r->processObject = processObject;
    r->word = word;
    client.Send(function, *r);
    return r->header.status;
  }
  zor::kernel::ErrorTriple Continue(uint64_t grabRecord) {
    auto r = client.Record<zor::kernel::DigContinueGrabRequest>();
    r->kernelDigitizer = record.kernelDigitizer;
    r->processObject = processObject;
    r->grabRecord = grabRecord;
    client.Send(zor::kernel::kDigContinueGrab, *r);
    return r->header.status;
  }
  uint64_t WaitIdle() {
    return client
        .ObjectValue(zor::kernel::kKernelObjectInquire, processObject, zor::kernel::kObjectWaitIdle)
        .value;
  }
  static const zor::kernel::BufferModifiedPayload& Payload(boardtest::TestRequest& request) {
    return request.Payload<zor::kernel::BufferModifiedPayload>();
  }
  // The event's host buffer, hook, size, error, digitizer index, buffer index, word and error.
  static std::vector<uint64_t> Words(boardtest::TestRequest& request) {
    const auto& p = Payload(request);
    return {p.hostObject,     p.hookFunction, p.hookData,  p.count,     p.further,     p.grabError,
            p.digitizerIndex, p.bufferIndex,  p.eventWord, p.errorCode, p.errorSubCode};
  }
  // Those of a 64 x 48 grab of digitizer index 1 into the host buffer.
  static std::vector<uint64_t> Filled(uint64_t host, uint64_t bufferIndex) {
    return {host, 0, 0, 64, 48, 0, 1, bufferIndex, zor::kernel::kGrabEndWord, 0, 0};
  }

  // The grab status counts the run's frames over no less time than the frames take.
  static void ExpectRunCount(const zor::kernel::BufferModifiedPayload& p, uint64_t frames) {
    const uint64_t* status = p.grabStatus;
    EXPECT_EQ(status[zor::kernel::kStatusFramesCounted], frames);
    EXPECT_GE(status[zor::kernel::kStatusElapsedTicks], frames * 1000);
    EXPECT_EQ(status[zor::kernel::kStatusCounterFrequency], 1000000u);
    EXPECT_EQ(p.rateNumerator, frames * 1000000);
    EXPECT_EQ(p.rateDenominator, status[zor::kernel::kStatusElapsedTicks]);
  }

  zor::kernel::DigChannelRecord record = client.AllocDigitizer(0);  // digitizer index 1
  uint64_t processObject = client.AllocObject(zor::kernel::kObjectKindProcess);
  const uint64_t digType = zor::kernel::kHookDigitizerBufferModified | 1;
};

TEST_F(ProcessingTest, QueuedGrabsFillInOrderAndReportTheirBuffers) {
  auto first = client.WaitDeviceEvent(digType);
  auto second = client.WaitDeviceEvent(digType);
  boardtest::HostImage a(64, 48), b(64, 48);
  const uint64_t recordA = Start(a, 5);
  const uint64_t recordB = Start(b, 6);
  boardtest::HostImage plain(64, 48);  // a plain grab's frame leaves the queue to its request
  os::Handle done = os::CreateEvent(true, false);
  client.Send(zor::kernel::kDigGrab, *client.MakeGrab(record, plain, client.RegisterEvent(done)));
  ASSERT_EQ(os::WaitForSingleObject(done, 2000), os::WAIT_OBJECT_0);
  os::CloseHandle(done);
  EXPECT_EQ(client.PendingGrabs(record.kernelDigitizer), 2u);
  EXPECT_FALSE(first->WaitFor(20));  // nothing runs before the process request

  EXPECT_EQ(Process(zor::kernel::kDigProcessRequest, 1).errorSet, 0);
  ASSERT_TRUE(first->WaitFor(2000));
  ASSERT_TRUE(second->WaitFor(2000));
  EXPECT_EQ(first->Error(), os::ERROR_SUCCESS);
  const auto& p = Payload(*first);
  EXPECT_EQ(Words(*first), Filled(a.descriptor.hostBufferId, 5));
  EXPECT_EQ(Words(*second), Filled(b.descriptor.hostBufferId, 6));
  EXPECT_EQ(client.PendingGrabs(record.kernelDigitizer), 0u);
  // The run's frames over the run's time, from its first frame's start: the wait before the
  // process request is not in it.
  ExpectRunCount(p, 1);
  EXPECT_EQ(p.grabStatus[zor::kernel::kStatusElapsedTicks], 1000u);
  ExpectRunCount(Payload(*second), 2);

  // A continued grab fills again, counted on after the watchdog's restart; a stopped one is gone.
  auto third = client.WaitDeviceEvent(digType);
  EXPECT_EQ(Process(zor::kernel::kDigProcessRequest, 0).errorSet, 0);
  EXPECT_EQ(Continue(recordA).errorSet, 0);
  ASSERT_TRUE(third->WaitFor(2000));
  EXPECT_EQ(Words(*third), Filled(a.descriptor.hostBufferId, 5));
  ExpectRunCount(Payload(*third), 3);

  // A prepared continuation brings its own buffer.
  auto fourth = client.WaitDeviceEvent(digType);
  auto prepared = client.Record<zor::kernel::DigContinuePreparedRequest>();
  prepared->kernelDigitizer = record.kernelDigitizer;
  prepared->processObject = processObject;
  prepared->grabRecord = recordA;
  prepared->buffers[0].descriptor = b.descriptor;
  prepared->buffers[0].descriptor.hostBufferId = 0x4343;
  prepared->buffers[0].value = 9;
  prepared->buffers[0].kernelHandle = 0x5555;  // no such board buffer
  EXPECT_EQ(client.Status(zor::kernel::kDigContinueGrabPrepared, *prepared), "4326.1.0/1,0,0");
  prepared->buffers[0].kernelHandle = 0;
  ASSERT_EQ(client.Resend(zor::kernel::kDigContinueGrabPrepared, *prepared), boardtest::kSucceeded);
  ASSERT_TRUE(fourth->WaitFor(2000));
  EXPECT_EQ(Words(*fourth), Filled(0x4343, 9));
  EXPECT_EQ(Process(zor::kernel::kDigProcessStop, recordB).errorSet, 0);
  EXPECT_EQ(Process(zor::kernel::kDigProcessStop, recordB).code, 4300u);
  EXPECT_EQ(Continue(recordB).code, 4300u);

  // A first start counts afresh.
  auto fifth = client.WaitDeviceEvent(digType);
  EXPECT_EQ(Process(zor::kernel::kDigProcessRequest, 1).errorSet, 0);
  EXPECT_EQ(Continue(recordA).errorSet, 0);
  ASSERT_TRUE(fifth->WaitFor(2000));
  ExpectRunCount(Payload(*fifth), 1);

  // With the trigger on, a continued grab waits for a trigger.
  client.DigControl(record, 4200, static_cast<uint64_t>(-9997));
  auto sixth = client.WaitDeviceEvent(digType);
  EXPECT_EQ(Continue(recordA).errorSet, 0);
  EXPECT_FALSE(sixth->WaitFor(30));
  client.DigControl(record, 4200, 1);  // the software trigger
  ASSERT_TRUE(sixth->WaitFor(2000));
  EXPECT_EQ(Words(*sixth), Filled(0x4343, 9));  // the prepared buffer kept
}

// A halt empties the queue, before the process request as during the run, and the object turns
// idle.
TEST_F(ProcessingTest, HaltEndsTheRunAndTheObjectTurnsIdle) {
  // No signal and no free-run output: the queued grabs stay queued.
  client.DigRecord(zor::kernel::kDigFree, record);
  boardtest::DcfBlock dcf;
  dcf.Register(0x0C, 0x34);
  record = client.AllocDigitizer(0, dcf);
  board.SetSignal(0, false);
  // A wait for grabs that are still there runs out at once.
  client.ObjectValue(zor::kernel::kKernelObjectControl, processObject, zor::kernel::kObjectTimeout,
                     0);
  boardtest::HostImage a(64, 48);
  for (const bool running : {false, true}) {
    Start(a, 1);
    const uint64_t recordB = Start(a, 2);
    if (running) Process(zor::kernel::kDigProcessRequest, 1);
    EXPECT_EQ(client.PendingGrabs(record.kernelDigitizer), 2u) << running;
    client.ObjectValue(zor::kernel::kKernelObjectControl, processObject, zor::kernel::kObjectHalt,
                       0x1001000);
    EXPECT_EQ(client.PendingGrabs(record.kernelDigitizer), 0u) << running;
    EXPECT_EQ(WaitIdle(), zor::kernel::kWaitEnded) << running;
    EXPECT_EQ(Process(zor::kernel::kDigProcessStop, recordB).errorSet, 0) << running;
  }
  EXPECT_EQ(board.FrameCount(0), 0u);
}

// The object's wait for its grabs ends once the last grab's pixels are written, not when
// its frame begins: what the driver reads then is one whole frame.
TEST_F(ProcessingTest, TheObjectTurnsIdleOnceItsGrabsPixelsAreWritten) {
  boardtest::HostImage image(640, 480);
  const uint64_t grab = Start(image, 0);
  Process(zor::kernel::kDigProcessRequest, 1);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(WaitIdle(), zor::kernel::kWaitEnded);
    const uint64_t frame = board.FrameCount(0);
    for (uint64_t y : {0u, 240u, 479u}) {
      EXPECT_EQ(int{image.At(100, y)}, int{boardsim::PatternLuma(frame, 100, y)}) << "grab " << i;
    }
    Continue(grab);
  }
}

TEST_F(ProcessingTest, WithoutDigitizerWaitsTheSystemWideWaitGetsTheEvent) {
  auto event = client.WaitDeviceEvent(zor::kernel::kHookBufferModified);
  auto failed = client.WaitDeviceEvent(zor::kernel::kHookBufferModified);
  boardtest::HostImage a(64, 48);
  Start(a, 3);
  // A grab whose board buffer goes before its frame is told with the buffer's error.
  const auto buffer = client.BufAlloc(1, 64, 48, 8);
  auto grab = client.MakeGrab(record, a, 0, processObject);
  grab->buffer.kernelHandle = buffer.kernelHandle;
  client.Send(zor::kernel::kDigProcessStart, *grab);
  client.BufferRequest(zor::kernel::kBufFree, buffer.kernelHandle);
  Process(zor::kernel::kDigProcessRequest, 1);
  ASSERT_TRUE(event->WaitFor(2000));
  EXPECT_EQ(Words(*event), Filled(a.descriptor.hostBufferId, 3));
  ASSERT_TRUE(failed->WaitFor(2000));
  // Nothing of it written.
  EXPECT_EQ(Words(*failed), (std::vector<uint64_t>{a.descriptor.hostBufferId, 0, 0, 0, 0, 1, 1, 0,
                                                   zor::kernel::kGrabEndWord, 4327, 2}));
}

}  // namespace
