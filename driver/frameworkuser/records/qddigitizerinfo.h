// A system's record of one allocated digitizer: its DCF block, its channel record
// (owned by the system), the channel locks grab operations take, and the grab
// status. The accessors read and write the channel record's settings.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "driver/foundation/error.h"
#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/foundation/mutex.h"
#include "driver/frameworkuser/records/digchannelrecord.h"
#include "interfaces/kernel/digitizerrequests.h"

namespace zor::frame {

class QDDriverThreadContext;
struct EscapedException;

inline constexpr int64_t kDigitizerInfoType = 0x20000;

struct ProcessBufferEntry {
  int64_t hostBuffer = 0;
  int64_t secondHostId = 0;
  uint8_t flag = 0;
  bool operator==(const ProcessBufferEntry&) const = default;
};

class QDDigitizerInfo : public foundation::CLogProvider {
 public:
  using SettingsMutex = foundation::Ranked<std::mutex, foundation::LockId::kSettings>;
  using FeatureMutex = foundation::Ranked<std::recursive_mutex, foundation::LockId::kFeature>;
  using DeliveryMutex = foundation::Ranked<std::shared_mutex, foundation::LockId::kDelivery>;

  using DcfBlock = std::array<uint8_t, kernel::kDcfBlockSize>;

  // (log source word, DCF name, device number, init flag, channel record, DCF block)
  QDDigitizerInfo(uint32_t logSource, const std::wstring& dcfName, int64_t deviceNumber,
                  int64_t initFlag, DigChannelRecord& record, const DcfBlock& dcfBlock);
  QDDigitizerInfo(const QDDigitizerInfo&) = delete;
  QDDigitizerInfo& operator=(const QDDigitizerInfo&) = delete;
  ~QDDigitizerInfo() override = default;

  virtual void SetIndex(int64_t index);
  virtual int64_t GetIndex() const;
  virtual void SetHostId(int64_t id);
  virtual int64_t GetHostId() const;
  virtual void SetSourceSizeX(int64_t value);
  virtual int64_t GetSourceSizeX() const;
  virtual void SetSourceOffsetX(int64_t value);
  virtual int64_t GetSourceOffsetX() const;
  virtual void SetSourceSizeY(int64_t value);
  virtual int64_t GetSourceSizeY() const;
  virtual void SetSourceOffsetY(int64_t value);
  virtual int64_t GetSourceOffsetY() const;
  virtual void SetGrabDirectionX(int64_t value);
  virtual int64_t GetGrabDirectionX() const;
  virtual void SetGrabDirectionY(int64_t value);
  virtual int64_t GetGrabDirectionY() const;
  virtual void SetGrabPeriod(double milliseconds);
  virtual int64_t GetGrabPeriod() const;
  virtual double GetSelectedFrameRate() const;
  virtual void SetGrabTimeout(int64_t value);
  // Q_DEFAULT resolves to -1 with the trigger enabled, else the period times 60.
  virtual int64_t GetGrabTimeout() const;
  virtual void SetGrabStartMode(int64_t value);
  virtual int64_t GetGrabStartMode() const;
  virtual int64_t SetGrabTriggerState(int64_t value);
  virtual int64_t GetGrabTriggerState() const;
  virtual void SetControlFlagMode(int64_t value);
  virtual int64_t GetControlFlagMode() const;
  // -1 and Q_DEFAULT mean no limit; any other value is at least 1 ms.
  virtual void SetProcessTimeout(int64_t value);
  virtual int64_t GetProcessTimeout() const;
  virtual int64_t GetGrabErrorReporting() const;
  virtual void SetGrabErrorReporting(int64_t value);
  // Channel locks 0 and 1; other indexes do nothing.
  virtual void Lock(int index);
  virtual void Unlock(int index);
  virtual void ClearGrabStatus();
  virtual std::vector<ProcessBufferEntry>& GetProcessBuffers();
  virtual void SetProcessBuffers(const std::vector<ProcessBufferEntry>& buffers);
  virtual int64_t GetInfoType() const { return kDigitizerInfoType; }
  using ChannelMutex = foundation::Ranked<std::recursive_mutex, foundation::LockId::kChannel>;
  // The first channel lock as the analysis names it, for what it guards; taken through
  // ChannelGuard or ChannelLock.
  const ChannelMutex& FirstChannelLock() const ZOR_RETURN_CAPABILITY(channelLock_) {
    return channelLock_;
  }
  // The first channel lock, for ChannelGuard and ChannelLock.
  void lock() ZOR_ACQUIRE(channelLock_) ZOR_NO_THREAD_SAFETY_ANALYSIS { LockFirst(); }
  void unlock() ZOR_RELEASE(channelLock_) ZOR_NO_THREAD_SAFETY_ANALYSIS { UnlockFirst(); }
  virtual void LockFirst() { Lock(0); }
  virtual void UnlockFirst() { Unlock(0); }
  virtual void SetDeviceName(const std::wstring& name);
  virtual std::wstring GetDeviceName() const;
  // Grab processing and the GenICam layer tell the record about their state; this
  // board keeps nothing of it.
  virtual void SetProcessRequestState(int64_t) {}
  virtual void SpareOperation1(int64_t) {}
  // Records kUngrabbableBuffer sub-code 2 at the first process buffer that is flagged.
  virtual void ValidateProcessBuffers(foundation::CError& error) const;
  // Points at which grab processing tells the record about a run; a board that
  // keeps per-run state of its own overrides them. This one keeps none.
  virtual foundation::CError PrepareProcess(int64_t /*mode*/, int64_t /*count*/) { return {}; }
  virtual void OnProcessBufferFlagged() {}
  virtual void OnDigProcessStopped() {}
  virtual void OnFirstGrabStarted(QDDriverThreadContext* /*ctx*/) {}
  virtual void ReleaseProcessContext(QDDriverThreadContext* /*ctx*/) {}
  virtual void SetFirstGrabCount(int64_t /*count*/, QDDriverThreadContext* /*ctx*/) {}
  virtual void OnProcessRequestSent(QDDriverThreadContext* /*ctx*/) {}
  virtual void OnProcessEnded() {}
  // A processing run finished a frame in the buffer at the position; `halting`
  // is 1 while the run halts.
  virtual void NotifyFrameFinish(int64_t /*position*/, uint8_t /*halting*/) {}
  // The run's processing function threw while a frame was delivered, on the delivering
  // thread. A board that runs processing ends the run; this one reports it as a hook error.
  virtual void OnProcessingFunctionFailed(const EscapedException& escaped);
  // An object that follows the digitizer's processing runs; none on this board.
  class AttachedObject {
   public:
    virtual ~AttachedObject() = default;
    virtual void NotifyProcessStarted() = 0;
    // 0x20000 for an object that must hear of the digitizer's stops.
    virtual uint64_t ObjectType() const = 0;
  };
  virtual AttachedObject* GetAttachedObject() const { return nullptr; }

  // Grab status block, written by the buffer-modified events of a grab.
  void StoreGrabStatus(const uint64_t (&status)[8]);
  std::array<uint64_t, 8> GrabStatus() const;

  // Control 4372: -9997 (enabled) or -9999.
  int64_t ProcessEnableSetting() const { return processEnable_; }
  void SetProcessEnableSetting(int64_t value) { processEnable_ = value; }

  // Control 5351: the grab monitor of grab processing, -9997 (enabled) or -9999.
  int64_t GrabMonitorSetting() const { return grabMonitor_.load(); }
  void SetGrabMonitorSetting(int64_t value) { grabMonitor_.store(value); }
  // Values of the controls the device layer keeps as they are given, by type.
  std::map<int64_t, int64_t>& KeptSettings() ZOR_REQUIRES(settingsLock_) { return keptSettings_; }
  // Guards the device layer's settings. Not the channel lock: an inquiry must
  // not wait for a control that holds the channel while it waits on work that
  // itself inquires (a feature-browser snapshot, say).
  SettingsMutex& SettingsLock() const ZOR_RETURN_CAPABILITY(settingsLock_) { return settingsLock_; }
  // Feature access by name to the digitizer's node maps, one thread at a time.
  // Taken before a map's own lock, which a map's register access holds while
  // it takes the channel lock: the channel lock never comes first.
  FeatureMutex& FeatureLock() const ZOR_RETURN_CAPABILITY(featureLock_) { return featureLock_; }

  // Held shared while a processing event is delivered; a run's stop takes it
  // once exclusively so that no delivery outlasts the stop.
  DeliveryMutex& DeliveryLock() const ZOR_RETURN_CAPABILITY(deliveryLock_) { return deliveryLock_; }

  // Set while the digitizer's grab processing runs.
  bool ProcessingRunning() const { return processing_.load(); }
  void SetProcessingRunning(bool running) { processing_.store(running); }
  // What grab processing counts: frames processed and missed, buffers in the run.
  struct ProcessCounters {
    std::atomic<int64_t> frames{0};
    std::atomic<int64_t> missed{0};
    std::atomic<int64_t> buffers{0};
  };
  ProcessCounters& Counters() { return counters_; }
  const ProcessCounters& Counters() const { return counters_; }

  DigChannelRecord& Channel() { return channel_; }
  const DigChannelRecord& Channel() const { return channel_; }
  // The channel block as one copy. Controls change its settings under the channel lock, a grab
  // or a halt its grab state without it, and grabs, waits, inquiries and the processing watchdog
  // read it on other threads: every change and every read outside the allocation goes through
  // the block lock (these members and the accessors below). The lock guards nothing else and is
  // taken last, so it fits under any other lock.
  kernel::DigChannelRecord CopyChannelBlock() const {
    foundation::ScopedLock lock(blockLock_);
    return LockedBlock();
  }
  kernel::DigPropertiesBlock CopyProperties() const {
    foundation::ScopedLock lock(blockLock_);
    return LockedBlock().properties;
  }
  // Runs change on the settings under the block lock; it must take no lock of its own.
  template <typename Change>
  void ChangeProperties(Change&& change) {
    foundation::ScopedLock lock(blockLock_);
    change(LockedBlock().properties);
  }
  template <typename Read>
  auto ReadProperties(Read&& read) const {
    foundation::ScopedLock lock(blockLock_);
    return read(static_cast<const kernel::DigPropertiesBlock&>(LockedBlock().properties));
  }
  template <typename T>
  void SetProperty(T kernel::DigPropertiesBlock::*field, std::type_identity_t<T> value) {
    ChangeProperties([field, value](kernel::DigPropertiesBlock& p) { p.*field = value; });
  }
  template <typename T>
  T GetProperty(T kernel::DigPropertiesBlock::*field) const {
    return ReadProperties([field](const kernel::DigPropertiesBlock& p) { return p.*field; });
  }
  bool ContinuousGrab() const {
    foundation::ScopedLock lock(blockLock_);
    return LockedBlock().continuousGrab != 0;
  }
  void SetContinuousGrab(uint8_t state) {
    foundation::ScopedLock lock(blockLock_);
    LockedBlock().continuousGrab = state;
  }
  const DcfBlock& Dcf() const { return dcf_; }
  const std::wstring& DcfName() const { return dcfName_; }
  int64_t DeviceNumber() const { return deviceNumber_; }
  int64_t InitFlag() const { return initFlag_; }

 protected:
  // The channel locks: 0 serialises the digitizer's controls, grabs and processing starts
  // (DigControl, DigGrab, DigStopGrab, DigProcess); 1 is kept for boards that use it, taken
  // after 0. Taken after the feature lock, the processing handler's locks and a node map's lock
  // (a register access of a feature write), never before a node map's lock; before the node-map
  // registry, the settings, block, status and name locks and the driver's global lock.
  // Recursive: a control holds it while it stops and restarts a continuous grab (DigStopGrab,
  // GrabInto) and while it reaches the grab-control binding (GetGrabControlBinding), all of
  // which take it.
  // Protected: a board's record names it for the members it guards.
  ChannelMutex channelLock_;
  foundation::Ranked<std::recursive_mutex, foundation::LockId::kSecondChannel> secondChannelLock_;

 private:
  // The channel block as the accessors above reach it, under the block lock.
  kernel::DigChannelRecord& LockedBlock() ZOR_REQUIRES(blockLock_) { return channel_.Block(); }
  const kernel::DigChannelRecord& LockedBlock() const ZOR_REQUIRES(blockLock_) {
    return channel_.Block();
  }
  kernel::DigPropertiesBlock& P() { return channel_.Properties(); }
  const kernel::DigPropertiesBlock& P() const { return channel_.Properties(); }

  DcfBlock dcf_;
  DigChannelRecord& channel_;
  std::wstring dcfName_;
  int64_t deviceNumber_;
  int64_t initFlag_;
  int64_t index_ = 0;
  int64_t processTimeout_ = -1;
  std::atomic<int64_t> grabMonitor_{-9997};
  std::map<int64_t, int64_t> keptSettings_ ZOR_GUARDED_BY(settingsLock_);
  // Guards keptSettings_ (see SettingsLock); taken under the channel lock, before the block
  // and status locks. Not recursive.
  mutable SettingsMutex settingsLock_;
  // See FeatureLock: taken first, before the node maps' locks, the feature hooks' locks and the
  // channel lock. The feature hooks that an access fires run once it is released
  // (DeferredFeatureHooks), so that a hook may use any object's features; recursive all the same.
  mutable FeatureMutex featureLock_;
  ProcessCounters counters_;
  // See DeliveryLock: shared around a processing event's delivery, which runs the
  // application's processing function (and so may take any command's locks); exclusive once in
  // a stop, after the handler lock is released.
  mutable DeliveryMutex deliveryLock_;
  // Guards deviceName_; a leaf.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kName> nameLock_;
  std::wstring deviceName_ ZOR_GUARDED_BY(nameLock_);
  std::vector<ProcessBufferEntry> processBuffers_;
  // Read by the buffer-modified hook thread while a control may set it.
  std::atomic<int64_t> processEnable_{Q_ENABLE};
  std::atomic<bool> processing_{false};
  // Guards grabStatus_; a leaf.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kStatus> statusLock_;
  // See CopyChannelBlock; a leaf.
  mutable foundation::Ranked<std::mutex, foundation::LockId::kBlock> blockLock_;
  std::array<uint64_t, 8> grabStatus_ ZOR_GUARDED_BY(statusLock_){};
};

// The first channel lock of a digitizer, held for a scope.
class ZOR_SCOPED_CAPABILITY ChannelGuard {
 public:
  explicit ChannelGuard(QDDigitizerInfo& digitizer) ZOR_ACQUIRE(digitizer.FirstChannelLock())
      : digitizer_(digitizer) {
    digitizer_.lock();
  }
  ~ChannelGuard() ZOR_RELEASE() { digitizer_.unlock(); }
  ChannelGuard(const ChannelGuard&) = delete;
  ChannelGuard& operator=(const ChannelGuard&) = delete;

 private:
  QDDigitizerInfo& digitizer_;
};

// The first channel lock of a digitizer, held for a scope or not at all; handed to a step that
// may give it up for a while. Held on some roads only, which the analysis cannot follow.
using ChannelLock = std::unique_lock<QDDigitizerInfo>;

}  // namespace zor::frame
