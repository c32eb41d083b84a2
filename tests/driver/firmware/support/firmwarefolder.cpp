#include "tests/driver/firmware/support/firmwarefolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/os/process/environment.h"
#include "platform/os/registry/registry.h"
#include "platform/os/text/convert.h"

namespace firmwaretest {
namespace fs = std::filesystem;

namespace {
constexpr const wchar_t* kBoardKey = L"Software\\Velant\\Imaging Board\\DravionLyn";

os::Handle BoardKey() {
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_LOCAL_MACHINE, kBoardKey, os::REG_OPTION_NON_VOLATILE,
                   os::KEY_ALL_ACCESS, &key, nullptr);
  return key;
}
}  // namespace

FirmwareFolder::FirmwareFolder() {
  std::string pattern = (fs::temp_directory_path() / "zorfirmware.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
  root_ = pattern;
  path_ = root_ + "/firmware";
  temp_ = root_ + "/temp";
  fs::copy(ZOR_FIRMWARE_DIR, path_, fs::copy_options::recursive);
  fs::create_directory(temp_);
  // Settings of an earlier test in the same process start from their defaults again.
  for (const wchar_t* name : {L"EnableFirmwareUpdatePopup1", L"EnableFirmwareUpdatePopup2",
                              L"FirmwareShutdownWaitTimeInSec", L"EnableRebootOnFirmwareUpdate"}) {
    RemoveBoardValue(name);
  }
  SetBoardString(L"FirmwarePath", path_);
  os::SetEnvironmentVariable(L"TEMP", os::Utf8ToWide(temp_).c_str());
}

FirmwareFolder::~FirmwareFolder() {
  os::SetEnvironmentVariable(L"TEMP", nullptr);
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void FirmwareFolder::Write(const std::string& relative, const std::string& text) const {
  std::ofstream(path_ + "/" + relative, std::ios::binary) << text;
}

void SetBoardString(const wchar_t* name, const std::string& value) {
  const os::Handle key = BoardKey();
  const std::wstring wide = os::Utf8ToWide(value);
  os::RegSetValue(key, name, os::REG_SZ, wide.c_str(),
                  static_cast<uint32_t>((wide.size() + 1) * sizeof(wchar_t)));
  os::RegCloseKey(key);
}

void SetBoardDword(const wchar_t* name, uint32_t value) {
  const os::Handle key = BoardKey();
  os::RegSetValue(key, name, os::REG_DWORD, &value, sizeof value);
  os::RegCloseKey(key);
}

void RemoveBoardValue(const wchar_t* name) {
  const os::Handle key = BoardKey();
  os::RegDeleteValue(key, name);
  os::RegCloseKey(key);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint32_t> DataWords(const std::string& iscPath) {
  std::istringstream text(ReadFile(iscPath));
  std::vector<uint32_t> words;
  std::string line;
  bool inRepeat = false;
  while (std::getline(text, line)) {
    if (line.find("repeat (") != std::string::npos) {
      inRepeat = true;
    } else if (inRepeat && line.find(')') != std::string::npos) {
      break;
    } else if (inRepeat) {
      words.push_back(static_cast<uint32_t>(std::stoul(line, nullptr, 16)));
    }
  }
  return words;
}

}  // namespace firmwaretest
