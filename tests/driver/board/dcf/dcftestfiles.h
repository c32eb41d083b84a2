// Camera files written into a test's own folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "interfaces/kernel/digitizerrequests.h"

namespace dcftest {

class DcfFolder {
 public:
  DcfFolder();
  ~DcfFolder();
  DcfFolder(const DcfFolder&) = delete;
  DcfFolder& operator=(const DcfFolder&) = delete;

  // Writes `text` as it stands to `name` (sub-folders are made); returns its path.
  std::filesystem::path Write(const std::string& name, const std::string& text) const;
  const std::filesystem::path& Path() const { return root_; }

 private:
  std::filesystem::path root_;
};

// A well-formed file around the given section lines.
std::string DcfWith(const std::string& sectionLines);

using Block = std::vector<uint8_t>;
inline Block NewBlock() { return Block(zor::kernel::kDcfBlockSize, 0); }

uint32_t Word(const Block& block, size_t offset);

// Sets or clears an environment variable for the test process.
void SetEnv(const wchar_t* name, const std::wstring& value);
void UnsetEnv(const wchar_t* name);
// The board key's "DCFPATH" value in the test's registry root.
void SetRegisteredDcfPath(const std::wstring& value);

}  // namespace dcftest
