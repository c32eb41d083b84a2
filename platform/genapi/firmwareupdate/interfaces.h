#pragma once

#include <cstdint>

#include "platform/genapi/api/inodemap.h"
#include "platform/genapi/firmwareupdate/updateinfo.h"

namespace GenICam {

// A device the updater can write, reset and find again.
class IFirmwareUpdatableDevice {
 public:
  virtual ~IFirmwareUpdatableDevice() = default;
  virtual void ReadDeviceIdentifier() = 0;
  virtual GenApi::INodeMap* GetNodeMap() = 0;
  // Resets the device and answers the node map of the reconnected device.
  virtual GenApi::INodeMap* ResetAndReconnect(int64_t resetDelayMs, int64_t reconnectDelayMs) = 0;
  // Told once the update went through.
  virtual void OnUpdateApplied() = 0;
  virtual gcstring GetDeviceIdentifier() = 0;
};

// Receives the update entries of a GUF file; false stops the reading.
class IFirmwareUpdateInfoCollector {
 public:
  virtual ~IFirmwareUpdateInfoCollector() = default;
  virtual bool OnUpdateInfo(const CFirmwareUpdateInfo& info) = 0;
};

// Shows how far an update has come.
class IFirmwareUpdateProgressObserver {
 public:
  virtual ~IFirmwareUpdateProgressObserver() = default;
  virtual void BeginProgress(const gcstring& title, int64_t stepCount) = 0;
  virtual void ReportProgressText(int64_t step, const gcstring& text) = 0;
  virtual void ReportProgressValue(int64_t step, double percent) = 0;
  virtual void CompleteProgressStep(int64_t step) = 0;
  virtual void EndProgress(bool succeeded) = 0;
  virtual void ReportWarning(const gcstring& text) = 0;
};

}  // namespace GenICam
