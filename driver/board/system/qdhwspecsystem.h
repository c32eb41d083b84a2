// The board's own system: it opens the board, allocates the kernel-side
// system, reads the board's capabilities and settings, sets the driver log
// up, runs the grab-module firmware check, and serves the board's system
// control, inquire, I/O command and hooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/process/cdigprocesshdler.h"
#include "driver/firmware/check/firmwarechecksystem.h"
#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/hooks/bufmodifiedhook.h"
#include "driver/frameworkuser/hooks/userhook.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "driver/frameworkuser/records/digchannelrecord.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "interfaces/kernel/bufferrequests.h"
#include "interfaces/kernel/digitizerrequests.h"

namespace zor::board {

class GrabControlBinding;
using frame::OperationArgs;
using frame::QDDriverThreadContext;

class QDHwSpecSystem : public frame::QDGeniCamDeviceSystem, public firmware::IFirmwareCheckSystem {
 public:
  static constexpr std::size_t kChannels = 16;
  static constexpr uint32_t kDefaultStripRatio = 3;

  // (descriptor, device number, allocation flags, status out): status gets
  // the thread's error code when construction ends, 0 when it holds none.
  QDHwSpecSystem(const wchar_t* name, int64_t deviceNumber, int64_t allocationFlags,
                 int64_t& status, QDDriverThreadContext& ctx);
  ~QDHwSpecSystem() override;

  int64_t SysFree(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysIoCommand(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysHookFunction(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysGetHookInfo(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  void ReadManifestTable() override {}

  // Digitizers (driver/board/digitizer): allocation, control, inquire, hooks, grabs.
  // The driver calls it under the process's digitizer allocation lock.
  int64_t DigAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override
      ZOR_REQUIRES(frame::DigitizerAllocationLock());
  int64_t DigFree(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigControlEntry(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigHookFunction(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigGetHookInfo(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigGrab(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigGrabWait(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigChannel(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigReference(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigStopGrab(int64_t digitizer, QDDriverThreadContext& ctx);
  // The grab-control library's road (driver/board/grabcontrol).
  int64_t DigGrabContinuous(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigHalt(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t DigGrabAbort(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  bool HasDigitizer(int64_t index) const { return FindDigitizer(index) != nullptr; }
  // Grab processing (driver/board/process).
  int64_t DigProcess(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // Ends the digitizer's processing run, if any; without a context the stop's error goes to
  // the host.
  void StopProcessing(QDHwSpecDigitizerInfo& digitizer, QDDriverThreadContext* ctx);
  // Ends the run whose processing function failed, from the thread that delivered its frame;
  // what the stop records goes to the host.
  void EndProcessAfterFailure(QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler);
  // The board dropped the digitizer's grabs: its processing run, if any, hears of it.
  static void TellProcessOfDrop(const QDHwSpecDigitizerInfo& digitizer);
  // 1 when the digitizer's source window lies in its camera frame, else -1.
  int64_t CheckDigSourceWindow(int64_t digitizer);
  // The hook threads of a digitizer's own events: this base with the digitizer's index.
  static constexpr uint64_t kDigitizerHookBase = 0x90000000;
  // Whether the caller is one of this system's hook threads (of the type, any for 0).
  bool IsInHookThread(uint64_t type) const;
  // Returns once this system's other hook threads of the type have taken every event the board
  // holds for them.
  void WaitForHookThreads(uint64_t type) const;
  // The request parts a grab sends: header, record and the words up to the buffer part (true for
  // a continuous grab), and the buffer part.
  bool BuildGrabRequest(const QDHwSpecDigitizerInfo& digitizer, int64_t count, uint64_t kernelEvent,
                        kernel::GrabRequest& request) const;
  bool BuildGrabBufferRequest(int64_t buffer, const QDHwSpecDigitizerInfo& digitizer,
                              kernel::GrabBufferPart& part, int64_t value) const;
  bool BuildGrabBufferRequest(const frame::QDBufferInfo* record,
                              const QDHwSpecDigitizerInfo& digitizer, kernel::GrabBufferPart& part,
                              int64_t value) const;

  // Buffers (driver/board/buffer): children, free, control, inquire, and the
  // copies and transfers the board makes.
  int64_t BufAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufChildBand(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufFree(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufCopyRegion(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufCopyClip(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufTransfer(const OperationArgs& args, QDDriverThreadContext& ctx) override;

  // What the firmware check reads and calls.
  uint32_t CapabilityWord() const override { return static_cast<uint32_t>(capabilityReport_); }
  uint32_t FirmwareCode() const override;
  uint8_t FirmwareUpdateFlag() const override;
  uint64_t JtagRegisterAddress() const override;
  firmware::CBoardJtagPort* CurrentJtagPort() const override { return jtagPort_; }
  void SetCurrentJtagPort(firmware::CBoardJtagPort* port) override { jtagPort_ = port; }
  int GetFirmwareNeedReboot() override { return QDDeviceSystem::GetFirmwareNeedReboot() ? 1 : 0; }
  int RebootAfterFirmwareUpdate(const std::wstring& message, uint32_t waitSeconds) override {
    return QDDeviceSystem::RebootAfterFirmwareUpdate(message, waitSeconds);
  }
  uint32_t IsFirmwareUpdaterAvailable() override;
  void LaunchFirmwareUpdater() override;
  void CallAppControl(int64_t type, int64_t value) override;
  bool IsUserAdmin() override { return QDBaseSystem::IsUserAdmin(); }

  uint64_t Capabilities() const { return capabilityWord_; }
  int64_t ChannelCount() const { return digitizerCount_; }
  const frame::SysInfoBlock& Info() const { return info_; }
  uint64_t SystemObjectId() const { return systemObjectId_; }
  uint32_t StripRatio(std::size_t channel) const { return stripRatio_[channel]; }
  // The current sub-code of the thread's error (the code: GetPendingError).
  static int64_t GetThreadErrorSubCode(QDDriverThreadContext& ctx);

 protected:
  uint64_t GetPrivateBufAttributes() const override { return frame::bufattr::kBoardPrivate; }
  void CheckBufAllocParams(frame::BufAllocParams& p, foundation::CError& error) override;
  void CheckGrabBufParams(const frame::BufAllocParams& p, foundation::CError& error) override;
  bool AllocOnBoardBuffer(frame::QDBufferInfo& record, uint64_t& handle, foundation::CError& error,
                          QDDriverThreadContext& ctx) override;
  bool FreeOnBoardBuffer(frame::QDBufferInfo& record, uint64_t handle, foundation::CError& error,
                         QDDriverThreadContext* ctx) override;
  int64_t GrabControlInquire(frame::QDDigitizerInfo& digitizer) override;
  int64_t LoadGrabControlInquire() override;

 private:
  void Construct(int64_t allocationFlags, QDDriverThreadContext& ctx);
  foundation::CError ReadCapabilities(QDDriverThreadContext& ctx);
  void SetUpDriverLog(QDDriverThreadContext& ctx);
  foundation::CError RunFirmwareCheck(int64_t mode);
  void FailConstruction(const foundation::CError& error, QDDriverThreadContext& ctx);
  // Closes the kernel system and the device, whatever fails on the way; without a context the
  // failure goes to the host.
  void ReleaseKernelSystem(QDDriverThreadContext* ctx) noexcept;
  uint64_t SystemRequest(uint64_t word, foundation::CError& error, QDDriverThreadContext& ctx,
                         kernel::SysRequest* reply = nullptr);
  // The system inquire's answers that the board's state gives.
  struct StateAnswers;
  int64_t InquireBoard(int64_t requested, int64_t type, int64_t* out, QDDriverThreadContext& ctx);
  // The GenICam layer's answer for a type the kernel does not serve.
  static int64_t FallBack(const std::function<int64_t()>& layer,
                          const foundation::CError& kernelError, QDDriverThreadContext& ctx);
  int64_t ControlBoard(int64_t type, const OperationArgs& args, int64_t value,
                       QDDriverThreadContext& ctx);
  int64_t SetHookThreads(int64_t value, QDDriverThreadContext& ctx);
  // I/O space of the board: direction 1 reads, 2 writes.
  void IoCommand(uint32_t direction, uint32_t address, uint32_t count, void* data,
                 QDDriverThreadContext& ctx);
  frame::CSingleHook* HookElement(int64_t type);
  std::shared_ptr<QDHwSpecDigitizerInfo> FindDigitizer(int64_t index) const;
  frame::CUserHook& UserHook();
  // The device-event type of a digitizer hook type: the event base OR the channel.
  static uint64_t DeviceEventType(int64_t hookType, const QDHwSpecDigitizerInfo& digitizer);
  void DigGrabWaitFor(int64_t digitizer, uint64_t flag, QDDriverThreadContext& ctx);
  void ControlDigitizerInteger(int64_t digitizer, int64_t type, int64_t value,
                               QDDriverThreadContext& ctx);
  void ReferenceDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t type, double level,
                          QDDriverThreadContext& ctx);
  void ChannelDigitizer(int64_t channel, QDDriverThreadContext& ctx);
  void StartHookThreads(uint64_t type, int64_t count, QDDriverThreadContext& ctx);
  // Buffer-modified events need a buffer or a digitizer of the system: the first
  // thread of the system's buffer-modified events starts with the first of them.
  void StartBufferModifiedThread(QDDriverThreadContext& ctx);
  void StartBufferModifiedThreadOnce(QDDriverThreadContext& ctx)
      ZOR_REQUIRES(bufferModifiedStartLock_);
  // Sets the element's function and data; whether it had a function before.
  bool ReplaceHook(frame::CSingleHook& element, QHOOK_FUNCTION function, void* user)
      ZOR_REQUIRES(digitizerHookLock_);
  // A digitizer of the DCF's settings in the system's list, its strips laid out whole.
  std::shared_ptr<QDHwSpecDigitizerInfo> CreateDigitizer(
      const wchar_t* name, int64_t device, int64_t initFlag,
      const frame::QDDigitizerInfo::DcfBlock& dcf) ZOR_REQUIRES(frame::DigitizerAllocationLock());
  void RemoveDigitizer(const std::shared_ptr<QDHwSpecDigitizerInfo>& digitizer);
  void StopDigitizerHooks(QDHwSpecDigitizerInfo& digitizer);
  int64_t GrabInto(int64_t digitizer, int64_t buffer, int64_t count, QDDriverThreadContext& ctx);
  // Sends a grab or grab-wait request and waits on the caller's event when the
  // reply asks for it; the reply's error, not raised.
  template <typename Request>
  foundation::CError SendWaitingRequest(uint32_t function, Request& request,
                                        QDDriverThreadContext& ctx);
  void RecoverFromTimeout(int64_t digitizer, QDDriverThreadContext& ctx);
  GrabControlBinding& GetGrabControlBinding(QDHwSpecDigitizerInfo& digitizer);
  CDigProcessHdler* StartDigProcess(QDHwSpecDigitizerInfo& digitizer, QDDriverThreadContext& ctx)
      ZOR_REQUIRES(digitizer.FirstChannelLock());
  // An attached object that follows the digitizer's stops hears of one; false without it.
  bool TellAttachedOfStop(QDHwSpecDigitizerInfo& digitizer, QDDriverThreadContext& ctx);
  void StopDigProcess(QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler,
                      int64_t operation, bool& inHookThread, QDDriverThreadContext& ctx);
  // A grab-processing request's operation and flag words, and the frames a start asks for
  // (-1: until stopped).
  struct ProcessRun {
    int64_t operation = 0;
    int64_t flag = 0;
    int64_t frames = -1;
  };
  // Refuses a bad operation or flag and resolves a first-grab trigger's flag.
  bool CheckProcessRequest(ProcessRun& run, QDDriverThreadContext& ctx);
  // A start's frame count and default flag; a triggered continuous start prepares the digitizer.
  bool PlanProcessStart(QDHwSpecDigitizerInfo& digitizer, ProcessRun& run, int64_t count,
                        QDDriverThreadContext& ctx);
  // Whether a buffer asks for the flagged path; nothing when the start is refused.
  std::optional<bool> CheckProcessBuffers(QDHwSpecDigitizerInfo& digitizer,
                                          CDigProcessHdler& handler,
                                          const std::vector<frame::ProcessBufferEntry>& buffers,
                                          QDDriverThreadContext& ctx);
  void StartProcessHandler(QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler,
                           const std::vector<frame::ProcessBufferEntry>& buffers, bool flagged,
                           const ProcessRun& run, QDDriverThreadContext& ctx)
      ZOR_REQUIRES(handler.Lock());
  // A synchronous start's wait for its run to end, at most the process time-out, then the stop.
  void WaitForProcessEnd(QDHwSpecDigitizerInfo& digitizer, CDigProcessHdler& handler,
                         QDDriverThreadContext& ctx);
  // The failure of the run's processing function that the synchronous starter waited for
  // becomes its command's error, or a hook error when the command failed already.
  static void TakeFunctionFailure(CDigProcessHdler& handler, QDDriverThreadContext& ctx);
  // Board copies: the kernel transfer request, sent with its grab mark; false
  // when the kernel refused it.
  bool SendTransfer(kernel::BufTransferRequest& request, const frame::QDBufferInfo& destination,
                    bool markGrab, QDDriverThreadContext& ctx);
  // With the caller's transfer setting 1, waits for the system's pending work;
  // true when it waited.
  bool WaitForBoardWork(QDDriverThreadContext& ctx);
  int64_t ScaledTransfer(const OperationArgs& args, QDDriverThreadContext& ctx);
  int64_t ThreeBufferTransfer(const OperationArgs& args, QDDriverThreadContext& ctx);
  void QueueBufferGrab(const frame::QDBufferInfo* first, const frame::QDBufferInfo& second,
                       int64_t stepX, int64_t stepY, QDDriverThreadContext& ctx,
                       const std::array<int64_t, 4>& offsets, int64_t maxWidth, int64_t maxHeight);
  // The digitizer control's own steps, under the channel lock that DigControl holds (or not,
  // for the types that go without it): refusal, the channel level, the driver's settings, and
  // what goes to the board.
  void ControlDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t callerType, int64_t type,
                        const OperationArgs& args, QDDriverThreadContext& ctx,
                        frame::ChannelLock& channel);
  // Sends the control to the board; what the board does not serve goes to the GenICam layer.
  void SendDigitizerControl(QDHwSpecDigitizerInfo& digitizer, int64_t callerType, int64_t type,
                            int64_t value, const OperationArgs& args, QDDriverThreadContext& ctx,
                            frame::ChannelLock& channel);
  int64_t InquireBoardDigitizer(QDHwSpecDigitizerInfo& digitizer, int64_t type, void* out,
                                const OperationArgs& args, QDDriverThreadContext& ctx);
  // What the digitizer's device calls itself; empty when it does not say.
  std::wstring DigitizerIdentity(QDHwSpecDigitizerInfo& digitizer, QDDriverThreadContext& ctx);
  void SetDigEventNotification(int64_t hookType, QDHwSpecDigitizerInfo& digitizer, bool enable,
                               QDDriverThreadContext& ctx);

  frame::SysInfoBlock info_{};
  uint64_t capabilityWord_ = 0;
  uint64_t capabilityReport_ = 0;
  uint64_t systemObjectId_ = 0;
  std::array<frame::CSingleHook, 3> hooks_{frame::CSingleHook(protocol::kSystemEventHookFirst),
                                           frame::CSingleHook(protocol::kSystemEventHookSecond),
                                           frame::CSingleHook(protocol::kSystemEventHookThird)};
  // Written by each allocation of a channel's digitizer.
  std::array<uint32_t, kChannels> firstFieldStrips_
      ZOR_GUARDED_BY(frame::DigitizerAllocationLock()){};
  std::array<uint32_t, kChannels> secondFieldStrips_
      ZOR_GUARDED_BY(frame::DigitizerAllocationLock()){};
  std::array<uint32_t, kChannels> stripRatio_{};
  firmware::CBoardJtagPort* jtagPort_ = nullptr;
  // Hook threads and the element of buffer-modified events.
  std::unique_ptr<frame::CUserHook> userHook_ ZOR_GUARDED_BY(hookLock_);
  frame::CBufModifiedHook bufModifiedHook_{digitizers_, buffers_};
  // Guards the making of userHook_; held over CUserHook's calls that ask about threads, so it
  // comes before the hook threads' own lock. A leaf otherwise.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kSystemUserHook> hookLock_;
  // One system or digitizer hook change at a time: the element's function and the start or
  // stop of its thread go together. Taken first of the system's locks, before hookLock_ and the
  // hook threads' lock; stopping a thread waits for it under this lock.
  foundation::Ranked<std::mutex, foundation::LockId::kDigitizerHook> digitizerHookLock_;
  // One start of the buffer-modified thread at a time (BufAlloc, DigAlloc); taken before
  // hookLock_ and the hook threads' lock.
  foundation::Ranked<std::mutex, foundation::LockId::kBufferModifiedStart> bufferModifiedStartLock_;
};

}  // namespace zor::board
