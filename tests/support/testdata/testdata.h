// Files under tests/data, found through the folder the build names. A missing
// file is a broken checkout, so it stops the caller with the file's name.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zortest {

inline std::string TestDataPath(const std::string& relative) {
  std::string path = std::string(ZOR_TESTDATA_DIR) + "/" + relative;
  if (!std::filesystem::is_regular_file(path))
    throw std::runtime_error("test data file missing: " + path);
  return path;
}

inline std::string ReadTestData(const std::string& relative) {
  std::ifstream in(TestDataPath(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace zortest
