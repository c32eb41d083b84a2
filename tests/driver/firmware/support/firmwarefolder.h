// A copy of the driver's firmware folder for one test, registered as the board key's
// "FirmwarePath", with a TEMP folder of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace firmwaretest {

class FirmwareFolder {
 public:
  FirmwareFolder();
  ~FirmwareFolder();
  FirmwareFolder(const FirmwareFolder&) = delete;
  FirmwareFolder& operator=(const FirmwareFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string Bsdl() const { return path_ + "/bsdl_1532"; }
  const std::string& Temp() const { return temp_; }
  // Writes a file below the folder.
  void Write(const std::string& relative, const std::string& text) const;

 private:
  std::string root_;
  std::string path_;
  std::string temp_;
};

// Values under the board key "DravionLyn" of the imaging-board location.
void SetBoardString(const wchar_t* name, const std::string& value);
void SetBoardDword(const wchar_t* name, uint32_t value);
void RemoveBoardValue(const wchar_t* name);

std::string ReadFile(const std::string& path);
// The 32-bit words of an ISC data file's repeat section, in file order.
std::vector<uint32_t> DataWords(const std::string& iscPath);

}  // namespace firmwaretest
