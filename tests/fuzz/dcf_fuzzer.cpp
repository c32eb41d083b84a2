// Camera configuration files: reads the input as a DCF file into a register
// block. A file either fails with 4312 sub-code 1, or gives a block in which
// exactly the keys it names are flagged and every other byte is as preset.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/board/dcf/dcfregisterparser.h"
#include "driver/board/dcf/dcfregistertable.h"

namespace {

namespace fs = std::filesystem;
using namespace zor::board;

constexpr uint8_t kPreset = 0xA5;

// A file of this process's own, removed at exit.
class DcfFile {
 public:
  DcfFile()
      : folder_(fs::temp_directory_path() / ("zorfuzz-dcf-" + std::to_string(getpid()))),
        file_(folder_ / "camera.dcf") {
    fs::create_directories(folder_);
  }
  ~DcfFile() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  const fs::path& Write(const uint8_t* data, size_t size) {
    std::ofstream(file_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file_;
  }

 private:
  fs::path folder_;
  fs::path file_;
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "dcf: %s\n", what);
  std::abort();
}

size_t Width(const DcfRegisterRow& row) {
  return row.kind == kDcfKind32 ? 4 : row.kind == kDcfKind16 ? 2 : 1;
}

bool Names(std::string_view text, const wchar_t* name) {
  const std::string narrow(name, name + std::wcslen(name));
  return text.find(narrow) != std::string_view::npos;
}

void CheckBlock(const std::vector<uint8_t>& block, std::string_view text) {
  std::vector<bool> written(kDcfValueImageSize, false);
  const auto table = DcfRegisterTable();
  for (size_t i = 0; table[i].kind != kDcfKindEnd; ++i) {
    const DcfRegisterRow& row = table[i];
    const uint8_t flag = block[kDcfFlagsOffset + row.position];
    if (flag > 1) Fail("a flag other than 0 or 1");
    if (flag == 0) continue;
    if (!Names(text, row.name)) Fail("a key flagged that the file does not name");
    std::fill_n(written.begin() + static_cast<std::ptrdiff_t>(row.position), Width(row), true);
  }
  for (size_t at = 0; at < kDcfValueImageSize; ++at) {
    if (!written[at] && block[at] != kPreset) Fail("a value changed that no key gives");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DcfFile file;
  const std::wstring path = file.Write(data, size).wstring();
  // The block is exactly its size, so that a write beyond it is caught.
  std::vector<uint8_t> block(kDcfBlockSize, kPreset);
  std::fill(block.begin() + kDcfFlagsOffset, block.end(), uint8_t{0});
  const DcfRegisterParser parser(path.c_str(), block.data(), 0);
  if (parser.errorSet != 0) {
    if (parser.code != kDigitizerAllocationError || parser.subCode != kDcfErrorSubCode) {
      Fail("an error other than 4312/1");
    }
    return 0;
  }
  CheckBlock(block, std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
