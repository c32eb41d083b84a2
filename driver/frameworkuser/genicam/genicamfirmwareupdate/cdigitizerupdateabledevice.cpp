// A host digitizer as the updater sees it: quiet allocation, identity, reset and reconnection.
#include "driver/frameworkuser/genicam/genicamfirmwareupdate/cdigitizerupdateabledevice.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/wait.h"

namespace zor::genicam {
namespace {

constexpr int64_t kIdentityInquire = 7714;
constexpr int64_t kStringLength = 0x50000000000;
constexpr int64_t kNodeMapInquire = 6906;
constexpr int64_t kSettleMs = 5000;

}  // namespace

void AllocateDigitizerQuietly(int64_t hostSystemId, int64_t deviceNumber, int64_t& id,
                              ErrorSink* sink) {
  const bool heldBefore = sink != nullptr && sink->ErrorCode() != 0;
  QuietHostBracket quiet;
  id = 0;
  HostDigAlloc(hostSystemId, deviceNumber, L"Q_DEFAULT", Q_DEFAULT, &id);
  if (id == 0 && sink != nullptr && !heldBefore) sink->SetError(0, 0, 0, 0);
}

std::wstring ReadDigitizerIdentity(int64_t digitizerId) {
  QuietHostBracket quiet;
  int64_t length = 0;
  HostDigInquire(digitizerId, kIdentityInquire + kStringLength, &length);
  if (length < 1) return std::wstring();
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
  HostDigInquire(digitizerId, kIdentityInquire, text.data());
  return std::wstring(text.data(), static_cast<size_t>(length - 1));
}

CDigitizerUpdateableDevice::CDigitizerUpdateableDevice(const int64_t& hostSystemId,
                                                       int64_t& digitizerId, int64_t deviceNumber,
                                                       ErrorSink* sink)
    : hostSystemId_(hostSystemId),
      digitizerId_(digitizerId),
      deviceNumber_(deviceNumber),
      sink_(sink) {}

void CDigitizerUpdateableDevice::ReadDeviceIdentifier() {
  std::wstring identity = ReadDigitizerIdentity(digitizerId_);
  if (!identity.empty()) identity_ = std::move(identity);
}

GenApi::INodeMap* CDigitizerUpdateableDevice::GetNodeMap() {
  QuietHostBracket quiet;
  int64_t holder = 0;
  HostDigInquire(digitizerId_, kNodeMapInquire, &holder);
  return holder == 0 ? nullptr : reinterpret_cast<GenApi::CNodeMapRef*>(holder)->_Ptr;
}

GenICam::gcstring CDigitizerUpdateableDevice::GetDeviceIdentifier() {
  return foundation::WStringToUtf8(identity_).c_str();
}

GenApi::INodeMap* CDigitizerUpdateableDevice::ResetAndReconnect(int64_t firstDelayMs,
                                                                int64_t secondDelayMs) {
  GenApi::INodeMap* nodeMap = GetNodeMap();
  GenApi::CCommandPtr reset(nodeMap != nullptr ? nodeMap->GetNode("DeviceReset") : nullptr);
  reset->Execute(false);
  HostDigFree(digitizerId_);
  digitizerId_ = 0;
  const int64_t wait = std::max<int64_t>(firstDelayMs, 0) + std::max<int64_t>(secondDelayMs, 0);
  os::Sleep(static_cast<uint32_t>(std::min<int64_t>(wait + kSettleMs, UINT32_MAX)));

  int64_t count = 0;
  HostSysInquire(hostSystemId_, Q_DIGITIZER_NUM, &count);
  for (int64_t number = 0; number < count; ++number) {
    // A device that does not name itself can only be told by where it is.
    if (identity_.empty() && number != deviceNumber_) continue;
    AllocateDigitizerQuietly(hostSystemId_, number, digitizerId_, sink_);
    if (digitizerId_ == 0) continue;
    if (ReadDigitizerIdentity(digitizerId_) == identity_) {
      deviceNumber_ = number;
      return GetNodeMap();
    }
    HostDigFree(digitizerId_);
    digitizerId_ = 0;
  }
  throw GenICam::RuntimeException("Error, unable to find the device after a reset.",
                                  kFirmwareUpdateSource, __LINE__);
}

}  // namespace zor::genicam
