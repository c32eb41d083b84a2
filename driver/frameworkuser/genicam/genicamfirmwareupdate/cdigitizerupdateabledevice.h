// One host digitizer as the firmware updater sees it: its identity, its node
// map, and its reset with the reconnection that follows.
#pragma once

#include <cstdint>
#include <string>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

// The source that the firmware update's exceptions name.
inline constexpr const char* kFirmwareUpdateSource = "genicamfirmwareupdate";

class CDigitizerUpdateableDevice : public GenICam::IFirmwareUpdatableDevice {
 public:
  // digitizerId: the caller's variable, which a reconnection points at the
  // digitizer allocated anew; deviceNumber: where that digitizer was allocated.
  CDigitizerUpdateableDevice(const int64_t& hostSystemId, int64_t& digitizerId,
                             int64_t deviceNumber, ErrorSink* sink);

  void ReadDeviceIdentifier() override;
  GenApi::INodeMap* GetNodeMap() override;
  GenApi::INodeMap* ResetAndReconnect(int64_t firstDelayMs, int64_t secondDelayMs) override;
  void OnUpdateApplied() override {}
  GenICam::gcstring GetDeviceIdentifier() override;

 private:
  const int64_t& hostSystemId_;
  int64_t& digitizerId_;
  int64_t deviceNumber_;
  ErrorSink* sink_;
  std::wstring identity_;
};

// Allocates the digitizer of that device number into id (0 when it cannot
// be); a refusal is no error of the update, so it is withdrawn from the sink.
void AllocateDigitizerQuietly(int64_t hostSystemId, int64_t deviceNumber, int64_t& id,
                              ErrorSink* sink);

// The identity text of a host digitizer, empty when it has none.
std::wstring ReadDigitizerIdentity(int64_t digitizerId);

}  // namespace zor::genicam
