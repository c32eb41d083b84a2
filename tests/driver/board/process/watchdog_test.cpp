// The grab monitor of grab processing: a stalled grab is reported, the run
// restarts by itself and goes on.
#include <atomic>
#include <thread>

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
// Host threads owned by the default host system and by the driver's owner
// while the stall is reported, from the report thread itself.
std::atomic<int> defaultHostThreads{0};
std::atomic<int> driverThreads{0};

void CountThreadOwners() {
  QID threads[64] = {};
  const QINT64 count = HostAppListObjects(Q_DEFAULT, kListObjects, Q_THREAD, 64, threads);
  for (QINT64 i = 0; i < count && i < 64; ++i) {
    const QINT64 owner = HostObjInquire(threads[i], Q_OWNER_SYSTEM, nullptr);
    if (owner == Q_DEFAULT_HOST) ++defaultHostThreads;
    if (owner == kDriverThreadOwner) ++driverThreads;
  }
}

QINT64 OnError(QINT64 /*type*/, QID /*event*/, void* /*user*/) {
  if (QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) == kNoGrabActivity) {
    if (stallReports.load() == 0) CountThreadOwners();
    ++stallReports;
  }
  return 0;
}

class Watchdog : public ProcessFixture {
 protected:
  void SetUp() override {
    ProcessFixture::SetUp();
    stallReports = 0;
    defaultHostThreads = 0;
    driverThreads = 0;
    QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &OnError, nullptr);
    // A short halt wait: the system's time-out, in seconds.
    QsysControl(system_, 2077, 1);
    QdigControl(digitizer_, kGrabTimeout, 100);
  }
  void TearDown() override {
    QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT | 0x4000000, &OnError, nullptr);
    SimBoard().ClearFaults();
    ProcessFixture::TearDown();
  }
  static void StallNextContinuation() {
    boardsim::Fault stall;
    stall.kind = boardsim::FaultKind::kStall;
    SimBoard().ArmFault(zor::kernel::kDigContinueGrab, stall);
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
  // The watchdog and the report thread are the driver's threads, as its hook threads are.
  EXPECT_EQ(defaultHostThreads.load(), 0);
  EXPECT_GE(driverThreads.load(), 2);
  // Restarted with no count: it runs until stopped.
  ASSERT_TRUE(WaitForCalls(recorder, 20));
  QdigProcess(digitizer_, ring.data(), 4, kStop + kWait, Q_DEFAULT, &Process, &recorder);
  EXPECT_EQ(ErrorCode(), 0);
  const std::vector<Seen> seen = recorder.Copy();
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i].frame, seen[i - 1].frame);
}

TEST_F(Watchdog, AStalledSequenceStillDeliversItsCount) {
  const std::vector<QID> ring = Ring(system_, 3);
  Recorder recorder;
  StallNextContinuation();
  QdigProcess(digitizer_, ring.data(), 3, kSequence + (12 << 5), kSynchronous, &Process, &recorder);
  EXPECT_EQ(ErrorCode(), 0);
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
  EXPECT_EQ(ErrorCode(), 0);
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
