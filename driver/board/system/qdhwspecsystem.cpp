// QDHwSpecSystem: builds the board's system at allocation, opening the board and its kernel system.
#include "driver/board/system/qdhwspecsystem.h"

#include <cstring>
#include <memory>
#include <utility>

#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/driver/qdhwspecdriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/timing/opcodetiming.h"
#include "driver/frameworkuser/transport/llsysalloc.h"
#include "platform/os/core/handle.h"

namespace zor::board {
namespace {

constexpr const wchar_t* kKernelDeviceName = L"DRAVIONLYN";
using errorcode::kNoHostMemory;
using errorcode::kSystemAllocationError;
constexpr int64_t kNoFirmwareUpdate = 0x20000000;
constexpr int64_t kCheckFirmware = 0x10000000;
constexpr int64_t kCompareOnly = 0x30000000;
// What goes wrong while a system goes, when no command is there to fail.
constexpr const wchar_t* kFreeFunctionName = L"QsysFree";

std::unique_ptr<frame::QDBaseSystem> MakeBoardSystem(const wchar_t* name, int64_t number,
                                                     int64_t flags, int64_t& status,
                                                     QDDriverThreadContext& ctx) {
  return std::make_unique<QDHwSpecSystem>(name, number, flags, status, ctx);
}

// The driver builds this system for every allocation once the library is loaded.
[[maybe_unused]] const bool kRegistered =
    (frame::QDHwSpecDriver::RegisterBoardSystem(&MakeBoardSystem), true);

}  // namespace

QDHwSpecSystem::QDHwSpecSystem(const wchar_t* name, int64_t deviceNumber, int64_t allocationFlags,
                               int64_t& status, QDDriverThreadContext& ctx)
    : QDGeniCamDeviceSystem(name, deviceNumber, allocationFlags, nullptr, status, ctx) {
  stripRatio_.fill(kDefaultStripRatio);
  SetGuardByte(true);
  // A failed GenICam set-up fails the allocation already: the board is not
  // touched.
  if (status == 0) {
    try {
      Construct(allocationFlags, ctx);
    } catch (...) {
      // The allocation's command makes the escape its error; the board opened so far is closed
      // here, for no destructor of this class will run, and what that fails in goes to the host.
      ReleaseKernelSystem(nullptr);
      throw;
    }
  }
  status = ctx.ErrorCode();
}

void QDHwSpecSystem::Construct(int64_t allocationFlags, QDDriverThreadContext& ctx) {
  foundation::CError error;
  OpenDevice(kKernelDeviceName, ctx);
  if (handles_.device == kernel::kNoHandle) error.SetError(kSystemAllocationError, 1);
  // A refused kernel driver is not asked for anything more.
  if (error.errorSet == 0 && GetPendingError(ctx) == 0) {
    frame::LLsysAllocate(0, static_cast<uint64_t>(allocationFlags), handles_, &settings_, &info_,
                         error, &ctx);
  }
  if (error.errorSet == 0 && GetPendingError(ctx) == 0) error = ReadCapabilities(ctx);
  if (error.errorSet == 0 && GetPendingError(ctx) == 0) {
    SetUpDriverLog(ctx);
    if (frame::SettingWord(settings_, kernel::kSettingTimingStatistics) != 0) {
      frame::EnableTimingStatistics();
    }
    const bool compareOnly = (allocationFlags & kNoFirmwareUpdate) != 0;
    error = RunFirmwareCheck(compareOnly ? kCompareOnly : kCheckFirmware);
  }
  if (error.errorSet != 0 || GetPendingError(ctx) != 0) {
    FailConstruction(error, ctx);
    return;
  }
  systemObjectId_ = frame::LLsysObjectAlloc(handles_, kernel::kObjectKindSystem, error, &ctx);
  if (systemObjectId_ == 0) {
    ctx.SetError(kNoHostMemory, 1, 0, 0);
    FailConstruction(error, ctx);
    return;
  }
  stripRatio_.fill(kDefaultStripRatio);
}

foundation::CError QDHwSpecSystem::ReadCapabilities(QDDriverThreadContext& ctx) {
  foundation::CError error;
  const uint64_t word = SystemRequest(kernel::kSysRequestCapabilities, error, ctx);
  if (error.errorSet != 0) return error;
  capabilityWord_ = word;
  capabilityReport_ = word;
  if ((word & kernel::kCapSixteenChannels) != 0) {
    digitizerCount_ = 16;
  } else if ((word & kernel::kCapFourChannels) != 0) {
    digitizerCount_ = 4;
  }
  return error;
}

uint64_t QDHwSpecSystem::SystemRequest(uint64_t word, foundation::CError& error,
                                       QDDriverThreadContext& ctx, kernel::SysRequest* reply) {
  kernel::SysRequest record{};
  record.header = frame::FreshHeader(error);
  record.requestWord = word;
  frame::DeviceRequest(handles_, CallerKernelId(ctx), record, error, &ctx);
  if (reply != nullptr) *reply = record;
  return record.value;
}

void QDHwSpecSystem::FailConstruction(const foundation::CError& error, QDDriverThreadContext& ctx) {
  error.Report(ctx);
  if (systemObjectId_ != 0) {
    foundation::CError ignored;
    frame::LLsysObjectFree(handles_, systemObjectId_, ignored, &ctx);
    systemObjectId_ = 0;
  }
  ReleaseKernelSystem(&ctx);
}

void QDHwSpecSystem::ReleaseKernelSystem(QDDriverThreadContext* ctx) noexcept {
  if (handles_.device == 0 || handles_.device == kernel::kNoHandle) return;
  if (handles_.systemId != kernel::kNoHandle) {
    frame::ReportEscapes(kFreeFunctionName, [&] {
      // The release raises its error on the context, where the error held stays first.
      foundation::CError error;
      frame::LLsysRelease(handles_, 0, error, ctx);
      if (ctx == nullptr) frame::ReportThreadError(kFreeFunctionName, error);
    });
  }
  // Opened but no kernel system made on it, or a release that failed half way: the system goes
  // all the same, and its device with it.
  if (handles_.device != 0) {
    os::CloseHandle(os::HandleFromValue(handles_.device));
    handles_.device = 0;
  }
}

QDHwSpecSystem::~QDHwSpecSystem() {
  // May run on any thread, after the command that freed the system: what fails is told to the
  // host, and the steps after it still run. Processing runs call into this system from their
  // watchdogs: they end first, then the hook threads that wait on the device and call into the
  // channel records.
  for (int64_t index = 1; index < digitizers_.Size(); ++index) {
    if (auto digitizer = FindDigitizer(index)) {
      frame::ReportEscapes(kFreeFunctionName, [&] { StopProcessing(*digitizer, nullptr); });
    }
  }
  // Taken out here, where the destructor alone reaches it, and ended under the barrier.
  std::unique_ptr<frame::CUserHook> hook = std::move(userHook_);
  frame::ReportEscapes(kFreeFunctionName, [&] { hook.reset(); });
  if (systemObjectId_ != 0) {
    frame::ReportEscapes(kFreeFunctionName, [&] {
      foundation::CError error;
      frame::LLsysObjectFree(handles_, systemObjectId_, error, nullptr);
      frame::ReportThreadError(kFreeFunctionName, error);
    });
  }
  ReleaseKernelSystem(nullptr);
}

int64_t QDHwSpecSystem::GetThreadErrorSubCode(QDDriverThreadContext& ctx) {
  return ctx.SubCodeCount() > 0 ? ctx.SubCode(1) : 0;
}

uint32_t QDHwSpecSystem::FirmwareCode() const {
  uint32_t code = 0;
  std::memcpy(&code, info_.bytes, sizeof(code));
  return code;
}

uint8_t QDHwSpecSystem::FirmwareUpdateFlag() const { return info_.bytes[24]; }

uint64_t QDHwSpecSystem::JtagRegisterAddress() const {
  uint64_t address = 0;
  std::memcpy(&address, info_.bytes + 8, sizeof(address));
  return address;
}

}  // namespace zor::board
