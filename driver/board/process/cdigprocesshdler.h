// One digitizer's grab processing: the grabs of a ring of buffers queued on
// the board, continued buffer after buffer as the application's processing
// function returns, counted, ended at the requested count or when told, and
// watched by a thread that restarts a stalled grab.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "driver/foundation/error.h"
#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/os/core/handle.h"

namespace zor::frame {
class QDDriverThreadContext;
}

namespace zor::board {

class QDHwSpecSystem;
class QDHwSpecDigitizerInfo;

class CDigProcessHdler : public foundation::CLogProvider {
 public:
  static constexpr int64_t kFlagReportAtEnd = 2;
  static constexpr int64_t kFlagTriggered = 16;

  // (system, digitizer record, the run's kernel object)
  CDigProcessHdler(QDHwSpecSystem& system, QDHwSpecDigitizerInfo& digitizer, uint64_t kernelObject);
  CDigProcessHdler(const CDigProcessHdler&) = delete;
  CDigProcessHdler& operator=(const CDigProcessHdler&) = delete;
  ~CDigProcessHdler() override;

  void SetBuffers(const std::vector<frame::ProcessBufferEntry>& buffers);
  // First start (restart false) or the watchdog's restart from a position.
  foundation::CError Start(int64_t operation, int64_t flags, int64_t count, int64_t startPosition,
                           bool restart, frame::QDDriverThreadContext* ctx)
      ZOR_REQUIRES(handlerLock_);
  // Starts the kernel's processing of the queued grabs (and the watchdog).
  void IssueProcessRequest(foundation::CError& error, frame::QDDriverThreadContext* ctx,
                           bool restart) ZOR_REQUIRES(handlerLock_);
  // Forgets the queued grabs; unless keepRunning, ends the run.
  foundation::CError Stop(frame::QDDriverThreadContext* ctx, bool keepRunning)
      ZOR_REQUIRES(handlerLock_);
  // Stops the board's grabs of the run; flag 1 while the watchdog restarts.
  void Halt(int flag);
  // 1 when the run ended within the time-out (-1: no limit), else 0.
  [[nodiscard]] int WaitForEnd(int64_t timeoutMs);
  // A stop asked for while a run goes on: grabs still queued end it.
  void PrepareStop();
  // The board let go of the run's grabs (an abort, a halt of the system's grabs): no frame
  // will end them, so a stop no longer waits for them. Takes no lock: a control that holds
  // the channel lock tells it.
  void OnGrabsDropped();
  // Returns once no processing event of a stopped run is being delivered or still waits to
  // be; called without the handler lock, which a delivery may be waiting for.
  void WaitForDeliveries();
  // Sets the end event: a synchronous starter stops waiting.
  void SignalEnd();
  // The run's processing function threw, on the delivering thread: the synchronous starter of
  // the run gets the failure as its command's error, and anyone else hears of it as a hook
  // error; then the run ends.
  void EndAfterFailure(const frame::EscapedException& escaped);
  // The failure handed to the synchronous starter of the run; the starter takes it once it
  // waits no more, and a later one is reported instead.
  [[nodiscard]] std::optional<frame::EscapedException> TakeFailure();

  using HandlerLock = foundation::Ranked<std::mutex, foundation::LockId::kProcessHandler>;
  HandlerLock& Lock() ZOR_RETURN_CAPABILITY(handlerLock_) { return handlerLock_; }
  bool Active() const { return active_.load(); }
  bool Pending() const { return pending_.load(); }
  int64_t RequestedCount() const { return requested_.load(); }
  int64_t Operation() const { return operation_.load(); }
  void SetOperation(int64_t operation) { operation_.store(operation); }
  int64_t Flags() const { return flags_.load(); }
  int64_t BufferCount() const { return static_cast<int64_t>(buffers_.size()); }
  // The most process buffers a run takes, and the most grabs it queues at its
  // start: the kernel's setting.
  int64_t ProcessBufferLimit() const;

 private:
  struct ProcessBuffer {
    int64_t hostId = 0;       // the application's buffer
    int64_t driverIndex = 0;  // its record in the system's buffer list
    int64_t memoryId = 0;     // the host buffer the record's memory is, 0 when none
    uint64_t grabRecord = 0;  // the kernel's queued grab, 0 when none
  };
  // A buffer event of this run and the buffer's position: the host keeps one event
  // per buffer for a run, so its position is asked for once.
  struct KnownEvent {
    QID event = 0;
    int64_t position = -1;
  };
  // A thread that continues grabs: its context and that context's kernel object.
  struct ProcessThread {
    frame::QDDriverThreadContext* ctx = nullptr;
    uint64_t kernelId = 0;
    uint32_t id = 0;
    bool taken = false;
  };
  // A kernel grab record waiting for its buffer, which an earlier grab still fills.
  struct WaitingGrab {
    int64_t position = 0;
    uint64_t grabRecord = 0;
  };

  // One buffer event reaches the first hook (type 21) or the second (type 22)
  // of a pair; one hook thread continues in order, several through a queue.
  static QINT64 SingleThreadHook(QINT64 type, QID event, void* user);
  static QINT64 SingleThreadIndexHook(QINT64 type, QID event, void* user);
  static QINT64 MultiThreadHook(QINT64 type, QID event, void* user);
  static QINT64 MultiThreadIndexHook(QINT64 type, QID event, void* user);
  // What the four hooks do; what escapes it is reported, never handed back to the host.
  static void OnHook(QINT64 type, QID event, void* user, bool multiThread, bool logIndex);
  static QUINT32 WatchdogProcedure(void* user);
  static QUINT32 ReportProcedure(void* user);

  void Prepare(int64_t operation, int64_t flags, int64_t count);
  // A first start prepares the run and hooks its buffers; a restart of a trigger-driven run
  // sets the trigger for the position it starts from.
  foundation::CError PrepareStart(int64_t operation, int64_t flags, int64_t count,
                                  int64_t startPosition, bool restart);
  // Resets the end and halt events and empties the waiting grabs; a restart keeps the known
  // events.
  void ResetQueues(bool restart);
  // Queues up to `grabs` grabs around the ring from the start position; the first error.
  foundation::CError QueueFirstGrabs(int64_t startPosition, int64_t grabs, bool restart,
                                     frame::QDDriverThreadContext* ctx);
  // A trigger-driven run's trigger state after the grab at the position was queued.
  void ToggleTrigger(int64_t position);
  foundation::CError HookBuffers();
  void UnhookBuffers();
  // Queues the buffer's grab with the kernel; the kernel's error, raised on the context too.
  foundation::CError QueueGrab(ProcessBuffer& buffer, frame::QDDriverThreadContext* ctx);
  void OnBufferDone(QINT64 type, QID event, bool multiThread);
  // A processing record of the driver log, when its category is on.
  void Log(uint32_t tag1, uint64_t value1, uint32_t tag2, uint64_t value2) const;
  static QINT64 ProcessIndex(QID event);
  // ProcessIndex through the events known from earlier frames; under the hook lock.
  int64_t PositionOf(QID event) ZOR_REQUIRES(hookLock_);
  // The grab mark of the buffer, set on its memory, where the mark ends up.
  static void MarkBuffer(const ProcessBuffer& buffer, QINT64 mark);
  void ContinueGrab(ProcessBuffer& buffer);
  // The buffer's grab goes back on the board while the run is active and goesOn; else waiting
  // grabs of several hook threads still go. False when the buffer's grab was not continued.
  bool Continue(ProcessBuffer& buffer, int64_t position, bool multiThread, bool goesOn)
      ZOR_REQUIRES(hookLock_);
  // The grab record goes back on the board for the buffer at the position.
  void ContinueGrabPrepared(uint32_t threadId, int64_t position, uint64_t grabRecord)
      ZOR_REQUIRES(hookLock_);
  // The buffer at the position is done with its grab record: the waiting
  // grabs whose buffers are free go first, then the record takes the next
  // buffer of the ring, or waits when that buffer is still being filled.
  void ContinueInOrder(int64_t position, uint64_t grabRecord) ZOR_REQUIRES(hookLock_);
  // Issues the waiting grabs, in order, while their buffers are free.
  void IssueWaiting(uint32_t threadId) ZOR_REQUIRES(hookLock_);
  // The entry of the thread with that id, taken by the calling thread when
  // it has none yet.
  ProcessThread ThreadEntry(uint32_t id);
  // Sends the continuation and counts it when the board took it.
  template <typename Request>
  void SendContinuation(uint32_t function, Request& request, const ProcessBuffer& buffer,
                        uint32_t threadId);
  // True when the run is over and the watchdog is to stop.
  bool FinishFrame(int64_t position);
  // Whether a stop was asked for since the run started.
  bool StopAsked() const;
  // Ends the wait for the run's end once the board holds none of its grabs.
  void EndWaitWhenNoneQueued();
  void SetTriggerState(int64_t state);
  bool TriggerDriven() const;
  void StartWatchdog(foundation::CError& error);
  void StopWatchdog();
  void Watch();
  void OnStall(bool& wasActive) ZOR_REQUIRES(handlerLock_);
  void Restart(bool wasActive) ZOR_REQUIRES(handlerLock_);
  int64_t GrabTimeout() const;

  QDHwSpecSystem& system_;
  QDHwSpecDigitizerInfo& digitizer_;
  const int64_t digitizerIndex_;
  const uint64_t kernelObject_;
  std::vector<ProcessBuffer> buffers_;
  // One entry per hook thread that delivers buffer events.
  std::vector<ProcessThread> threads_ ZOR_GUARDED_BY(threadsLock_);
  std::deque<WaitingGrab> waiting_ ZOR_GUARDED_BY(hookLock_);
  std::vector<KnownEvent> knownEvents_ ZOR_GUARDED_BY(hookLock_);
  // Records the run no longer needs, given back to the board at the stop.
  std::vector<uint64_t> spare_ ZOR_GUARDED_BY(hookLock_);
  int64_t nextPosition_ ZOR_GUARDED_BY(hookLock_) = 0;
  QHOOK_FUNCTION firstHook_ = nullptr;
  QHOOK_FUNCTION secondHook_ = nullptr;

  int64_t started_ = 0;
  std::atomic<int64_t> queued_{0};
  std::atomic<int64_t> normal_{0};
  std::atomic<int64_t> other_{0};
  std::atomic<int64_t> requested_{-1};
  int64_t togglePeriod_ = 1;
  // A stop sets the operation and reads the flags without the handler lock: another thread's
  // stop or start may run meanwhile.
  std::atomic<int64_t> operation_{0};
  std::atomic<int64_t> flags_{0};
  int64_t triggerState_ = 0;
  std::atomic<bool> active_{false};
  // Hook threads between reading active_ and handing their continuation to the board.
  std::atomic<int> continuing_{0};
  std::atomic<bool> pending_{false};
  std::atomic<bool> halting_{false};
  std::atomic<bool> stall_{false};
  std::atomic<bool> hooked_{false};
  // The board dropped the run's grabs since the run's grabs were last queued.
  std::atomic<bool> dropped_{false};
  // The board's frame before the run's first grabbed one.
  uint64_t firstFrame_ ZOR_GUARDED_BY(hookLock_) = 0;
  bool firstFrameKnown_ ZOR_GUARDED_BY(hookLock_) = false;

  // The run's start, stop and halt, one at a time: the command thread holds it around Start,
  // Halt and Stop, and the watchdog takes it without waiting (a command that holds it wins).
  // Taken before the hook lock and the channel lock (a restart's trigger control). Not
  // recursive: nothing it calls starts or stops a run.
  HandlerLock handlerLock_;
  // Guards what the hook thread and a start or stop share: the grab records of the buffers,
  // the waiting grabs, the spare records, the known events, the next position, the run's
  // flags as a hook reads them together and the failure handed to a synchronous starter. Taken
  // after the handler lock, before the thread-entry lock and the channel lock; a stop takes it
  // without waiting, halting the board until a continuation that holds it returns. Not recursive:
  // the helpers that run under it take nothing of the handler's.
  foundation::Ranked<std::mutex, foundation::LockId::kProcessHook> hookLock_;
  // Guards the thread entries, which a halt reads without the hook lock. Taken after the hook
  // lock; the driver's global lock may come after it (a new entry asks for its context).
  foundation::Ranked<std::mutex, foundation::LockId::kProcessThreads> threadsLock_;
  // Guards watchdog_ while the watchdog starts and stops; a leaf.
  foundation::Ranked<std::mutex, foundation::LockId::kWatchdog> watchdogLock_;
  // Whether a synchronous starter waits for the run, and the failure of the processing function
  // handed to it.
  bool starterWaits_ ZOR_GUARDED_BY(hookLock_) = false;
  std::optional<frame::EscapedException> failure_ ZOR_GUARDED_BY(hookLock_);
  os::Handle endEvent_;
  os::Handle haltEvent_;
  os::Handle stopEvent_;
  os::Handle reportEvent_;
  QID watchdog_ ZOR_GUARDED_BY(watchdogLock_) = 0;
  std::atomic<QID> reporter_{0};
};

}  // namespace zor::board
