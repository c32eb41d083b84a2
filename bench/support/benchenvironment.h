// The machine-wide set-up an installer makes, in a temporary folder of the bench's
// own: a registry root, the GenICam runtime's root and its XML repository, and the
// standard camera files. Returns the folder, or an empty path when it cannot be made.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace zorbench {

inline std::filesystem::path MakeBenchEnvironment(const char* stem) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / (std::string(stem) + ".XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  const fs::path folder(pattern);
  fs::create_directories(folder / "registry");
  fs::create_directories(folder / "genicam" / "v3_1");
  fs::create_directories(folder / "xml");
  setenv("ZOR_REGISTRY_ROOT", (folder / "registry").c_str(), 1);
  setenv("ZOR_GENICAM_PATH", (folder / "genicam").c_str(), 1);
  setenv("ZOR_XML_REPOSITORY", (folder / "xml").c_str(), 1);
#ifdef ZOR_STANDARD_DCF_DIR
  setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
#endif
  return folder;
}

}  // namespace zorbench
