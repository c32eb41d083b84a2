#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/genapi/base/gcstring.h"

namespace GenICam {

// One update entry of a GUF file: which devices it fits and what it writes.
class CFirmwareUpdateInfo {
 public:
  gcstring GetName() const { return name; }
  gcstring GetVersion() const { return version; }
  gcstring GetDescription() const { return description; }
  gcstring GetVendorName() const { return vendor; }
  const std::vector<std::string>& GetModelNames() const { return models; }

  std::string name;
  std::string version;
  std::string description;
  std::string vendor;               // empty: any vendor
  std::vector<std::string> models;  // DeviceModelName values the update fits
  std::string payload;              // file in the archive holding the firmware
  std::string targetRegister;       // Register node the firmware is streamed into
  int64_t resetDelay = 0;           // milliseconds the device needs to reset
  int64_t reconnectDelay = 0;       // milliseconds until it can be reached again
  std::string gufPath;
};

}  // namespace GenICam
