// Every test gets its own registry root, so that a test reads nothing an earlier test of the same
// process wrote; the roots are removed when the tests end. A root the environment names already
// (a test's child process) is kept.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>

namespace {

class RegistryRootPerTest : public testing::EmptyTestEventListener {
 public:
  explicit RegistryRootPerTest(std::filesystem::path parent) : parent_(std::move(parent)) {}

  // Roots stay until the process ends: a thread of an ended test may still write there.
  void OnTestStart(const testing::TestInfo& /*test*/) override {
    const std::filesystem::path root = parent_ / std::to_string(++tests_);
    std::filesystem::create_directories(root);
    setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
  }

 private:
  std::filesystem::path parent_;
  int tests_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string parent;
  if (getenv("ZOR_REGISTRY_ROOT") == nullptr) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zortest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    parent = pattern;
    testing::UnitTest::GetInstance()->listeners().Append(new RegistryRootPerTest(parent));
  }
  int result = RUN_ALL_TESTS();
  if (!parent.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(parent, ignored);
  }
  return result;
}
