// Every test starts from the same process state as the first: its own registry root (unless the
// environment names one already, as for a test's child process), and the environment as the
// process had it, whatever an earlier test set. The roots are removed when the tests end.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace {

std::map<std::string, std::string> Environment() {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  return variables;
}

class IsolatedTests : public testing::EmptyTestEventListener {
 public:
  // An empty parent leaves the registry root to the environment.
  explicit IsolatedTests(std::filesystem::path parent) : parent_(std::move(parent)) {}

  void OnTestStart(const testing::TestInfo& /*test*/) override {
    environment_ = Environment();
    if (parent_.empty()) return;
    // Roots stay until the process ends: a thread of an ended test may still write there.
    const std::filesystem::path root = parent_ / std::to_string(++tests_);
    std::filesystem::create_directories(root);
    setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
  }

  // Only what changed is written back, so that a test that changed nothing races no thread
  // that reads the environment.
  void OnTestEnd(const testing::TestInfo& /*test*/) override {
    const std::map<std::string, std::string> now = Environment();
    for (const auto& [name, value] : now) {
      if (!environment_.contains(name)) unsetenv(name.c_str());
    }
    for (const auto& [name, value] : environment_) {
      const auto found = now.find(name);
      if (found == now.end() || found->second != value) setenv(name.c_str(), value.c_str(), 1);
    }
  }

 private:
  std::filesystem::path parent_;
  int tests_ = 0;
  std::map<std::string, std::string> environment_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string parent;
  if (getenv("ZOR_REGISTRY_ROOT") == nullptr) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zortest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    parent = pattern;
  }
  testing::UnitTest::GetInstance()->listeners().Append(new IsolatedTests(parent));
  int result = RUN_ALL_TESTS();
  if (!parent.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(parent, ignored);
  }
  return result;
}
