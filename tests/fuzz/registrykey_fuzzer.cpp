// Registry key files: loads the text as a key's file and, when it loads, writes the key back
// and loads it again. What the second load finds must be what the first found: a key that
// changes by being saved loses data.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/core/error.h"
#include "platform/os/registry/key_file.h"

namespace {

namespace fs = std::filesystem;
using os::detail::KeyFile;

// A key folder of this process's own, removed at exit.
class KeyFolder {
 public:
  KeyFolder()
      : root_(fs::temp_directory_path() / ("zorfuzz-registry-" + std::to_string(getpid()))),
        key_(root_ / "key") {
    fs::create_directories(key_);
  }
  ~KeyFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  const fs::path& Write(const uint8_t* data, size_t size) {
    std::ofstream(key_ / ".key", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return key_;
  }

 private:
  fs::path root_;
  fs::path key_;
};

bool Same(const KeyFile& a, const KeyFile& b) {
  if (a.name != b.name || a.bootId != b.bootId || a.values.size() != b.values.size()) return false;
  for (size_t i = 0; i < a.values.size(); ++i) {
    const auto& x = a.values[i];
    const auto& y = b.values[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static KeyFolder folder;
  const fs::path& key = folder.Write(data, size);
  KeyFile first;
  if (os::detail::LoadKey(key, &first) != os::ERROR_SUCCESS) return 0;
  const uint32_t saved =
      os::detail::ChangeKey(key, false, [](KeyFile&, bool) { return os::ERROR_SUCCESS; });
  KeyFile second;
  if (saved != os::ERROR_SUCCESS || os::detail::LoadKey(key, &second) != os::ERROR_SUCCESS ||
      !Same(first, second)) {
    std::fprintf(stderr, "registry key changed by saving it\n");
    std::abort();
  }
  return 0;
}
