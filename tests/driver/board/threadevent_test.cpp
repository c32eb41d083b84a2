// Thread and event objects of a board system, with the kernel taking part:
// allocation, signal, waits with time-outs, waits on several, free.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "platform/boardsim/faults.h"
#include "platform/os/sync/thread.h"
#include "tests/driver/board/boardfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kEvent = 128;
constexpr QINT64 kThreadObject = 256;
constexpr QINT64 kWaitEvent = 0x20000000;
constexpr QINT64 kPollEvent = 0x8000000;
constexpr QINT64 kWaitThread = 0x1000000;
constexpr QINT64 kWaitAll = 0x4000000;
constexpr QINT64 kEventState = 1706;
constexpr QINT64 kSetEvent = 1707;

class ThreadEventTest : public SystemFixture {
 protected:
  QID Event(QINT64 init = Q_DEFAULT) {
    QID event = 0;
    QthrAlloc(system_, kEvent, init, &event);
    EXPECT_NE(event, 0) << "error " << ErrorCode();
    return event;
  }

  static QINT64 Wait(QID object, QINT64 word) {
    QINT64 result = 0;
    QthrWait(object, word, &result);
    return result;
  }

  static QINT64 Inquire(QID object, QINT64 type) {
    QINT64 value = -12345;
    QthrInquire(object, type, &value);
    return value;
  }

  // Each setting the thread object keeps, written alone, reads back what was written while every
  // other one keeps its value; the default brings it back.
  static void ExpectSettingsKeptApart(QID thread) {
    struct Setting {
      QINT64 type, byDefault, written;
    };
    const Setting settings[] = {{1804, 2, 1},
                                {1805, 1, 2},
                                {1815, 1, 2},
                                {1813, Q_ENABLE, Q_DISABLE},
                                {1819, Q_DEFAULT, 7}};
    std::map<QINT64, QINT64> expected;
    for (const Setting& s : settings) {
      QthrControl(thread, s.type, Q_DEFAULT);
      expected[s.type] = s.byDefault;
    }
    const auto expectAll = [&](const char* step, QINT64 type) {
      for (const auto& [other, value] : expected) {
        EXPECT_EQ(Inquire(thread, other), value) << step << " " << type << ", read " << other;
      }
    };
    expectAll("defaults", 0);
    for (const Setting& s : settings) {
      QthrControl(thread, s.type, s.written);
      expected[s.type] = s.written;
      expectAll("written", s.type);
      QthrControl(thread, s.type, Q_DEFAULT);
      expected[s.type] = s.byDefault;
      expectAll("default", s.type);
    }
    // Another value of the first three is the kernel object's: the kept ones stay.
    for (QINT64 type : {1804, 1805, 1815}) {
      QthrControl(thread, type, 3);
      expectAll("3 to the kernel object", type);
    }
    EXPECT_EQ(LastError(), Err(0));
  }
};

// A thread's kernel objects follow its priority (an idle thread's are of kind 136 - 1), both
// the context its first command makes and a thread object.
TEST_F(ThreadEventTest, KernelObjectsFollowTheThreadsPriority) {
  const std::pair<int, int32_t> kinds[] = {
      {os::THREAD_PRIORITY_IDLE, 135},         {os::THREAD_PRIORITY_LOWEST, 130},
      {os::THREAD_PRIORITY_BELOW_NORMAL, 129}, {os::THREAD_PRIORITY_NORMAL, 128},
      {os::THREAD_PRIORITY_ABOVE_NORMAL, 127}, {os::THREAD_PRIORITY_HIGHEST, 126},
      {os::THREAD_PRIORITY_TIME_CRITICAL, 121}};
  for (const auto& [priority, kind] : kinds) {
    std::thread([&, priority = priority, kind = kind] {
      ASSERT_TRUE(os::SetThreadPriority(os::GetCurrentThread(), priority));
      const size_t before = SimBoard().KernelObjects(kind);
      QID thread = 0;
      QthrAlloc(system_, kThreadObject, Q_DEFAULT, &thread);
      ASSERT_NE(thread, 0) << "error " << ErrorCode();
      EXPECT_EQ(SimBoard().KernelObjects(kind), before + 2) << priority;
      QthrFree(thread);
      EXPECT_EQ(SimBoard().KernelObjects(kind), before + 1) << priority;
    }).join();
  }
}

// A default event resets itself after a wait; a manual one, signalled at allocation, stays so.
TEST_F(ThreadEventTest, EventsResetByThemselvesOrByHand) {
  struct Step {
    QINT64 set;  // -1: none
    QINT64 waitWord, result;
  };
  const struct {
    QINT64 init, state;
    std::vector<Step> steps;
  } events[] = {{Q_DEFAULT,
                 0,
                 {{-1, kWaitEvent | 20, Q_WAIT_TIMEOUT},
                  {1, kWaitEvent, Q_WAIT_ENDED},
                  {-1, kWaitEvent | 20, Q_WAIT_TIMEOUT}}},
                {0x4010,
                 1,
                 {{-1, kWaitEvent | 20, Q_WAIT_ENDED},
                  {-1, kWaitEvent | 20, Q_WAIT_ENDED},
                  {0, kWaitEvent | 20, Q_WAIT_TIMEOUT},
                  {-1, kPollEvent, -9999}}}};
  for (const auto& e : events) {
    SCOPED_TRACE(e.init);
    const QID event = Event(e.init);
    EXPECT_EQ(Inquire(event, kEventState), e.state);
    for (const Step& step : e.steps) {
      if (step.set >= 0) {
        QthrControl(event, kSetEvent, step.set);
        EXPECT_EQ(Inquire(event, kEventState), step.set);
      }
      EXPECT_EQ(Wait(event, step.waitWord), step.result) << step.set << " " << step.waitWord;
    }
    EXPECT_EQ(LastError(), Err(0));
    QthrFree(event);
    EXPECT_EQ(LastError(), Err(0));
  }
}

TEST_F(ThreadEventTest, ASignalFromAnotherThreadEndsAWaitWithoutLimit) {
  const QID event = Event();
  std::thread signaller([event] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QthrControl(event, kSetEvent, 1);
  });
  EXPECT_EQ(Wait(event, kWaitEvent), Q_WAIT_ENDED);
  signaller.join();
  QthrFree(event);
}

TEST_F(ThreadEventTest, WaitOnSeveralGivesTheSignalledOneOrAll) {
  const QID events[3] = {Event(), Event(), Event(0x4010)};
  QINT64 result = -1;
  QthrWaitMultiple(events, 2, kWaitEvent | 20, &result);
  EXPECT_EQ(result, Q_WAIT_TIMEOUT);
  QthrControl(events[1], kSetEvent, 1);
  QthrWaitMultiple(events, 2, kWaitEvent | 1000, &result);
  EXPECT_EQ(result, 1);
  QthrControl(events[0], kSetEvent, 1);
  QthrControl(events[1], kSetEvent, 1);
  QthrWaitMultiple(events, 3, kWaitEvent | kWaitAll | 1000, &result);
  EXPECT_EQ(result, Q_WAIT_ENDED);
  EXPECT_EQ(LastError(), Err(0));
  for (QID event : events) QthrFree(event);
}

TEST_F(ThreadEventTest, WaitOnSeveralRefusesTooManyAndNonEvents) {
  QID events[17];
  for (QID& event : events) event = Event();
  QINT64 result = 0;
  QthrWaitMultiple(events, 17, kWaitEvent | 10, &result);
  EXPECT_EQ(LastError(), Err(4338, 3));
  QID thread = 0;
  QthrAlloc(system_, kThreadObject, Q_DEFAULT, &thread);
  const QID mixed[2] = {events[0], thread};
  QthrWaitMultiple(mixed, 2, kWaitEvent | 10, &result);
  EXPECT_EQ(LastError(), Err(4300, 3));
  QthrWaitMultiple(events, 1, 0x12345678, &result);
  EXPECT_EQ(LastError(), Err(4307, 1));
}

TEST_F(ThreadEventTest, ThreadObjectKeepsItsSettingsAndWaitsInTheKernel) {
  QID thread = 0;
  QthrAlloc(system_, kThreadObject, Q_DEFAULT, &thread);
  ASSERT_NE(thread, 0) << "error " << ErrorCode();
  EXPECT_EQ((std::vector<QINT64>{Inquire(thread, 2077), Inquire(thread, 1804),
                                 Inquire(thread, 1805), Inquire(thread, 1103)}),
            (std::vector<QINT64>{20000, 2, 1, thread}));
  // 2077, a type the driver does not keep, goes to the kernel object: its wait's time-out.
  ExpectSteps(thread, &QthrControl, &QthrInquire,
              {{1805, 2, Err(0), 2},
               {1819, 5, Err(0), 5},
               {1819, 16, Err(4307, 3), 5},
               {1813, Q_DISABLE, Err(0), Q_DISABLE},
               {2077, 5000, Err(0), 5000},
               {2077, 20000, Err(0), 20000}});
  ExpectSettingsKeptApart(thread);
  // Nothing is grabbing: the kernel wait ends at once, with a time-out given.
  EXPECT_EQ(Wait(thread, kWaitThread | 100), Q_WAIT_ENDED);
  EXPECT_EQ(Inquire(thread, 2077), 20000);
  EXPECT_EQ(LastError(), Err(0));
  QthrFree(thread);
  EXPECT_EQ(LastError(), Err(0));
}

TEST_F(ThreadEventTest, ObjectsOfTheWrongTypeAreRefused) {
  const QID event = Event();
  QthrControl(event, 1804, 1);
  EXPECT_EQ(LastError(), Err(4307, 2));
  Wait(event, kWaitThread);
  EXPECT_EQ(LastError(), Err(4300, 3));
  QthrInquire(event, 1804, nullptr);
  EXPECT_EQ(LastError(), Err(4310, 1));
  QthrFree(event);
}

TEST_F(ThreadEventTest, RefusedKernelObjectMakesNoThreadObject) {
  SimBoard().ArmFault(kernel::kKernelObjectAlloc,
                      boardsim::Fault{boardsim::FaultKind::kErrorTriple, 4302, 2});
  QID thread = 0;
  QthrAlloc(system_, kThreadObject, Q_DEFAULT, &thread);
  EXPECT_EQ(thread, 0);
  EXPECT_EQ(LastError(), Err(4302, 2));
}

// The free releases the objects the application kept, one of them waited on by another thread.
TEST_F(ThreadEventTest, FreeingTheSystemWhileAnotherThreadWaitsOnIt) {
  const QID event = Event();
  QID thread = 0;
  QthrAlloc(system_, kThreadObject, Q_DEFAULT, &thread);
  std::thread waiter([event] {
    QINT64 result = 0;
    QthrWait(event, kWaitEvent | 300, &result);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // The waiting thread's context stays until the system is gone.
  QsysFree(system_);
  EXPECT_EQ(LastError(), Err(0));
  waiter.join();
  system_ = Alloc();
  EXPECT_NE(system_, 0);
}

}  // namespace
}  // namespace zor::board
