// Grab processing through libZOR.so as an application runs it.
#include <array>
#include <barrier>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "platform/host/hostservices.h"
#include "tests/driver/board/process/processfixture.h"
#include "tests/support/errorreports.h"

namespace zor::board {
namespace {

constexpr QINT64 kFrameCount = 5335;
constexpr QINT64 kFramesMissed = 5334;
constexpr QINT64 kSoftwareTrigger = 1;
constexpr QINT64 kFramesGrabbed = 6925;
constexpr QINT64 kPendingGrabs = 6926;
constexpr QINT64 kFrameRate = 6607;
constexpr QINT64 kGrabMonitor = 5351;
constexpr QINT64 kProcessTimeout = 5364;

using DigProcess = ProcessFixture;

// The host threads of the application: the digitizer's hook threads, and a run's watchdog.
QINT64 HostThreads() {
  QID threads[64] = {};
  return HostAppListObjects(Q_DEFAULT, 15, Q_THREAD, 64, threads);
}

// A sequence of so many frames, or by default of the buffer count; an asynchronous one ends with
// the waiting stop (which changes nothing after a synchronous one). The trigger for the first grab
// alone, with the trigger off, waits for the sequence's end as a synchronous one does.
TEST_F(DigProcess, SequenceSeesEveryFrameOnceInOrder) {
  const struct {
    size_t size;
    QINT64 operation, flag, frames;
  } runs[] = {{2, SequenceOf(23), kSynchronous, 23},  {5, SequenceOf(23), kSynchronous, 23},
              {16, SequenceOf(23), kSynchronous, 23}, {3, kSequence, Q_DEFAULT, 3},
              {2, SequenceOf(9), kAsynchronous, 9},   {2, SequenceOf(4), kTriggerForFirstGrab, 4},
              {5, SequenceOf(3), kSynchronous, 3}};
  for (const auto& run : runs) {
    SCOPED_TRACE(testing::Message() << run.size << " buffers, flag " << run.flag);
    const std::vector<QID> ring = Ring(system_, run.size);
    Recorder recorder;
    QdigProcess(digitizer_, ring.data(), static_cast<QINT64>(ring.size()), run.operation, run.flag,
                &Process, &recorder);
    QdigProcess(digitizer_, ring.data(), 2, kStop + kWait, Q_DEFAULT, &Process, &recorder);
    EXPECT_EQ(LastError(), Err(0));
    const std::vector<Seen> seen = recorder.Copy();
    ASSERT_EQ(seen.size(), static_cast<size_t>(run.frames));
    ExpectRingOrder(seen, ring);
    EXPECT_EQ(Inquire(digitizer_, kFrameCount), run.frames);
    // The board made no frame that a grab did not take, in this run as in the ones before.
    EXPECT_EQ(Inquire(digitizer_, kFramesMissed), 0);
    EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
    // A buffer queued again for a grab is marked so (5), one queued once only at the start (1),
    // one a short sequence needs not at all is left alone.
    for (size_t i = 0; i < ring.size(); ++i) {
      const auto queued = static_cast<QINT64>(i);
      const QINT64 state = queued + static_cast<QINT64>(run.size) < run.frames ? 5
                           : queued < run.frames                               ? 1
                                                                               : 0;
      EXPECT_EQ(QbufInquire(ring[i], Q_GRAB_STATE, nullptr), state) << i;
    }
  }
}

// Without the trigger on, the trigger for the first grab changes nothing: a continuous run with no
// count of its own goes on past the first round of the ring.
TEST_F(DigProcess, ContinuousUntilStoppedThenNothingMore) {
  const std::vector<QID> ring = Ring(system_, 4);
  for (const QINT64 flag : {kAsynchronous, kAsynchronous | kTriggerForFirstGrab}) {
    SCOPED_TRACE(flag);
    Recorder recorder;
    QdigProcess(digitizer_, ring.data(), 4, kContinuous, flag, &Process, &recorder);
    ASSERT_EQ(ErrorCode(), 0);
    EXPECT_EQ(Inquire(digitizer_, kInProgress), 1);
    ASSERT_TRUE(WaitForCalls(recorder, 12));
    const int64_t after = StopRun(digitizer_, ring, recorder);
    ExpectRingOrder(recorder.Copy(), ring);
    // A new run starts from the first buffer again.
    ExpectSequence(digitizer_, ring, 6);
    EXPECT_EQ(recorder.calls.load(), after);
  }
}

// Starts and stops of one digitizer's runs from several threads at once: each call returns,
// one run goes at a time, the last stop ends it, and the next run sees its frames (under
// ThreadSanitizer, no start or stop writes what another reads).
TEST_F(DigProcess, StartsAndStopsFromSeveralThreadsAtOnce) {
  const std::vector<QID> ring = Ring(system_, 3);
  Recorder recorder;
  const QINT64 operations[] = {kContinuous, kStop, kStop + kWait, SequenceOf(4)};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
      for (int i = 0; i < 15; ++i) {
        const QINT64 operation = operations[(t + i) % 4];
        const QINT64 flag = (operation & kStop) != 0 ? Q_DEFAULT : kAsynchronous;
        QdigProcess(digitizer_, ring.data(), 3, operation, flag, &Process, &recorder);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  StopRun(digitizer_, ring, recorder);
  ExpectRingPositions(recorder.Copy(), ring);
  ExpectSequence(digitizer_, ring, 6);
}

// Starts that meet: one run starts, the others are refused as starts of an active run and leave
// it alone: its frames go on to its own processing function (a frame that comes while a start is
// being refused may reach the refused function), each with its buffer's event.
TEST_F(DigProcess, OfStartsThatMeetOneRunsAndTheOthersAreRefused) {
  const std::vector<QID> ring = Ring(system_, 3);
  constexpr int kStarters = 4;
  std::barrier meet(kStarters);
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    std::array<Recorder, kStarters> recorders;
    std::atomic<int> started{-1};
    std::atomic<int> refused{0};
    std::vector<std::thread> starters;
    for (int t = 0; t < kStarters; ++t) {
      starters.emplace_back([&, t] {
        QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
        meet.arrive_and_wait();
        QdigProcess(digitizer_, ring.data(), 3, kContinuous, kAsynchronous, &Process,
                    &recorders[static_cast<size_t>(t)]);
        const QINT64 error = ErrorCode();
        if (error == 0) started = t;
        if (error == 4314 && SubCode(1) == 4) ++refused;
      });
    }
    for (std::thread& starter : starters) starter.join();
    ASSERT_GE(started.load(), 0);
    EXPECT_EQ(refused.load(), kStarters - 1);
    Recorder& running = recorders[static_cast<size_t>(started.load())];
    // Frames delivered while the starts were refused are through once the next ones come.
    EXPECT_TRUE(WaitForCalls(running, running.calls.load() + 2));
    std::array<int64_t, kStarters> callsWhenRefused{};
    for (size_t t = 0; t < recorders.size(); ++t) callsWhenRefused[t] = recorders[t].calls.load();
    EXPECT_TRUE(WaitForCalls(running, running.calls.load() + 6));
    StopRun(digitizer_, ring, running);
    for (size_t t = 0; t < recorders.size(); ++t) {
      if (&recorders[t] != &running) {
        EXPECT_EQ(recorders[t].calls.load(), callsWhenRefused[t]);
      }
    }
    ExpectRingPositions(running.Copy(), ring);
  }
}

// A waiting stop after the board dropped the run's grabs, by each road, with the grab monitor on
// and off, of a synchronous and an asynchronous run: it returns, and the next run works. A wait
// that nothing else ends returns at the process time-out.
TEST_F(DigProcess, AWaitingStopReturnsWhateverBecameOfTheGrabs) {
  struct Road {
    const char* name;
    std::function<void()> before;  // the run's start
    std::function<void()> during;
    QINT64 synchronousError;  // of the synchronous starter
  };
  const auto none = [] {};
  const Road roads[] = {
      {"abort by call", none, [&] { QdigGrabAbort(digitizer_); }, 0},
      {"abort by feature", none,
       [&] {
         QdigControlFeature(digitizer_, Q_FEATURE_EXECUTE, L"QdigControl:Q_GRAB_ABORT", Q_DEFAULT,
                            nullptr);
       },
       0},
      {"halt", none, [&] { QdigHalt(digitizer_); }, 0},
      {"stalled continuation, process time-out",
       [&] {
         QdigControl(digitizer_, kProcessTimeout, 300);
         SimBoard().ArmFault(kernel::kDigContinueGrab,
                             boardsim::Fault{.kind = boardsim::FaultKind::kStall});
       },
       none, 4318},
  };
  const std::vector<QID> ring = Ring(system_, 4);
  for (const Road& road : roads) {
    for (const QINT64 monitor : {Q_ENABLE, Q_DISABLE}) {
      for (const QINT64 flag : {kSynchronous, kAsynchronous}) {
        SCOPED_TRACE(std::string(road.name) + (monitor == Q_ENABLE ? ", monitor" : "") +
                     (flag == kSynchronous ? ", synchronous" : ", asynchronous"));
        QdigControl(digitizer_, kGrabMonitor, monitor);
        road.before();
        Recorder recorder;
        std::promise<QINT64> started;
        std::future<QINT64> start = started.get_future();
        std::thread starter([&] {
          QdigProcess(digitizer_, ring.data(), 4, kContinuous, flag, &Process, &recorder);
          started.set_value(ErrorCode());
        });
        WaitForCalls(recorder, 1);
        road.during();
        // A synchronous run that fails returns by itself.
        if (flag == kSynchronous && road.synchronousError != 0) start.wait();
        EXPECT_EQ(StopWaiting(digitizer_, ring, recorder), 0);
        starter.join();
        EXPECT_EQ(start.get(), flag == kSynchronous ? road.synchronousError : 0);
        EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
        QdigControl(digitizer_, kProcessTimeout, Q_DEFAULT);
        SimBoard().ClearFaults();
        // Its own frames only: none the run before left on the board.
        ExpectSequence(digitizer_, ring, 6);
      }
    }
  }
}

TEST_F(DigProcess, RefusedRequests) {
  const std::vector<QID> ring = Ring(system_, 2);
  Recorder recorder;
  const QINT64 refused[][3] = {{6, kSynchronous, 1},
                               {10, kSynchronous, 1},
                               {kContinuous, 3, 2},
                               {kContinuous | 0x40, kAsynchronous, 1}};
  for (const auto& [operation, flag, subCode] : refused) {
    QdigProcess(digitizer_, ring.data(), 2, operation, flag, &Process, &recorder);
    EXPECT_EQ(LastError(), Err(4315, subCode)) << operation;
  }
  // Not even the run's kernel object is made.
  EXPECT_EQ(SimBoard().KernelObjects(254), 0U);
  // A stop with nothing running does nothing.
  QdigProcess(digitizer_, ring.data(), 2, kStop, Q_DEFAULT, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
  QdigProcess(digitizer_, ring.data(), 2, kContinuous, kAsynchronous, &Process, &recorder);
  QdigProcess(digitizer_, ring.data(), 2, kContinuous, kAsynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(4314, 4));
  // The first run goes on.
  const int64_t before = recorder.calls.load();
  EXPECT_TRUE(WaitForCalls(recorder, before + 4));
  QdigProcess(digitizer_, ring.data(), 2, kStop + kWait, Q_DEFAULT, &Process, &recorder);
  EXPECT_EQ(recorder.calls.load(), Settled(recorder));
}

// The kernel's settings word 0x0C is the most buffers one run takes.
TEST_F(DigProcess, TheKernelLimitsTheProcessBuffers) {
  SimBoard(1).SetAllocationSetting(0x0C, 2);
  const QID system = Alloc(1);
  SimBoard(1).SetAllocationSetting(0x0C, 1000);
  ASSERT_NE(system, 0);
  QID digitizer = 0;
  QdigAlloc(system, 0, L"Q_NTSC", Q_DEFAULT, &digitizer);
  ASSERT_NE(digitizer, 0);
  Recorder recorder;
  const std::vector<QID> three = Ring(system, 3);
  QdigProcess(digitizer, three.data(), 3, SequenceOf(4), kSynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(4349, 1));
  EXPECT_EQ(recorder.calls.load(), 0);
  QdigProcess(digitizer, three.data(), 2, SequenceOf(4), kSynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(recorder.calls.load(), 4);
  QdigFree(digitizer);
  for (QID buffer : three) QbufFree(buffer);
  buffers_.clear();
  QsysFree(system);
}

// What the board counts of a run: grabs pending in the kernel while it runs, frames grabbed and
// the rate it measured after, over the run's own frames and time, in a second run as in the first.
TEST_F(DigProcess, TheBoardsCountsOfARun) {
  constexpr double kCameraRate = 1e6 / 2000;  // the fixture's frame time
  const std::vector<QID> ring = Ring(system_, 3);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Recorder recorder;
    const auto started = std::chrono::steady_clock::now();
    QdigProcess(digitizer_, ring.data(), 3, kContinuous, kAsynchronous, &Process, &recorder);
    ASSERT_TRUE(WaitForCalls(recorder, 2));
    // Between a frame's end and its buffer's requeue none may be pending: a loaded machine can
    // meet that moment, so the count is asked until it shows the queue.
    int64_t pending = 0;
    for (int i = 0; i < 200 && pending == 0; ++i) {
      pending = Inquire(digitizer_, kPendingGrabs);
      if (pending == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(pending, 1);
    QdigProcess(digitizer_, ring.data(), 3, kStop + kWait, Q_DEFAULT, &Process, &recorder);
    const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(Inquire(digitizer_, kPendingGrabs), 0);
    const int64_t grabbed = Inquire(digitizer_, kFramesGrabbed);
    EXPECT_GE(grabbed, recorder.calls.load());
    const double rate = InquireDouble(digitizer_, kFrameRate);
    ASSERT_GT(rate, 0.0);
    // Frames come no faster than the camera gives them, and the seconds they were counted over
    // lie inside this run (a frame's start may precede the request by a period).
    EXPECT_LE(rate, kCameraRate * 1.001);
    EXPECT_LE(static_cast<double>(grabbed) / rate, ran.count() + 2 / kCameraRate);
    EXPECT_EQ(LastError(), Err(0));
  }
}

// A start that is refused, or that fails below with an exception once its grabs are queued,
// leaves no run behind: the next run starts.
TEST_F(DigProcess, AnEmptyBufferListIsRefused) {
  Recorder recorder;
  QdigProcess(digitizer_, nullptr, 0, kContinuous, kAsynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(4314, 3));
  EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
  const std::vector<QID> ring = Ring(system_, 2);
  const QINT64 threads = HostThreads();
  SimBoard().ArmFault(kernel::kDigProcessRequest,
                      boardsim::Fault{.kind = boardsim::FaultKind::kThrow,
                                      .exception = std::make_exception_ptr(
                                          std::runtime_error("the board went away"))});
  QdigProcess(digitizer_, ring.data(), 2, kContinuous, kAsynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(4336, 5, 6));
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), L"std::runtime_error: the board went away");
  EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
  EXPECT_EQ(Inquire(digitizer_, kPendingGrabs), 0);
  EXPECT_EQ(HostThreads(), threads) << "no watchdog left";
  EXPECT_EQ(recorder.calls.load(), 0);
  // Nothing was left pending: a real run starts.
  ExpectSequence(digitizer_, ring, 3);
}

// The settings the device layer keeps answer through the board, which leaves
// them to it.
TEST_F(DigProcess, ProcessSettingsOfTheDeviceLayer) {
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire,
              {{5364, 0, Err(4307, 3), -1},
               {5364, Q_DEFAULT, Err(0), -1},
               {5364, 2500, Err(0), 2500},
               {5351, -9999, Err(0), -9999}});
  EXPECT_EQ(Inquire(digitizer_, 0x451A32), 0);
  Inquire(digitizer_, 0x4503ED);
  EXPECT_EQ(LastError(), Err(4310, 1));
}

// A stop from inside the processing function ends an unbounded run; a synchronous one's wait
// ends only by it.
TEST_F(DigProcess, StopFromInsideTheProcessingFunction) {
  const struct {
    size_t size;
    int64_t stopAt;
    QINT64 flag;
  } runs[] = {{4, 5, kAsynchronous}, {3, 4, kSynchronous}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.flag);
    const std::vector<QID> ring = Ring(system_, run.size);
    Recorder recorder;
    recorder.onCall = [&](int64_t calls) {
      if (calls == run.stopAt) {
        QdigProcess(digitizer_, nullptr, 0, kStop, Q_DEFAULT, nullptr, nullptr);
      }
    };
    QdigProcess(digitizer_, ring.data(), static_cast<QINT64>(run.size), kContinuous, run.flag,
                &Process, &recorder);
    EXPECT_EQ(LastError(), Err(0));
    ASSERT_TRUE(WaitForCalls(recorder, run.stopAt));
    const int64_t calls = Settled(recorder);
    EXPECT_GE(calls, run.stopAt);
    EXPECT_LE(calls, run.stopAt + static_cast<int64_t>(run.size));
    EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
  }
}

// A processing function that throws fails its run, not the application, in every way a run is
// started: the run ends (a synchronous starter returns with the failure as its error, anyone
// else hears of it as a hook error), it leaves no grab on the board and no watchdog behind,
// and the next run works.
TEST_F(DigProcess, AProcessingFunctionThatThrowsEndsItsRun) {
  struct Start {
    const char* name;
    QINT64 operation;
    QINT64 flag;
  };
  // The last frame of a sequence fails: nothing else would end the run.
  const Start starts[] = {{"synchronous sequence of three", SequenceOf(3), kSynchronous},
                          {"synchronous sequence", SequenceOf(20), kSynchronous},
                          {"asynchronous sequence", SequenceOf(20), kAsynchronous},
                          {"continuous", kContinuous, kAsynchronous},
                          {"synchronous continuous", kContinuous, kSynchronous}};
  const std::vector<QID> ring = Ring(system_, 3);
  zortest::ErrorReports errors;
  const QINT64 threads = HostThreads();
  for (const Start& start : starts) {
    SCOPED_TRACE(start.name);
    Recorder recorder;
    recorder.onCall = [](int64_t calls) {
      if (calls == 3) throw std::runtime_error("no room for the frame");
    };
    QdigProcess(digitizer_, ring.data(), 3, start.operation, start.flag, &Process, &recorder);
    if (start.flag == kSynchronous) {
      EXPECT_EQ(LastError(), Err(4354, 5, 6));
      EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"The hook function threw an exception.");
      EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), L"std::runtime_error: no room for the frame");
    } else {
      EXPECT_EQ(LastError(), Err(0));
      for (int i = 0; i < 2000 && Inquire(digitizer_, kInProgress) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
    EXPECT_EQ(Settled(recorder), 3) << "no frame after the failure";
    EXPECT_EQ(Inquire(digitizer_, kPendingGrabs), 0);
    EXPECT_EQ(HostThreads(), threads);
    // One failure, told once: by the starter's command, or else from the hook thread.
    const wchar_t* teller = start.flag == kSynchronous ? L"QdigProcess" : L"Hook function:";
    EXPECT_EQ(errors.Take(),
              (std::vector<std::wstring>{L"4354 " + std::wstring(teller) +
                                         L" std::runtime_error: no room for the frame"}));
    // The ended run needs no stop; one changes nothing, and the next run works.
    QdigProcess(digitizer_, ring.data(), 3, kStop + kWait, Q_DEFAULT, &Process, &recorder);
    EXPECT_EQ(LastError(), Err(0));
    ExpectSequence(digitizer_, ring, 5);
    EXPECT_TRUE(errors.Empty());
  }
}

// Every channel of the board processed at once, each run waited for on a thread of its own, as
// a synchronous run or an asynchronous one and the waiting stop: each sees all its frames, in
// order, in its own ring, whichever channel's frames are being written when its hook thread asks
// for the next event.
TEST_F(DigProcess, EveryChannelAtOnceEachOnItsThread) {
  constexpr QINT64 kChannels = 4;
  constexpr QINT64 kFrames = 16;
  std::vector<QID> digitizers = {digitizer_};
  for (QINT64 channel = 1; channel < kChannels; ++channel) {
    digitizers.push_back(Digitizer(L"Q_NTSC", channel));
    ASSERT_NE(digitizers.back(), 0);
  }
  std::vector<std::vector<QID>> rings;
  for (QINT64 channel = 0; channel < kChannels; ++channel) rings.push_back(Ring(system_, 3));
  std::vector<Recorder> recorders(kChannels);
  std::vector<std::thread> runs;
  for (size_t i = 0; i < digitizers.size(); ++i) {
    runs.emplace_back([&, i] {
      const QINT64 flag = i % 2 == 0 ? kSynchronous : kAsynchronous;
      QdigProcess(digitizers[i], rings[i].data(), 3, SequenceOf(kFrames), flag, &Process,
                  &recorders[i]);
      QdigProcess(digitizers[i], rings[i].data(), 3, kStop + kWait, Q_DEFAULT, &Process,
                  &recorders[i]);
    });
  }
  for (std::thread& run : runs) run.join();
  for (size_t i = 0; i < digitizers.size(); ++i) {
    SCOPED_TRACE(i);
    const std::vector<Seen> seen = recorders[i].Copy();
    EXPECT_EQ(seen.size(), static_cast<size_t>(kFrames));
    ExpectRingOrder(seen, rings[i]);
  }
  for (size_t i = 1; i < digitizers.size(); ++i) QdigFree(digitizers[i]);
}

TEST_F(DigProcess, FreeingTheDigitizerWhileProcessing) {
  const std::vector<QID> ring = Ring(system_, 4);
  Recorder recorder;
  QdigProcess(digitizer_, ring.data(), 4, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_TRUE(WaitForCalls(recorder, 3));
  QdigFree(digitizer_);
  digitizer_ = 0;
  EXPECT_EQ(LastError(), Err(0));
  const int64_t calls = Settled(recorder);
  // The board is free for a new digitizer's run.
  digitizer_ = Digitizer(L"Q_NTSC");
  ExpectSequence(digitizer_, ring, 5);
  EXPECT_EQ(recorder.calls.load(), calls);
}

// A continuous grab on another channel ends too before its buffer goes with the system.
TEST_F(DigProcess, FreeingTheSystemWhileProcessing) {
  const std::vector<QID> ring = Ring(system_, 5);
  Recorder recorder;
  QdigGrabContinuous(Digitizer(L"Q_NTSC", 1), ring[4]);
  QdigProcess(digitizer_, ring.data(), 4, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_TRUE(WaitForCalls(recorder, 3));
  QsysFree(system_);
  system_ = 0;
  digitizer_ = 0;
  buffers_.clear();
  EXPECT_EQ(LastError(), Err(0));
  const int64_t calls = Settled(recorder);
  EXPECT_GE(calls, 3);
}

TEST_F(DigProcess, WithTheTriggerOnEachTriggerGivesOneFrame) {
  const std::vector<QID> ring = Ring(system_, 3);
  QdigControl(digitizer_, kTriggerState, kEnabled);
  Recorder recorder;
  QdigProcess(digitizer_, ring.data(), 3, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_EQ(ErrorCode(), 0);
  // Frames go by; without a trigger none is grabbed.
  LetFramesGo(5);
  EXPECT_EQ(recorder.calls.load(), 0);
  // Every buffer of the ring is marked as queued for a grab.
  for (QID buffer : ring) EXPECT_EQ(QbufInquire(buffer, Q_GRAB_STATE, nullptr), 1);
  QdigControl(digitizer_, kTriggerState, kSoftwareTrigger);
  SimBoard().RaiseTrigger(0);
  ASSERT_TRUE(WaitForCalls(recorder, 2));
  SimBoard().RaiseTrigger(0);
  ASSERT_TRUE(WaitForCalls(recorder, 3));
  LetFramesGo(5);
  EXPECT_EQ(recorder.calls.load(), 3);
  ExpectRingOrder(recorder.Copy(), ring);
  QdigProcess(digitizer_, ring.data(), 3, kStop, Q_DEFAULT, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
}

// What one run's processing function saw: the event each buffer came with.
struct EventsSeen {
  std::mutex lock;
  std::map<QID, std::set<QID>> ofBuffer;
};

QINT64 RecordEvent(QINT64, QID event, void* user) {
  auto* seen = static_cast<EventsSeen*>(user);
  QID buffer = 0;
  QbufGetHookInfo(event, Q_OBJECT_ID, &buffer);
  std::lock_guard guard(seen->lock);
  seen->ofBuffer[buffer].insert(event);
  return 0;
}

// A run gives each buffer one event for all its frames, which goes with the
// digitizer; two digitizers that take turns with one ring each get their own
// run's frames.
TEST_F(DigProcess, OneEventPerBufferForARunAndRunsTakeTurnsWithARing) {
  const std::vector<QID> ring = Ring(system_, 3);
  const QID other = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(other, 0);
  EventsSeen first, second, third;
  QdigProcess(digitizer_, ring.data(), 3, SequenceOf(9), kSynchronous, &RecordEvent, &first);
  QdigProcess(other, ring.data(), 3, SequenceOf(6), kSynchronous, &RecordEvent, &second);
  QdigProcess(digitizer_, ring.data(), 3, SequenceOf(3), kSynchronous, &RecordEvent, &third);
  EXPECT_EQ(LastError(), Err(0));
  for (EventsSeen* run : {&first, &second, &third}) {
    ASSERT_EQ(run->ofBuffer.size(), 3u);
    for (QID buffer : ring) EXPECT_EQ(run->ofBuffer[buffer].size(), 1u);
  }
  const QID secondEvent = *second.ofBuffer[ring[0]].begin();
  EXPECT_NE(secondEvent, *first.ofBuffer[ring[0]].begin());
  EXPECT_NE(secondEvent, *third.ofBuffer[ring[0]].begin());
  QID buffer = 0;
  QbufGetHookInfo(secondEvent, Q_OBJECT_ID, &buffer);
  EXPECT_EQ(buffer, ring[0]);
  QdigFree(other);
  QbufGetHookInfo(secondEvent, Q_OBJECT_ID, &buffer);
  EXPECT_EQ(LastError(), Err(1001)) << "the event went with its digitizer";
}

}  // namespace
}  // namespace zor::board
