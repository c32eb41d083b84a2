// Kernel objects with their time-outs and the blocking inquire; events
// registered by handle and the waits on them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

struct ObjectsTest : boardtest::BoardTest {
  ObjectsTest() : BoardTest(2000) {}
  void Control(uint64_t id, uint64_t type, uint64_t value) {
    client.ObjectValue(zor::kernel::kKernelObjectControl, id, type, value);
  }
  // An inquire's status and value.
  std::string Inquire(uint64_t id, uint64_t type) {
    const auto r = client.ObjectValue(zor::kernel::kKernelObjectInquire, id, type);
    return boardtest::StatusText(r.header.status) + " " + std::to_string(r.value);
  }
};

TEST_F(ObjectsTest, ObjectsKeepTheirSettingsUntilFreed) {
  const uint64_t id = client.AllocObject(136 - 8);
  ASSERT_NE(id, 0u);
  Control(id, zor::kernel::kObjectTimeout, 5000);
  EXPECT_EQ(Inquire(id, zor::kernel::kObjectTimeout), "0.0.0/0,0,0 5000");
  Control(id, 1019, 77);
  EXPECT_EQ(Inquire(id, 1019) + ", " + Inquire(id, 1020), "0.0.0/0,0,0 77, 0.0.0/0,0,0 0");

  zor::kernel::HeaderOnlyRequest free{client.Header()};
  free.header.objectId = id;
  EXPECT_EQ(client.Status(zor::kernel::kKernelObjectFree, free), boardtest::kSucceeded);
  EXPECT_EQ(board.KernelObjects(136 - 8), 0u);  // the system's object is of another kind
  EXPECT_EQ(client.Status(zor::kernel::kKernelObjectFree, free), "4300.3.0/1,0,0");
  EXPECT_EQ(Inquire(id, zor::kernel::kObjectTimeout), "4300.3.0/1,0,0 0");
  // Kinds 1 to 255 only.
  for (const auto& [kind, status] : {std::pair{1, boardtest::kSucceeded},
                                     {255, boardtest::kSucceeded},
                                     {0, std::string("4302.2.0/1,0,0")},
                                     {256, std::string("4302.2.0/1,0,0")}}) {
    auto r = client.Record<zor::kernel::ObjectAllocRequest>();
    r->kind = kind;
    EXPECT_EQ(client.Status(zor::kernel::kKernelObjectAlloc, *r), status) << kind;
  }
}

TEST_F(ObjectsTest, BlockingInquireWaitsForTheObjectsGrabs) {
  const uint64_t object = client.AllocObject();
  os::Handle event = os::CreateEvent(true, false);
  const uint64_t registration = client.RegisterEvent(event);
  boardtest::DcfBlock dcf;
  dcf.Register(0x0C, 0x34);  // no free-run output without a signal
  auto dig = client.AllocDigitizer(0, dcf);
  boardtest::HostImage image(64, 48);
  auto grab = client.MakeGrab(dig, image, registration, object);
  ASSERT_EQ(client.Status(zor::kernel::kDigGrab, *grab), boardtest::kSucceeded);
  EXPECT_EQ(grab->waitInUserMode, 1u);

  const auto waitIdle = [&] { return Inquire(object, zor::kernel::kObjectWaitIdle); };
  EXPECT_EQ(waitIdle(), "0.0.0/0,0,0 " + std::to_string(zor::kernel::kWaitEnded));
  EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_OBJECT_0);

  // No video: the grab never ends and the wait runs out.
  board.SetSignal(0, false);
  Control(object, zor::kernel::kObjectTimeout, 30);
  client.Send(zor::kernel::kDigGrab, *grab);
  EXPECT_EQ(waitIdle(), "4318.1.0/1,0,0 " + std::to_string(zor::kernel::kWaitTimedOut));
  EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_TIMEOUT);
  // A time-out of 0 looks once and does not wait.
  Control(object, zor::kernel::kObjectTimeout, 0);
  EXPECT_EQ(waitIdle(), "4318.1.0/1,0,0 " + std::to_string(zor::kernel::kWaitTimedOut));

  // Halting the object ends its grab.
  Control(object, zor::kernel::kObjectHalt, 0x1001000);
  EXPECT_EQ(os::WaitForSingleObject(event, 1000), os::WAIT_OBJECT_0);
  os::CloseHandle(event);
}

TEST_F(ObjectsTest, EventsAreSignalledAndWaitedInUserMode) {
  os::Handle handle = os::CreateEvent(false, false);
  auto alloc = client.Record<zor::kernel::ThreadAllocRequest>();
  // Four init words, each with a handle, and the last of them is the event's.
  for (const auto& [word, handleValue, status] :
       {std::tuple{0x1234, os::HandleValue(handle), "4302.2.0/1,0,0"},
        {0x2020, uint64_t{0}, "4302.2.0/1,0,0"},
        {0x2010, os::HandleValue(handle), "0.0.0/0,0,0"},
        {0x4010, os::HandleValue(handle), "0.0.0/0,0,0"},
        {0x4020, os::HandleValue(handle), "0.0.0/0,0,0"},
        {0x2020, os::HandleValue(handle), "0.0.0/0,0,0"}}) {
    alloc->initWord = static_cast<uint64_t>(word);
    alloc->eventHandle = handleValue;
    EXPECT_EQ(client.Resend(zor::kernel::kThreadAlloc, *alloc), status) << word;
  }

  auto inquire = client.Record<zor::kernel::ThreadWaitRequest>();
  inquire->eventId = alloc->eventId;
  inquire->kind = 1;
  auto control = client.Record<zor::kernel::ThreadControlRequest>();
  control->eventId = alloc->eventId;
  // Not set yet, then as each control leaves it.
  const auto stateAfter = [&](uint64_t value) {
    control->value = value;
    client.Resend(zor::kernel::kThreadControl, *control);
    client.Resend(zor::kernel::kThreadInquire, *inquire);
    return inquire->result;
  };
  client.Send(zor::kernel::kThreadInquire, *inquire);
  EXPECT_EQ((std::vector<uint64_t>{inquire->result, stateAfter(1), stateAfter(0), stateAfter(1)}),
            (std::vector<uint64_t>{0, 1, 0, 1}));

  auto wait = client.Record<zor::kernel::ThreadWaitRequest>();
  wait->eventId = alloc->eventId;
  wait->kind = zor::kernel::kWaitBlocking;
  wait->timeout = zor::kernel::kNoTimeout;
  client.Send(zor::kernel::kThreadWait, *wait);
  // The driver waits itself, on the event's handle, with the preset result.
  EXPECT_EQ(
      std::tuple(wait->kind, wait->eventHandle, wait->result),
      std::tuple(uint64_t{zor::kernel::kWaitInUserMode}, os::HandleValue(handle), uint64_t{32}));
  EXPECT_EQ(os::WaitForSingleObject(handle, 0), os::WAIT_OBJECT_0);

  wait->kind = zor::kernel::kWaitNonBlocking;
  client.Send(zor::kernel::kThreadWait, *wait);
  EXPECT_EQ(wait->kind, 0u);
  EXPECT_EQ(static_cast<int64_t>(wait->result), -9999);
  wait->kind = 3;  // neither
  EXPECT_EQ(client.Status(zor::kernel::kThreadWait, *wait), "4300.2.0/1,0,0");

  // A wait on several: 1 to 16 events, each of them known.
  zor::kernel::ThreadWaitMultipleRequest r{};
  for (uint64_t& id : r.eventIds) id = alloc->eventId;
  for (const int32_t count : {0, 17, 16}) {
    r.count = count;
    r.kind = zor::kernel::kWaitBlocking;
    EXPECT_EQ(client.Resend(zor::kernel::kThreadWaitMultiple, r),
              count == 16 ? boardtest::kSucceeded : "4338.3.0/1,0,0")
        << count;
  }
  EXPECT_EQ(
      std::tuple(r.kind, r.eventHandles[15], r.result),
      std::tuple(uint64_t{zor::kernel::kWaitInUserMode}, os::HandleValue(handle), uint64_t{32}));
  r.count = 2;
  r.eventIds[1] = 999;
  EXPECT_EQ(client.Resend(zor::kernel::kThreadWaitMultiple, r), "4300.3.0/1,0,0");

  auto free = client.Record<zor::kernel::ThreadFreeRequest>();
  free->eventId = alloc->eventId;
  client.Send(zor::kernel::kThreadFree, *free);
  EXPECT_EQ(free->eventHandle, os::HandleValue(handle));
  EXPECT_EQ(client.Status(zor::kernel::kThreadFree, *free), "4300.3.0/1,0,0");
  os::CloseHandle(handle);
}

TEST_F(ObjectsTest, ContextEventsRegisterAndUnregister) {
  os::Handle handle = os::CreateEvent(true, false);
  const uint64_t registration = client.RegisterEvent(handle);
  ASSERT_NE(registration, 0u);
  auto r = client.Record<zor::kernel::ContextEventRequest>();
  r->registration = registration;
  EXPECT_EQ(client.Status(zor::kernel::kThreadContextEvent, *r), boardtest::kSucceeded);
  EXPECT_EQ(r->registration, 0u);  // no longer registered
  r->registration = registration;
  EXPECT_EQ(client.Resend(zor::kernel::kThreadContextEvent, *r), "4300.3.0/1,0,0");
  r->registration = 0;
  r->eventHandle = 0;
  EXPECT_EQ(client.Resend(zor::kernel::kThreadContextEvent, *r), "4300.2.0/1,0,0");
  os::CloseHandle(handle);
}

}  // namespace
