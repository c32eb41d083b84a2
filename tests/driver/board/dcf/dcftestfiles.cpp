#include "tests/driver/board/dcf/dcftestfiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>

#include "platform/os/core/error.h"
#include "platform/os/process/environment.h"
#include "platform/os/registry/registry.h"

namespace dcftest {

namespace fs = std::filesystem;

DcfFolder::DcfFolder() {
  static std::atomic<int> counter{0};
  root_ = fs::temp_directory_path() /
          ("zordcf" + std::to_string(getpid()) + "_" + std::to_string(counter++));
  fs::create_directories(root_);
}

DcfFolder::~DcfFolder() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path DcfFolder::Write(const std::string& name, const std::string& text) const {
  const fs::path path = root_ / name;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string DcfWith(const std::string& sectionLines) {
  return "DRAVIONLYN\n[REG_DIGIT]\n" + sectionLines + "[EOF]\n";
}

uint32_t Word(const Block& block, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, block.data() + offset, sizeof(value));
  return value;
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
  os::SetEnvironmentVariable(name, value.c_str());
}

void UnsetEnv(const wchar_t* name) { os::SetEnvironmentVariable(name, nullptr); }

void SetRegisteredDcfPath(const std::wstring& value) {
  os::Handle key = os::kNullHandle;
  ASSERT_EQ(os::RegCreateKey(os::HKEY_LOCAL_MACHINE, L"Software\\Velant\\Imaging Board\\DravionLyn",
                             os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS, &key, nullptr),
            os::ERROR_SUCCESS);
  os::RegSetValue(key, L"DCFPATH", os::REG_SZ, value.c_str(),
                  static_cast<uint32_t>((value.size() + 1) * sizeof(wchar_t)));
  os::RegCloseKey(key);
}

}  // namespace dcftest
