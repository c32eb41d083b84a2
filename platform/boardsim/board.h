// One simulated Dravion Lyn board with its kernel driver: serves the kernel
// requests, runs the video decoders and grabs, raises device events, and
// offers tests a way to raise events and inject faults.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "interfaces/kernel/kernelrequests.h"
#include "platform/boardsim/boardstate.h"
#include "platform/boardsim/deviceevents.h"
#include "platform/boardsim/faults.h"
#include "platform/boardsim/jtag/simgrabmodule.h"
#include "platform/boardsim/jtag/simjtagchain.h"
#include "platform/boardsim/logmemory.h"
#include "platform/os/device/device.h"

namespace boardsim {

// The name that each channel's clock thread starts with (the channel's number follows).
inline constexpr char kClockThreadName[] = "boardclock";

struct BoardConfig {
  uint32_t unit = 0;
  uint64_t capabilities = zor::kernel::kCapFourChannels;
  uint32_t firmwareCode = 0x20260101;
  uint32_t revision = 3;
};

class Board {
 public:
  static constexpr size_t kIoSpaceSize = 256;
  static constexpr size_t kMaxChannels = 16;

  explicit Board(const BoardConfig& config);
  virtual ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  // Device side, called by the module that opened the device.
  virtual void Control(std::shared_ptr<os::IoRequest> request,
                       const std::shared_ptr<EventPort>& port);
  virtual void Cancelled(const os::IoRequest& request);

  // Test interface.
  // Back to the board as made: driver version, capabilities, allocation settings, faults, the I/O
  // space and the grab module's firmware code and update flag; so that a test of a process whose
  // boards an earlier test changed starts from the same board.
  virtual void RestoreDefaults();
  virtual uint32_t SerialNumber() const;
  virtual void SetDriverVersion(uint64_t version);
  virtual void SetCapabilities(uint64_t word);
  // A 32-bit word of the settings block that the system allocation returns.
  virtual void SetAllocationSetting(size_t offset, uint32_t value);
  virtual void ArmFault(uint32_t function, const Fault& fault);
  virtual void ClearFaults();
  // Completes every stalled request (with 4318/1) as a grab abort does.
  virtual void Abort();
  // Requests held until the next halt (FaultKind::kCrossesHalt).
  virtual size_t HeldForHalt();
  // Frame period for every channel; 0 uses the decoder's standard.
  virtual void SetFrameTime(uint32_t microseconds);
  virtual void SetSignal(uint64_t channel, bool present);
  virtual uint8_t DecoderRegister(uint64_t channel, uint8_t reg);
  virtual uint64_t FrameCount(uint64_t channel);
  // A trigger on the channel's trigger input (an I/O event), as a software trigger gives.
  virtual void RaiseTrigger(uint64_t channel);
  // A board event of a device-event type (hook base OR channel, or a system hook type).
  virtual bool RaiseEvent(uint64_t type, const zor::kernel::BoardEventPayload& payload);
  // The same with another event code in the reply than the type waited for.
  virtual bool RaiseEventWithCode(uint64_t type, uint64_t code,
                                  const zor::kernel::BoardEventPayload& payload);
  virtual void ReturnFromSleep();
  virtual void DropEvent(uint64_t type);
  virtual size_t PendingEventWaits(uint64_t type);
  virtual CSimJtagChain& JtagChain();
  // The grab module behind the JTAG register: its firmware code and update flag fill the
  // information block of each system allocation.
  virtual CSimGrabModule& GrabModule();
  // A digitizer channel's running firmware, and its identity (0: none); the
  // identity can be made to change with the next reset (setting it drops
  // such a change).
  virtual std::string DigitizerFirmware(uint64_t channel);
  virtual void SetDigitizerFirmware(uint64_t channel, const std::string& firmware);
  virtual void SetDigitizerIdentity(uint64_t channel, uint64_t identity);
  virtual void ChangeIdentityOnReset(uint64_t channel, uint64_t identity);
  // How often a digitizer of the channel was allocated.
  virtual uint64_t DigitizerAllocations(uint64_t channel);
  // Kernel objects of the kind that are allocated now.
  virtual size_t KernelObjects(int32_t kind);

 private:
  struct Call {
    // Held by the caller of Control until it returns; copied only where a request or port is kept.
    const std::shared_ptr<os::IoRequest>& request;
    const std::shared_ptr<EventPort>& port;
    std::unique_lock<std::mutex>* lock = nullptr;
    Deferred* out = nullptr;
    uint32_t function = 0;
    uint8_t* data = nullptr;
    bool pending = false;
    // The request completes with these once the lock is released, after what `out` holds.
    bool completes = false;
    uint32_t error = 0;
    uint32_t bytes = 0;
    // The digitizer whose frame falls due while the request runs: the requesting
    // thread writes it, rather than hand it to the channel's clock and back.
    uint64_t frameDigitizer = 0;
    template <typename T>
    T& As() const {
      return *reinterpret_cast<T*>(data);
    }
    zor::kernel::RequestHeader& Header() const { return As<zor::kernel::RequestHeader>(); }
    void CompleteLater(uint32_t result, uint32_t written) {
      completes = true;
      error = result;
      bytes = written;
    }
  };

  // The I/O space as the board starts: zeros, with the serial number at its address.
  void ClearIoSpace();
  void Serve(Call& call);
  void Dispatch(Call& call);
  uint64_t NewId(uint32_t kind);

  // System requests.
  void Version(Call& call);
  void SysAlloc(Call& call);
  void SysClose(Call& call);
  void SysRequest(Call& call);
  void SysControl(Call& call);
  void SysIo(Call& call);
  void PerformanceRecord(zor::kernel::KernelPerformanceRecord& record);
  // Kernel objects and events.
  void ObjectAlloc(Call& call);
  void ObjectControl(Call& call);
  void ObjectInquire(Call& call);
  void ObjectFree(Call& call);
  void ThreadAlloc(Call& call);
  void ThreadFree(Call& call);
  void ThreadControl(Call& call);
  void ThreadWait(Call& call);
  void ThreadWaitMultiple(Call& call);
  void ContextEvent(Call& call);
  // Digitizers.
  Digitizer* FindDigitizer(const zor::kernel::DigChannelRecord& record);
  void DigAlloc(Call& call);
  void DigFree(Call& call);
  void DigControl(Call& call);
  void DigInquire(Call& call);
  void DigChannelInit(Call& call);
  void DigReference(Call& call);
  void DigInquireValue(Call& call);
  // Firmware and identity types of a digitizer; false for every other type.
  bool DigFirmwareControl(Digitizer& dig, uint64_t type, uint64_t value);
  bool DigFirmwareInquire(Digitizer& dig, uint64_t type, uint64_t& value);
  // Grabs and grab processing.
  bool MakeJob(const Call& call, const Digitizer& dig, const zor::kernel::DigChannelRecord& record,
               const zor::kernel::GrabBufferPart& part, GrabJob& job);
  void DigGrab(Call& call);
  void DigGrabWait(Call& call);
  void DigStopGrab(Call& call);
  void ProcessStart(Call& call);
  void ProcessRequest(Call& call);
  void ProcessContinue(Call& call);
  void ProcessContinuePrepared(Call& call);
  void ProcessStop(Call& call);
  void AbortGrabs(Digitizer& dig);
  void HaltObject(uint64_t objectId);
  void ReleaseStalled(Deferred& out);
  // Serves the requests held for a halt (FaultKind::kCrossesHalt), the halt's call's lock held.
  void ServeCrossing(Call& halt);
  size_t PendingGrabs(const Digitizer& dig) const;
  // Frames.
  void StartClock(uint64_t channel);
  void ClockLoop(uint64_t channel);
  // The channel's clock looks at its digitizers again; a request that changes a
  // digitizer's work calls it.
  void Wake(const Digitizer& dig);
  void WakeAll();
  // What an event wait waits on while its event's round is written: the end of
  // that round wakes it, not the end of every channel's rounds.
  std::condition_variable& RoundWritten(uint64_t round) {
    return roundWritten_[round % kRoundSignals];
  }
  // Runs the round's writes without the lock; requests that stop its channel or touch
  // the memory it writes wait until they are done.
  void WriteOutsideLock(std::unique_lock<std::mutex>& lock, const WriteRound& round, Deferred& out);
  bool Writing(uint64_t round) const;
  bool ChannelWriting(uint64_t channel) const;
  // A single grab on a digitizer with nothing else to do, whose next frame is due
  // within a clock's awake wait: true when the requesting thread is to write it.
  bool FrameOnRequester(Digitizer& dig);
  // True when the frame served the grab: its pixels are written and its end is told.
  bool WriteFrameOnRequester(uint64_t digitizerId);
  bool HasWork(const Digitizer& dig) const;
  static bool TriggerOn(const Digitizer& dig);
  // Whether the next frame reaches the grabs only after a trigger.
  static bool FrameWaitsForTrigger(const Digitizer& dig);
  Clock::duration FramePeriod(const Digitizer& dig);
  // A frame of the digitizer; with its last line's time, the pixels are written while it
  // comes in and what follows them waits for that time.
  void ProduceFrame(Digitizer& dig, WriteRound& round, Deferred& out,
                    Clock::time_point lastLine = {});
  static void AwaitLastLine(Clock::time_point lastLine, Deferred& out);
  static void SetAfterWrites(std::vector<EventRef>& waiters, Deferred& out);
  // Resolves where the job's frame goes and queues its pixels to be written once the
  // board's lock is released; false when the job's buffer is gone.
  bool WriteJob(const GrabJob& job, uint64_t frame, const Adv7180& decoder, WrittenSize& size,
                WriteRound& round, Deferred& out);
  // A request waits for the frames being written that it must not overlap: those of the
  // channels it stops or asks about and those into the memory it reads or frees. Only the
  // channels it waits for start no new round meanwhile.
  void WaitForWrites(Call& call);
  WriteConflicts ConflictsOf(const Call& call);
  void AddSystemChannels(uint64_t systemId, WriteConflicts& conflicts) const;
  void AddObjectChannels(uint64_t objectId, WriteConflicts& conflicts) const;
  void AddBuffer(uint64_t handle, WriteConflicts& conflicts);
  void AddHostBuffer(const zor::kernel::KernelBufferDescriptor& desc,
                     WriteConflicts& conflicts) const;
  void RaiseBoardEvent(Digitizer& dig, uint64_t base, const GrabJob* job,
                       Clock::time_point lastLine, Deferred& out);
  void FinishGrab(Digitizer& dig, WriteRound& round, Deferred& out);
  // Board memory.
  BoardBuffer* FindBuffer(uint64_t handle);
  bool PlaneTarget(const zor::kernel::KernelBufferDescriptor& desc, FrameTarget& target) const;
  void BufAlloc(Call& call);
  void OnBoardAlloc(Call& call);
  void BufChildAlloc(Call& call);
  void BufFree(Call& call);
  void BufInquire(Call& call);
  void BufControl(Call& call);
  void BufPassWords(Call& call);
  void BufQueueGrab(Call& call);
  void BufTransfer(Call& call);
  void BufTripleTransfer(Call& call);

  const BoardConfig config_;
  FaultTable faults_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  // One clock per channel, started with the channel's first digitizer, so that a
  // channel keeps its frame period whatever the other channels do.
  struct ChannelClock {
    std::thread thread;
    std::condition_variable wake;
  };
  ChannelClock clocks_[kMaxChannels];

  uint64_t version_ = zor::kernel::kDriverVersion;
  uint64_t capabilities_;
  std::map<size_t, uint32_t> settingOverrides_;
  uint32_t frameTimeUs_ = 0;
  std::vector<WriteRound> writing_;  // rounds whose frames are being written outside the lock
  int held_[kMaxChannels] = {};      // requests that wait for a channel's writes to end
  static constexpr size_t kRoundSignals = 2 * kMaxChannels;
  std::condition_variable roundWritten_[kRoundSignals];
  uint64_t round_ = 0;
  uint64_t nextId_ = 1;
  uint64_t eventSequence_ = 0;
  Clock::time_point started_ = Clock::now();
  uint8_t io_[kIoSpaceSize] = {};
  LogMemory log_;
  CSimGrabModule grabModule_;
  DeviceEventHub events_;
  std::vector<std::shared_ptr<os::IoRequest>> stalled_;
  std::vector<std::pair<std::shared_ptr<os::IoRequest>, std::shared_ptr<EventPort>>> crossing_;
  std::map<uint64_t, SystemState> systems_;
  std::map<uint64_t, KernelObject> objects_;
  std::map<uint64_t, EventRef> kernelEvents_;
  std::map<uint64_t, EventRef> registrations_;
  std::map<uint64_t, Digitizer> digitizers_;
  std::map<uint64_t, BoardBuffer> buffers_;
  std::map<uint64_t, zor::kernel::KernelBufferDescriptor> hostBuffers_;
  ChannelState channels_[kMaxChannels];
  uint64_t nextPhysical_ = 0x80000000;
  uint64_t interrupts_ = 0;
};

}  // namespace boardsim
