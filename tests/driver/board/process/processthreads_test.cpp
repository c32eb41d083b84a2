// Grab processing with one or several hook threads delivering the frames,
// and trigger-driven processing that toggles the trigger.
#include <chrono>
#include <thread>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "tests/driver/board/process/processfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kHookThreads = 2447;
constexpr QINT64 kSeveralThreads = 0x1000;
constexpr QINT64 kBeyondProcessors = 0x4000;

class ProcessThreads : public ProcessFixture {
 protected:
  // Every continuation of the kind fails on the board.
  static void RefuseEvery(uint32_t function) {
    SimBoard().ArmFault(function, boardsim::Fault{.code = 4302, .subCode = 1, .count = -1});
  }
  // Several hook threads deliver the digitizer's events: the setting only
  // changes while no digitizer is allocated.
  void UseHookThreads(QINT64 count) {
    const QINT64 setting = kSeveralThreads | kBeyondProcessors | count;
    QINT64 before = 0;
    QsysInquire(system_, kHookThreads, &before);
    QsysControl(system_, kHookThreads, setting);
    EXPECT_EQ(LastError(), Err(4301, 2));
    QINT64 mode = 0;
    QsysInquire(system_, kHookThreads, &mode);
    EXPECT_EQ(mode, before);
    QdigFree(digitizer_);
    QsysControl(system_, kHookThreads, setting);
    ASSERT_EQ(ErrorCode(), 0);
    QsysInquire(system_, kHookThreads, &mode);
    EXPECT_EQ(mode, 4096 + count);
    digitizer_ = Digitizer(L"Q_NTSC");
    ASSERT_NE(digitizer_, 0);
  }
};

TEST_F(ProcessThreads, OneHookThreadContinuesTheSameGrab) {
  RefuseEvery(kernel::kDigContinueGrabPrepared);
  ExpectSequence(digitizer_, Ring(system_, 3), 12, false);
}

TEST_F(ProcessThreads, SeveralHookThreadsFillTheRingInOrder) {
  UseHookThreads(3);
  // Only the prepared continuation serves several threads.
  RefuseEvery(kernel::kDigContinueGrab);
  for (size_t size : {2u, 4u}) {
    SCOPED_TRACE(size);
    const std::vector<QID> ring = Ring(system_, size);
    Recorder recorder;
    // A slow frame now and then: the threads finish their buffers out of order.
    recorder.onCall = [](int64_t calls) {
      if (calls % 5 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(15));
    };
    QdigProcess(digitizer_, ring.data(), static_cast<QINT64>(size), SequenceOf(25), kSynchronous,
                &Process, &recorder);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_EQ(recorder.calls.load(), 25);
    EXPECT_EQ(Settled(recorder), 25);
    ExpectFilledInRingOrder(recorder.Copy(), ring);
  }
}

TEST_F(ProcessThreads, SeveralHookThreadsStopAndStartAgain) {
  UseHookThreads(2);
  const std::vector<QID> ring = Ring(system_, 3);
  Recorder recorder;
  QdigProcess(digitizer_, ring.data(), 3, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_EQ(ErrorCode(), 0);
  ASSERT_TRUE(WaitForCalls(recorder, 20));
  const int64_t calls = StopRun(digitizer_, ring, recorder);
  ExpectFilledInRingOrder(recorder.Copy(), ring);
  // The board got every grab record back: a new run has all the ring.
  ExpectSequence(digitizer_, ring, 9, false);
  EXPECT_EQ(recorder.calls.load(), calls);
}

// A continuation on its way to the board while a stop halts the run: the board takes it just
// after the halt, and the stop must halt that grab too rather than wait out the board's idle
// time-out (20 s) for a grab nobody runs.
TEST_F(ProcessThreads, AContinuationThatComesAfterTheHaltIsHaltedToo) {
  SimBoard().ArmFault(kernel::kDigContinueGrab, boardsim::Fault{boardsim::FaultKind::kCrossesHalt});
  const std::vector<QID> ring = Ring(system_, 2);
  Recorder recorder;
  QdigProcess(digitizer_, ring.data(), 2, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_EQ(ErrorCode(), 0);
  for (int i = 0; i < 2000 && SimBoard().HeldForHalt() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(SimBoard().HeldForHalt(), 1u);
  const auto start = std::chrono::steady_clock::now();
  QdigProcess(digitizer_, ring.data(), 2, kStop, Q_DEFAULT, &Process, &recorder);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(LastError(), Err(0));
  SimBoard().ClearFaults();
  ExpectSequence(digitizer_, ring, 4);
}

class TriggerToggling : public ProcessThreads,
                        public ::testing::WithParamInterface<QINT64 /*hook threads*/> {};

// Each trigger lets one period of frames through: the first grab of the
// period waits for it, the others follow freely.
TEST_P(TriggerToggling, EachTriggerGivesOnePeriodOfFrames) {
  if (GetParam() > 1) UseHookThreads(GetParam());
  constexpr QINT64 kPeriod = 3;
  const std::vector<QID> ring = Ring(system_, 3);
  QdigControl(digitizer_, kTriggerState, kEnabled);
  Recorder recorder;
  // The last frame of a period is processed slowly, over several frames of the board: the next
  // period's first grab, already queued, must still wait for its trigger.
  recorder.onCall = [](int64_t calls) {
    if (calls % kPeriod == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  };
  QdigProcess(digitizer_, ring.data(), 3, kContinuous + (kPeriod << 5),
              kAsynchronous | kTriggerForFirstGrab, &Process, &recorder);
  ASSERT_EQ(ErrorCode(), 0);
  LetFramesGo(5);
  EXPECT_EQ(recorder.calls.load(), 0);
  for (int trigger = 1; trigger <= 2; ++trigger) {
    SCOPED_TRACE(trigger);
    SimBoard().RaiseTrigger(0);
    ASSERT_TRUE(WaitForCalls(recorder, trigger * kPeriod));
    // Once the period is through the trigger is back on and the frames wait.
    const int64_t calls = Settled(recorder);
    EXPECT_EQ(calls, trigger * kPeriod);
    LetFramesGo(5);
    EXPECT_EQ(recorder.calls.load(), calls);
  }
  ExpectFilledInRingOrder(recorder.Copy(), ring);
  QdigProcess(digitizer_, ring.data(), 3, kStop, Q_DEFAULT, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(Inquire(digitizer_, kTriggerState), kEnabled);
}

INSTANTIATE_TEST_SUITE_P(HookThreads, TriggerToggling, ::testing::Values(1, 3));

}  // namespace
}  // namespace zor::board
