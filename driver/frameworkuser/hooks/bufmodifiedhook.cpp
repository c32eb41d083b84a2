// Turns buffer-modified events into grab-processing notifications and reports grab errors.
#include "driver/frameworkuser/hooks/bufmodifiedhook.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <shared_mutex>

#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/errortable/messagetable.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "interfaces/kernel/deviceevent.h"
#include "platform/host/hostservices.h"

namespace zor::frame {

namespace {

constexpr QINT64 kTellHookEvent = 25;
constexpr uint64_t kRateFlag = 64;
constexpr QINT64 kNotifyFlags = 0xC000000;

uint64_t NotificationFlags(uint64_t eventWord, bool fromDigitizer, bool hasRate) {
  const uint64_t rate = hasRate ? kRateFlag : 0;
  if (eventWord == kernel::kGrabStartWord) return rate | (fromDigitizer ? 0x1000000 : 0x20000000);
  if (eventWord == kernel::kGrabEndWord) return rate | (fromDigitizer ? 0x800000 : 0x20000000);
  if (fromDigitizer) return hasRate ? 0x2000040 : 0x2000000;
  return rate;
}

// Reports a grab error to the host as the failing function's error, without
// disturbing the error the thread holds.
void ReportGrabError(uint64_t code, uint64_t subCode, bool processing) {
  const wchar_t* message = MessageText(static_cast<int64_t>(code), 0);
  const wchar_t* detail = MessageText(static_cast<int64_t>(code), static_cast<int64_t>(subCode));
  QID function = HostFuncAlloc(processing ? L"QdigProcess" : L"QdigGrab", Q_DEFAULT, nullptr);
  QINT64 saved = 0;
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &saved);
  HostFuncErrorReport(function, static_cast<QINT64>(code), L" ", message ? message : L"",
                      detail ? detail : L"", nullptr);
  HostFuncErrorReport(function, 0, nullptr, nullptr, nullptr, nullptr);
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<QINT64>(&saved));
  HostFuncFree(function);
}

// The grab's status goes to the digitizer; the notice covers no more than the buffer holds.
void TakeGrabState(QDDigitizerInfo& digitizer, const QDBufferInfo& buffer,
                   const kernel::BufferModifiedPayload& p, QINT64& count, QINT64& further) {
  if (p.grabStatus[0] != 0) digitizer.StoreGrabStatus(p.grabStatus);
  const auto& d = buffer.Descriptor();
  count = std::min<QINT64>(count, static_cast<QINT64>(d.sizeX));
  further = std::min<QINT64>(further, static_cast<QINT64>(d.sizeY));
}

}  // namespace

int64_t CBufModifiedHook::Invoke(void* /*userData*/, QID eventId, const HOOK_ELEMENT_INFO& info) {
  kernel::BufferModifiedPayload p;
  std::memcpy(&p, info.payload, sizeof(p));
  // Shared references keep both records alive after the list locks are left.
  std::shared_ptr<QDDigitizerInfo> digitizer =
      p.digitizerIndex != 0 ? digitizers_.GetAt(static_cast<int64_t>(p.digitizerIndex)) : nullptr;
  std::shared_ptr<QDBufferInfo> buffer = buffers_.GetAt(static_cast<int64_t>(p.bufferIndex));

  if (digitizer != nullptr && buffer != nullptr && digitizer->ProcessEnableSetting() != Q_ENABLE &&
      !GetEnabledFlag(buffers_, *buffer)) {
    if (p.hostObject != 0) HostBufControl(static_cast<QID>(p.hostObject), Q_GRAB_STATE, 2);
    return 0;
  }

  const bool hasRate = p.rateDenominator != 0;
  const double rate =
      hasRate ? static_cast<double>(p.rateNumerator) / static_cast<double>(p.rateDenominator) : 0.0;
  const QINT64 flags =
      static_cast<QINT64>(NotificationFlags(p.eventWord, digitizer != nullptr, hasRate)) |
      kNotifyFlags;
  auto function = reinterpret_cast<QHOOK_FUNCTION>(p.hookFunction);
  auto hookData = reinterpret_cast<void*>(p.hookData);
  // A processing event without a function of its own goes to the run's
  // processing function: none once the run has stopped. Held on that road only, which the
  // thread-safety analysis does not follow.
  std::shared_lock<QDDigitizerInfo::DeliveryMutex> delivery;
  if (digitizer != nullptr && function == nullptr) {
    delivery = std::shared_lock(digitizer->DeliveryLock());
    if (!digitizer->ProcessingRunning()) return 0;
  }
  QINT64 count = static_cast<QINT64>(p.count);
  QINT64 further = static_cast<QINT64>(p.further);

  const QID hostBuffer = buffer != nullptr ? static_cast<QID>(buffer->HostId()) : 0;
  QID target = static_cast<QID>(p.hostObject);
  if (hostBuffer != 0) {
    target = hostBuffer;
    if (digitizer != nullptr) TakeGrabState(*digitizer, *buffer, p, count, further);
    if (p.grabError != 0 && digitizer != nullptr &&
        digitizer->GetGrabErrorReporting() == Q_ENABLE) {
      ReportGrabError(p.errorCode, p.errorSubCode, digitizer->ProcessingRunning());
    }
    if (digitizer != nullptr) HostInternalControl(hostBuffer, kTellHookEvent, eventId);
  }
  if (target == 0) return 0;
  try {
    HostDigProcessNotify(target, function, hookData, count, further, -1, flags, rate);
  } catch (...) {
    // A function of its own failed alone: the hook thread reports it and goes on. The run's
    // processing function failed its run, which would otherwise wait for this frame for ever.
    if (!delivery.owns_lock()) throw;
    const EscapedException escaped = DescribeCurrentException();
    delivery.unlock();
    digitizer->OnProcessingFunctionFailed(escaped);
  }
  return 0;
}

}  // namespace zor::frame
