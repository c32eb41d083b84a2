// QDDeviceSystem: construction, system free, kernel performance report and serial errors.
#include "driver/frameworkuser/devicesystem/qddevicesystem.h"

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/timing/opcodetiming.h"

namespace zor::frame {
namespace {

constexpr uint64_t kPerformanceRecord = kernel::kSysRequestPerformance;

}  // namespace

QDDeviceSystem::QDDeviceSystem(const wchar_t* name, int64_t deviceNumber, int64_t initWord,
                               const wchar_t* wideName, int64_t* outWord)
    : QDBaseSystem(name, deviceNumber, initWord, wideName, outWord),
      settings_(DefaultSysSettings()) {
  SetEndOfCommandMode(2);
}

// The lists delete the records they still hold.
QDDeviceSystem::~QDDeviceSystem() = default;

QDDriverThreadContext* QDDeviceSystem::CallingThreadContext() const {
  return CQDDeviceDriverWrapper::Instance().GetDriver() != nullptr
             ? CQDDeviceDriverWrapper::Instance().GetDriver()->CallingThreadContext()
             : nullptr;
}

void QDDeviceSystem::ReportKernelPerformance(QDDriverThreadContext& ctx) {
  kernel::SysRequest record{};
  foundation::CError error;
  record.header = FreshHeader(error);
  record.requestWord = kPerformanceRecord;
  DeviceRequest(handles_, CallerKernelId(ctx), record, error, &ctx);
  if (error.errorSet != 0) return;
  ctx.Driver().PrintPerformanceReport(static_cast<double>(record.performance.frequency),
                                      static_cast<int64_t>(record.performance.sleepTicks));
  PrintDriverPerformanceReport(record.performance);
}

void QDDeviceSystem::RecordSerialError(const foundation::CError& error,
                                       QDDriverThreadContext& ctx) {
  if (ctx.ErrorCode() != 0) ctx.SetError(0, 0, 0, 0);
  ctx.SetError(static_cast<int64_t>(error.code), static_cast<int64_t>(error.subCode), 0, 0);
}

int64_t QDDeviceSystem::SysFree(const OperationArgs&, QDDriverThreadContext& ctx) {
  // No hook object exists before the board's hook threads do; nothing to stop.
  if (TimingStatisticsOn()) ReportKernelPerformance(ctx);
  // Buffers still alive go with the system: their kernel and host memory too.
  for (int64_t index = buffers_.Size() - 1; index > 0; --index) {
    if (std::shared_ptr<QDBufferInfo> record = RemoveBufferInfo(index)) {
      ReleaseBuffer(*record, &ctx);
    }
  }
  if (Index() != 0) {
    // Other threads may still be inside a command on this system: their
    // contexts are taken from them but kept until the system goes.
    KeepDetachedContexts(ctx.Driver().DetachThreadContexts(Index()));
  }
  return 1;
}

}  // namespace zor::frame
