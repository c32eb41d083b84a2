#pragma once

#include <string>
#include <vector>

#include "platform/genapi/firmwareupdate/updateinfo.h"

namespace GenICam {

// A GUF file: a zip holding manifest.xml and the firmware payloads.
class GufArchive {
 public:
  // Reads and checks the archive; raises a RuntimeException naming the path
  // when it is not a valid GUF file.
  explicit GufArchive(const std::string& path);

  const std::vector<CFirmwareUpdateInfo>& Updates() const { return updates_; }
  std::string Payload(const CFirmwareUpdateInfo& info) const;

 private:
  std::string path_;
  std::string data_;
  std::vector<CFirmwareUpdateInfo> updates_;
};

// Writes a GUF file with the given entries and payloads (one per entry).
void WriteGufFile(const std::string& path, const std::vector<CFirmwareUpdateInfo>& updates,
                  const std::vector<std::string>& payloads);

}  // namespace GenICam
