// A system that stands on a kernel device: its digitizer and buffer lists,
// the settings the kernel hands back at allocation, the system free, inquire
// and control, and the shutdown after a firmware update.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/frameworkuser/driver/qdinfolist.h"
#include "driver/frameworkuser/serial/uartmanager.h"
#include "driver/frameworkuser/system/qdbasesystem.h"
#include "driver/frameworkuser/transport/llsysalloc.h"

namespace zor::frame {

class QDDigitizerInfo;
class QDBufferInfo;
struct BufAllocProgress;

// One buffer allocation's arguments, as the checks may adjust them.
struct BufAllocParams {
  int64_t bands = 0;
  int64_t sizeX = 0;
  int64_t sizeY = 0;
  int64_t type = 0;
  uint64_t attributes = 0;
  uint64_t flags = 0;
  int64_t pitch = 0;
  int64_t byteSize = 0;
  void** addresses = nullptr;
  uint64_t physicalAddress = 0;
};

class QDDeviceSystem : public QDBaseSystem {
 public:
  QDDeviceSystem(const wchar_t* name, int64_t deviceNumber, int64_t initWord,
                 const wchar_t* wideName, int64_t* outWord);
  ~QDDeviceSystem() override;

  int64_t SysFree(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // (type, answer address)
  int64_t SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // (type, value record)
  int64_t SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // The digitizer control that DigControlEntry leads to, and the inquire: the
  // settings every device system keeps (devicedigitizers.cpp).
  virtual int64_t DigControl(const OperationArgs& args, QDDriverThreadContext& ctx);
  int64_t DigInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;

  // Buffers (devicebuffers.cpp, devicebufferalloc.cpp).
  int64_t BufAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufChild(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufFree(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // (buffer, two words): passed on to the host library's buffer (HostBufPassWords); the words
  // mean nothing more to this driver.
  int64_t BufPassToHost(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // (buffer, five words): passed on to the kernel (the first four, for memory it holds) and to
  // the host library's buffer (HostBufPassAfterKernel), after which the buffer's description is
  // read again; the words mean nothing more to this driver.
  int64_t BufPassToKernelAndHost(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufCopy(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufGetRegion(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufPutRegion(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufGetBand(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufPutBand(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufGetBandRegion(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t BufPutBandRegion(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  std::shared_ptr<QDBufferInfo> FindBuffer(int64_t index) const;

  // Whether a shutdown after a firmware update is pending; a mark that can be
  // neither read nor created counts as pending.
  bool GetFirmwareNeedReboot();
  void SetFirmwareNeedReboot(uint32_t value);
  // 1 when the shutdown was started, else 0 with the error recorded on the
  // calling thread.
  int RebootAfterFirmwareUpdate(const std::wstring& message, uint32_t waitSeconds);
  // The kernel's interrupt-timing statistics to the debugger output.
  static void PrintDriverPerformanceReport(const kernel::KernelPerformanceRecord& record);

  int64_t DigitizerCount() const { return digitizerCount_; }
  const SysSettingsBlock& Settings() const { return settings_; }
  // How many hook threads deliver buffer events: grab processing keeps one
  // thread entry for each.
  int64_t EventHookThreadCount() const { return systemEventHookThreads_; }
  // The grab-control library's state word (inquire 4385), cached once known.
  void SetGrabControlState(int64_t state) { grabControlState_.store(state); }

  // Grab processing's questions to the system class.
  // Non-zero when the buffer (the driver's index) needs the digitizer's attention.
  virtual int64_t CheckProcessBuffer(int64_t /*buffer*/) { return 0; }
  virtual void OnDigProcessStarted(QDDigitizerInfo& /*digitizer*/) {}
  // A processing grab went back on the board; (buffer's driver index, digitizer, position).
  virtual void OnProcessBufferQueued(int64_t /*buffer*/, QDDigitizerInfo& /*digitizer*/,
                                     int64_t /*position*/, QDDriverThreadContext* /*ctx*/) {}
  virtual void OnDigProcessHalted(QDDigitizerInfo& /*digitizer*/) {}

 protected:
  // What a system class adds to the buffer allocation.
  virtual uint64_t GetPrivateBufAttributes() const { return 0; }
  virtual std::shared_ptr<QDBufferInfo> MakeBufferInfo();
  virtual void CheckBufAllocParams(BufAllocParams&, foundation::CError&) {}
  // The grab-control library's answer to inquire 4385: through the digitizer's
  // binding, or the library alone; 0 without a library.
  virtual int64_t GrabControlInquire(QDDigitizerInfo& /*digitizer*/) { return 0; }
  virtual int64_t LoadGrabControlInquire() { return 0; }
  virtual void CheckGrabBufParams(const BufAllocParams&, foundation::CError&) {}
  // True when the buffer lives in the board's own memory and the kernel was asked.
  virtual bool AllocOnBoardBuffer(QDBufferInfo&, uint64_t&, foundation::CError&,
                                  QDDriverThreadContext&) {
    return false;
  }
  virtual bool FreeOnBoardBuffer(QDBufferInfo&, uint64_t, foundation::CError&,
                                 QDDriverThreadContext*) {
    return false;
  }
  // Takes the record out of the list; null when it was gone already.
  std::shared_ptr<QDBufferInfo> RemoveBufferInfo(int64_t index);
  // Frees what the record holds besides itself: the kernel buffer and the
  // host buffer the driver made.
  void ReleaseBuffer(QDBufferInfo& record, QDDriverThreadContext* ctx);

  // A digitizer's integer answer through the system's own inquire (the board's
  // first), 0 when it gives none.
  int64_t InquireDigitizerWord(int64_t digitizer, int64_t type, QDDriverThreadContext& ctx);
  // The error of the command that runs on the calling thread: the thread's
  // context, found without changing its current system.
  QDDriverThreadContext* CallingThreadContext() const;

  QDInfoList<QDBufferInfo> buffers_;
  QDInfoList<QDDigitizerInfo> digitizers_;
  SysSettingsBlock settings_;
  // The ports that the machine lists when the system is made.
  CUartManager serialPorts_;
  int64_t systemEventHookThreads_ = 1;
  int64_t systemEventHookMode_ = 8192;
  bool systemEventHookFlag_ = false;
  int64_t digitizerCount_ = 0;
  std::atomic<int64_t> grabControlState_{-1};

 private:
  // The buffer allocation and its steps.
  void AllocateBuffer(BufAllocParams p, int64_t* outIndex, QDDriverThreadContext& ctx);
  void CreateBuffer(BufAllocParams& p, int64_t hostSystem, BufAllocProgress& made,
                    QDDriverThreadContext& ctx);
  void PlaceBufferInfo(BufAllocProgress& made, int64_t* outIndex);
  void FillBufferInfo(const BufAllocParams& p, uint64_t requested, BufAllocProgress& made);
  void TakeOnBoardMemory(BufAllocProgress& made, QDDriverThreadContext& ctx);
  void UndoAllocation(const BufAllocProgress& made, int64_t* outIndex, QDDriverThreadContext& ctx);
  // The kernel's free of a buffer it allocated; the kernel's error joins the record's.
  void FreeKernelBuffer(uint64_t handle, foundation::CError& error, QDDriverThreadContext* ctx);
  // Settles the attributes of an image buffer; the error when they cannot be served.
  foundation::CError CheckAttributes(BufAllocParams& p) const;
  int64_t CreateDeviceMemoryBuffer(BufAllocParams& p, int64_t hostSystem, int64_t context,
                                   uint64_t& kernelHandle, bool& memoryGiven,
                                   foundation::CError& error, QDDriverThreadContext& ctx);
  int64_t CreateHostMemoryBuffer(BufAllocParams& p, int64_t hostSystem, bool& memoryGiven,
                                 bool& dropped, foundation::CError& error);
  // Region and band access first lets a grab into device memory finish.
  bool WaitForDeviceMemory(const QDBufferInfo& record, QDDriverThreadContext& ctx);
  // A control that the kernel keeps for a buffer in on-board memory; true when it took it or
  // the buffer is not there.
  bool ControlOnBoardBuffer(const QDBufferInfo& record, int64_t type, int64_t value,
                            QDDriverThreadContext& ctx);
  // The system inquire's answers of this layer: read from the system, fixed, or (special)
  // through the thread inquire, as text, or refused.
  bool AnswerInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx);
  bool AnswerFromSystem(int64_t type, int64_t& answer);
  bool AnswerSpecialInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx);
  // The end trigger's default: enabled when the grab trigger is on and its
  // source resolves to the one that ends a continuous grab.
  int64_t ResolveEndTrigger(int64_t digitizer, QDDriverThreadContext& ctx);
  int64_t GrabControlStateInquire();
  // The system control's settings that this layer keeps, and the driver-log controls; false
  // for a type they do not take.
  bool KeepSystemSetting(int64_t type, int64_t value, QDDriverThreadContext& ctx);
  bool ControlDriverLog(int64_t type, int64_t value) const;
  // Serial-port types, served by the serial-port manager.
  int64_t SerialInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx);
  int64_t SerialControl(int64_t type, int64_t value, QDDriverThreadContext& ctx);
  // A serial-port error replaces whatever the command had recorded before.
  static void RecordSerialError(const foundation::CError& error, QDDriverThreadContext& ctx);
  void ReportKernelPerformance(QDDriverThreadContext& ctx);
};

// Type classes that this layer refuses with -1.
bool RefusedSystemInquire(int64_t type);
bool RefusedSystemControl(int64_t type);

}  // namespace zor::frame
