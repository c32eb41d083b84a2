// A system that stands on a kernel device: its digitizer and buffer lists,
// the settings the kernel hands back at allocation, the system free, inquire
// and control, and the shutdown after a firmware update.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "driver/board/serial/uartmanager.h"
#include "driver/frameworkuser/driver/qdinfolist.h"
#include "driver/frameworkuser/system/qdbasesystem.h"
#include "driver/frameworkuser/transport/llsysalloc.h"

namespace zor::frame {

class QDDigitizerInfo;
class QDBufferInfo;

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
  // The digitizer control that DigControlEntry leads to; the digitizer
  // operations serve it.
  virtual int64_t DigControl(const OperationArgs& args, QDDriverThreadContext& ctx);

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

 protected:
  // The error of the command that runs on the calling thread: the thread's
  // context, found without changing its current system.
  QDDriverThreadContext* CallingThreadContext() const;

  QDInfoList<QDBufferInfo> buffers_;
  QDInfoList<QDDigitizerInfo> digitizers_;
  std::recursive_mutex systemLock_;
  SysSettingsBlock settings_;
  // The ports that the machine lists when the system is made.
  board::CUartManager serialPorts_;
  int64_t systemEventHookThreads_ = 1;
  int64_t systemEventHookMode_ = 8192;
  bool systemEventHookFlag_ = false;
  int64_t digitizerCount_ = 0;
  std::atomic<int64_t> grabControlState_{-1};

 private:
  bool AnswerInquire(int64_t type, int64_t* out, QDDriverThreadContext& ctx);
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
