// Runs saved inputs through a fuzz target's entry point without libFuzzer, so the ordinary
// sanitizer build keeps every seed and every fixed crash as a regression test.
//   fuzz_<target> <folder or file>...
// The files of each folder are replayed in name order; sub-folders and hidden files are not
// (a target's "known-open" folder keeps crash inputs of faults still open out of the replay).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool Collect(const fs::path& path, std::vector<fs::path>& files) {
  std::error_code error;
  if (fs::is_regular_file(path, error)) {
    files.push_back(path);
    return true;
  }
  if (!fs::is_directory(path, error)) {
    std::fprintf(stderr, "fuzz replay: no such file or folder: %s\n", path.c_str());
    return false;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
    if (entry.is_regular_file() && !entry.path().filename().string().starts_with(".")) {
      files.push_back(entry.path());
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], files)) return 1;
  }
  if (files.empty()) {
    std::fprintf(stderr, "fuzz replay: no inputs to replay\n");
    return 1;
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    // Named first, so that a sanitizer report can be traced to its input.
    std::fprintf(stderr, "fuzz replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "fuzz replay: %zu inputs, no failure\n", files.size());
  return 0;
}
