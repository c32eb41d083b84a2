// The board system's digitizer allocation and free, and the hook threads that
// deliver a digitizer's buffer-modified events.
#include <cstring>
#include <tuple>

#include "driver/board/dcf/dcfregisterparser.h"
#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/digitizer/strips.h"
#include "driver/board/grabcontrol/grabcontrolbinding.h"
#include "driver/board/process/cdigprocesshdler.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/host/qtypes.h"
#include "platform/os/sync/wait.h"

namespace zor::board {

namespace {

using errorcode::kDigitizerAllocationError;
using errorcode::kInvalidDigitizerParameter;
using errorcode::kNoHostMemory;
constexpr uint64_t kStatusInquire = 6801;
constexpr uint64_t kTriggerInquire = 4200;
constexpr uint32_t kAllocationSettleMs = 400;

// The kernel's answer; its error goes to the context.
uint64_t InquireKernel(const frame::LLsysHandlePair& handles,
                       const QDHwSpecDigitizerInfo& digitizer, uint64_t type, uint64_t event,
                       QDDriverThreadContext& ctx) {
  foundation::CError error;
  kernel::DigChannelRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = event;
  request.record = digitizer.Channel().Block();
  request.type = type;
  frame::LLsysRequest(handles, kernel::kDigInquire, request, error, &ctx);
  return request.value;
}

bool CheckAllocationParameters(int64_t initFlag, int64_t device, int64_t channels,
                               QDDriverThreadContext& ctx) {
  if (initFlag != Q_DEFAULT) {
    ctx.SetError(kInvalidDigitizerParameter, 2, 0, 0);
    return false;
  }
  if (device < 0 || device >= channels) {
    ctx.SetError(kInvalidDigitizerParameter, 1, 0, 0);
    return false;
  }
  return true;
}

// The kernel's side of the digitizer, its two words stored in the record; false when the kernel
// refused it or the context holds an error.
bool AllocateOnBoard(const QDHwSpecSystem& system, QDHwSpecDigitizerInfo& digitizer,
                     const frame::QDDigitizerInfo::DcfBlock& dcf, QDDriverThreadContext& ctx) {
  foundation::CError error;
  kernel::DigAllocRequest request{};
  request.header = frame::FreshHeader(error);
  request.record = digitizer.Channel().Block();
  request.kernelEvent = system.CallerKernelId(ctx);
  std::memcpy(request.dcfBlock, dcf.data(), dcf.size());
  frame::LLsysRequest(system.Handles(), kernel::kDigAlloc, request, error, &ctx);
  if (error.errorSet == 0 &&
      (request.record.kernelDigitizer == 0 || request.record.kernelCheck == 0)) {
    error.SetError(kDigitizerAllocationError, 2);
    error.Report(ctx);
  }
  if (error.errorSet != 0 || ctx.ErrorCode() != 0) return false;
  digitizer.Channel().Block().kernelDigitizer = request.record.kernelDigitizer;
  digitizer.Channel().Block().kernelCheck = request.record.kernelCheck;
  return true;
}

}  // namespace

std::shared_ptr<QDHwSpecDigitizerInfo> QDHwSpecSystem::FindDigitizer(int64_t index) const {
  return std::static_pointer_cast<QDHwSpecDigitizerInfo>(digitizers_.GetAt(index));
}

frame::CUserHook& QDHwSpecSystem::UserHook() {
  foundation::ScopedLock lock(hookLock_);
  if (!userHook_) {
    userHook_ = std::make_unique<frame::CUserHook>(SourceId(), os::HandleFromValue(handles_.device),
                                                   InitWord());
  }
  return *userHook_;
}

bool QDHwSpecSystem::IsInHookThread(uint64_t type) const {
  foundation::ScopedLock lock(hookLock_);
  return userHook_ && userHook_->IsInHookThread(type);
}

void QDHwSpecSystem::WaitForHookThreads(uint64_t type) const {
  const frame::CUserHook* hook = nullptr;
  {
    foundation::ScopedLock lock(hookLock_);
    hook = userHook_.get();
  }
  // Waited for without the lock, which a delivering thread may ask for; the hook object lives
  // as long as the system.
  if (hook != nullptr) hook->WaitIdle(type);
}

void QDHwSpecSystem::StartHookThreads(uint64_t type, int64_t count, QDDriverThreadContext& ctx) {
  for (int64_t i = 0; i < count && ctx.ErrorCode() == 0; ++i) {
    foundation::CError error;
    // Nothing waits for these threads' first requests.
    UserHook().Start(type, this, &bufModifiedHook_, HostObjectId(), error, false);
    error.Report(ctx);
  }
}

void QDHwSpecSystem::RemoveDigitizer(const std::shared_ptr<QDHwSpecDigitizerInfo>& digitizer) {
  digitizers_.Remove(digitizer->GetIndex());
}

void QDHwSpecSystem::StopDigitizerHooks(QDHwSpecDigitizerInfo& digitizer) {
  // Every thread that may call into the channel record's hook elements ends
  // before the record goes.
  frame::DigitizerHookSet& hooks = digitizer.Channel().Hooks();
  foundation::CError ignored;
  for (size_t n = 1; n <= frame::DigitizerHookSet::kSingles; ++n) {
    frame::CSingleHook* element = hooks.Single(n);
    if (element->Function() == nullptr) continue;
    element->Set(nullptr, nullptr);
    UserHook().Stop(DeviceEventType(element->HookType(), digitizer), ignored);
  }
  const uint64_t own = kDigitizerHookBase | static_cast<uint64_t>(digitizer.GetIndex());
  while (UserHook().ActiveCount(own) != 0) UserHook().Stop(own, ignored);
}

std::shared_ptr<QDHwSpecDigitizerInfo> QDHwSpecSystem::CreateDigitizer(
    const wchar_t* name, int64_t device, int64_t initFlag,
    const frame::QDDigitizerInfo::DcfBlock& dcf) {
  auto record = std::make_unique<frame::DigChannelRecord>();
  FillChannelFromDcf(*record, dcf.data(), device);
  auto digitizer = std::make_shared<QDHwSpecDigitizerInfo>(SourceId(), name, device, initFlag,
                                                           std::move(record), dcf);
  const int64_t index = digitizers_.Add(digitizer);
  kernel::DigChannelRecord& block = digitizer->Channel().Block();
  block.digitizerIndex = index;
  const uint64_t height = block.properties.maxHeight;
  const auto channel = static_cast<size_t>(device);
  LayOutStrips(block, height, 1, StripRatio(channel));
  std::tie(firstFieldStrips_[channel], secondFieldStrips_[channel]) = StripCounts(height);
  return digitizer;
}

int64_t QDHwSpecSystem::DigAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const auto* name = args.Pointer<const wchar_t>(0);
  const int64_t device = args.Int(1);
  const int64_t initFlag = args.Int(2);
  auto* out = args.Pointer<int64_t>(3);
  if (out != nullptr) *out = 0;
  if (!CheckAllocationParameters(initFlag, device, ChannelCount(), ctx)) return 1;
  StartBufferModifiedThread(ctx);
  frame::QDDigitizerInfo::DcfBlock dcf{};
  DcfRegisterParser parser(name, dcf.data(), 0);
  if (parser.errorSet != 0) {
    parser.Report(ctx);
    return 1;
  }
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer =
      CreateDigitizer(name, device, initFlag, dcf);
  if (!AllocateOnBoard(*this, *digitizer, dcf, ctx)) {
    RemoveDigitizer(digitizer);
    return 1;
  }
  const int64_t index = digitizer->GetIndex();
  InquireKernel(handles_, *digitizer, kStatusInquire, CallerKernelId(ctx), ctx);
  StartHookThreads(kDigitizerHookBase | static_cast<uint64_t>(index), systemEventHookThreads_, ctx);
  if (ctx.ErrorCode() == 0) {
    const auto trigger = static_cast<int64_t>(
        InquireKernel(handles_, *digitizer, kTriggerInquire, CallerKernelId(ctx), ctx));
    digitizer->SetGrabTriggerState(trigger == Q_ENABLE ? Q_ENABLE : Q_DISABLE);
  }
  if (out != nullptr) *out = index;
  if (ctx.ErrorCode() == 0) os::Sleep(kAllocationSettleMs);
  return 1;
}

int64_t QDHwSpecSystem::DigFree(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  const int64_t index = digitizer->GetIndex();
  StopProcessing(*digitizer, &ctx);
  DigGrabWaitFor(index, kernel::kWaitGrabEnd, ctx);
  if (ctx.ErrorCode() != 0) {
    ctx.SetError(0, 0, 0, 0);
    ControlDigitizerInteger(index, kernel::kGrabAbort, Q_DEFAULT, ctx);
  }
  foundation::CError error;
  kernel::DigRecordRequest request{};
  request.header = frame::FreshHeader(error);
  request.record = digitizer->CopyChannelBlock();
  frame::LLsysRequest(handles_, kernel::kDigFree, request, error, &ctx);
  StopDigitizerHooks(*digitizer);
  RemoveDigitizer(digitizer);
  return 1;
}

}  // namespace zor::board
