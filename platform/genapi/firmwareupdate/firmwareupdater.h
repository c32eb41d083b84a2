#pragma once

#include "platform/genapi/firmwareupdate/interfaces.h"

namespace GenICam {

// Reads GUF files, matches their entries against devices and applies them.
class CFirmwareUpdater {
 public:
  CFirmwareUpdater() = default;
  virtual ~CFirmwareUpdater() = default;

  // Raises a RuntimeException when the file is not a valid GUF file.
  void VerifyGufFile(const gcstring& gufPath);
  // Hands each update entry to the collector until it answers false.
  // pLanguage is accepted for callers of the usual signature; entries carry
  // one description only.
  void ReadFirmwareUpdateInfos(const gcstring& gufPath, IFirmwareUpdateInfoCollector& collector,
                               const char* pLanguage = nullptr);
  // True when the device's model (and vendor, if the entry names one) fit.
  bool FirmwareUpdateMatchesDevice(GenApi::INodeMap* pNodeMap, const CFirmwareUpdateInfo& info);
  // Streams the payload into the entry's register, resets the device and
  // finds it again; raises on failure. pParameters is accepted likewise and
  // not used.
  void ApplyUpdate(IFirmwareUpdatableDevice& device, const CFirmwareUpdateInfo& info,
                   IFirmwareUpdateProgressObserver* pObserver = nullptr,
                   const char* pParameters = nullptr);
};

}  // namespace GenICam
