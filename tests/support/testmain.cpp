// Every test process gets its own registry root, removed when the tests end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string root;
  if (getenv("ZOR_REGISTRY_ROOT") == nullptr) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zortest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    root = pattern;
    setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
  }
  int result = RUN_ALL_TESTS();
  if (!root.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  return result;
}
