// The grab monitor of grab processing: a stalled grab is reported, the run
// restarts by itself and goes on.
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "platform/host/hostservices.h"
#include "tests/driver/board/process/processfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kGrabMonitor = 5351;
constexpr QINT64 kNoGrabActivity = 4348;

constexpr QID kDriverThreadOwner = 0x7F000003;
constexpr QINT64 kListObjects = 15;

std::atomic<int> stallReports{0};
// The first stall report's texts, from the report thread itself.
std::vector<std::wstring> stallTexts;
// Every other report: code, function and description.
std::mutex otherLock;
std::vector<std::wstring> otherReports;
// Host threads owned by the default host system and by the driver's owner
// while the stall is reported, from the report thread itself.
std::atomic<int> defaultHostThreads{0};
std::atomic<int> driverThreads{0};

// The host threads of the application that the owner owns.
int ThreadsOwnedBy(QINT64 owner) {
  QID threads[64] = {};
  const QINT64 count = HostAppListObjects(Q_DEFAULT, kListObjects, Q_THREAD, 64, threads);
  int owned = 0;
  for (QINT64 i = 0; i < count && i < 64; ++i) {
    if (HostObjInquire(threads[i], Q_OWNER_SYSTEM, nullptr) == owner) ++owned;
  }
  return owned;
}

QINT64 OnError(QINT64 /*type*/, QID /*event*/, void* /*user*/) {
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  if (code == kNoGrabActivity) {
    if (stallReports.load() == 0) {
      defaultHostThreads = ThreadsOwnedBy(Q_DEFAULT_HOST);
      driverThreads = ThreadsOwnedBy(kDriverThreadOwner);
      for (const QINT64 sub : {Q_CURRENT_SUB_1_TEXT, Q_CURRENT_SUB_2_TEXT, Q_CURRENT_SUB_3_TEXT}) {
        wchar_t text[Q_ERROR_TEXT_SIZE] = {};
        QappGetError(Q_DEFAULT, sub, text);
        stallTexts.emplace_back(text);
      }
    }
    ++stallReports;
    return 0;
  }
  wchar_t function[Q_ERROR_TEXT_SIZE] = {};
  wchar_t description[Q_ERROR_TEXT_SIZE] = {};
  QappGetError(Q_DEFAULT, Q_CURRENT_FCT, function);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_2_TEXT, description);
  std::lock_guard guard(otherLock);
  otherReports.push_back(std::to_wstring(code) + L" " + function + L" " + description);
  return 0;
}

std::vector<std::wstring> OtherReports() {
  std::lock_guard guard(otherLock);
  return otherReports;
}

class Watchdog : public ProcessFixture {
 protected:
  void SetUp() override {
    ProcessFixture::SetUp();
    stallReports = 0;
    defaultHostThreads = 0;
    driverThreads = 0;
    stallTexts.clear();
    {
      std::lock_guard guard(otherLock);
      otherReports.clear();
    }
    QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &OnError, nullptr);
    // A short halt wait: the system's time-out, in seconds.
    QsysControl(system_, 2077, 1);
    // A stall is a second without a frame: a loaded machine's pause must not count as one.
    QdigControl(digitizer_, kGrabTimeout, 1000);
  }
  void TearDown() override {
    QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT | 0x4000000, &OnError, nullptr);
    ProcessFixture::TearDown();
  }
  static void StallNextContinuation() {
    SimBoard().ArmFault(zor::kernel::kDigContinueGrab,
                        boardsim::Fault{.kind = boardsim::FaultKind::kStall});
  }
};

TEST_F(Watchdog, AStalledContinuousRunIsReportedAndRestarts) {
  const std::vector<QID> ring = Ring(system_, 4);
  Recorder recorder;
  StallNextContinuation();
  QdigProcess(digitizer_, ring.data(), 4, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_EQ(ErrorCode(), 0);
  // The first continuation stalls: the buffers already queued still come.
  ASSERT_TRUE(WaitForCalls(recorder, 4));
  for (int i = 0; i < 400 && stallReports.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(stallReports.load(), 1);
  // The report names the stalled digitizer.
  EXPECT_EQ(stallTexts,
            (std::vector<std::wstring>{
                L"No grab activity was detected on the digitizer. " + std::to_wstring(digitizer_),
                L"(Error detected on DravionLyn system)", L""}));
  // The watchdog and the report thread are the driver's threads, as its hook threads are.
  EXPECT_EQ(defaultHostThreads.load(), 0);
  EXPECT_GE(driverThreads.load(), 2);
  // Restarted with no count: it runs until stopped.
  ASSERT_TRUE(WaitForCalls(recorder, 20));
  const std::vector<Seen> seen = recorder.Copy();
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i].frame, seen[i - 1].frame);
  // It stalls again, and a stop waits for the stalled grab; the board refuses the restarts'
  // grabs, so no grab is left to end the run: the stop returns all the same.
  SimBoard().ArmFault(zor::kernel::kDigProcessStart,
                      boardsim::Fault{.code = 4311, .subCode = 4, .count = -1});
  StallNextContinuation();
  Settled(recorder);
  EXPECT_EQ(StopWaiting(digitizer_, ring, recorder), 0);
  // Each refused restart is reported under the monitor's name.
  const std::vector<std::wstring> refused = OtherReports();
  EXPECT_FALSE(refused.empty());
  for (const std::wstring& report : refused) {
    EXPECT_EQ(report, L"4311 QdigProcess()Grab Monitor thread: ");
  }
  EXPECT_EQ(Inquire(digitizer_, kInProgress), 0);
}

// The watchdog's round fails while it aborts the stalled grab: the failure is reported under the
// monitor's name, the next round handles the stall as the first would have, and the run goes
// on; its stop leaves none of the monitor's threads.
TEST_F(Watchdog, ARoundThatThrowsIsReportedAndTheNextRoundRestarts) {
  const std::vector<QID> ring = Ring(system_, 4);
  const QINT64 threads = ThreadsOwnedBy(kDriverThreadOwner);
  Recorder recorder;
  StallNextContinuation();
  // The abort is the run's first digitizer control.
  SimBoard().ArmFault(zor::kernel::kDigControl,
                      boardsim::Fault{.kind = boardsim::FaultKind::kThrow,
                                      .exception = std::make_exception_ptr(
                                          std::runtime_error("the abort went astray"))});
  QdigProcess(digitizer_, ring.data(), 4, kContinuous, kAsynchronous, &Process, &recorder);
  ASSERT_EQ(ErrorCode(), 0);
  ASSERT_TRUE(WaitForCalls(recorder, 20)) << "restarted after the failed round";
  EXPECT_EQ(stallReports.load(), 1);
  EXPECT_EQ(OtherReports(), (std::vector<std::wstring>{
                                L"4336 QdigProcess()Grab Monitor thread: std::runtime_error: the "
                                L"abort went astray"}));
  StopRun(digitizer_, ring, recorder);
  EXPECT_EQ(ThreadsOwnedBy(kDriverThreadOwner), threads);
}

// By default the time-out follows the frame period, the trigger being off.
TEST_F(Watchdog, AStalledSequenceStillDeliversItsCount) {
  QdigControl(digitizer_, kGrabTimeout, Q_DEFAULT);
  const std::vector<QID> ring = Ring(system_, 3);
  Recorder recorder;
  StallNextContinuation();
  QdigProcess(digitizer_, ring.data(), 3, kSequence + (12 << 5), kSynchronous, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(stallReports.load(), 1);
  EXPECT_EQ(recorder.calls.load(), 12);
}

TEST_F(Watchdog, WithoutTheMonitorAStallIsNotWatched) {
  QdigControl(digitizer_, kGrabMonitor, -9999);
  const std::vector<QID> ring = Ring(system_, 2);
  Recorder recorder;
  StallNextContinuation();
  QdigProcess(digitizer_, ring.data(), 2, kContinuous, kAsynchronous, &Process, &recorder);
  // The first continuation never comes back: nothing after the first frame.
  ASSERT_TRUE(WaitForCalls(recorder, 1));
  EXPECT_EQ(Settled(recorder), 1);
  EXPECT_EQ(stallReports.load(), 0);
  // Only the stop ends it, releasing the stalled continuation.
  QdigProcess(digitizer_, ring.data(), 2, kStop, Q_DEFAULT, &Process, &recorder);
  EXPECT_EQ(LastError(), Err(0));
}

// Frames microseconds apart: the first frames of a run are done while it is
// being started, run after run. None may be lost, or the monitor would see a stall.
TEST_F(Watchdog, BackToBackFastSequencesNeverStall) {
  // A lost frame stalls a run for good; a second's time-out tells it from a loaded machine.
  QdigControl(digitizer_, kGrabTimeout, 1000);
  SimBoard().SetFrameTime(1);
  const std::vector<QID> ring = Ring(system_, 4);
  for (int run = 0; run < 100; ++run) {
    SCOPED_TRACE(run);
    Recorder recorder;
    QdigProcess(digitizer_, ring.data(), 4, kSequence + (12 << 5), kSynchronous, &Process,
                &recorder);
    ASSERT_EQ(ErrorCode(), 0);
    ASSERT_EQ(recorder.calls.load(), 12);
    ASSERT_EQ(stallReports.load(), 0);
  }
}

}  // namespace
}  // namespace zor::board
