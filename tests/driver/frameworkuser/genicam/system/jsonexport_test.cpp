// JSON export files: both documents valid, and a device's model name never
// takes them out of their folder.
#include "driver/frameworkuser/genicam/featurebrowser/jsonexport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/platform/genapi/testmap.h"

namespace zor::genicam {
namespace {

namespace fs = std::filesystem;

class JsonExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zorexport.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    folder_ = root_ / "temp";
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // Every file below the root, by its path relative to the root.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root_).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  fs::path root_;
  fs::path folder_;
  genapitest::TestMap map_{
      "<Category Name='Root'><pFeature>Gain</pFeature></Category>"
      "<Integer Name='Gain'><Value>7</Value></Integer>"};
};

TEST_F(JsonExportTest, SchemaAndDataAreValidJson) {
  ExportNodeMapJson(*map_.ref._Ptr, folder_.string(), "Camera", "Camera");
  // The schema names its user; the data holds the nodes' states.
  for (const auto& [name, key] : {std::pair{"Camera_schema.json", "\"UserName\""},
                                  std::pair{"Camera_data.json", "\"Nodes\""}}) {
    std::ifstream file(folder_ / name);
    std::stringstream text;
    text << file.rdbuf();
    rapidjson::Document document;
    EXPECT_EQ(genicamtest::JsonError(text.str(), document), "") << name;
    EXPECT_NE(text.str().find(key), std::string::npos) << name;
    EXPECT_NE(text.str().find("Gain"), std::string::npos) << name;
    EXPECT_NE(text.str().find("\n    "), std::string::npos) << name;  // indented
  }
}

TEST_F(JsonExportTest, ModelNamesThatNamePathsStayInTheFolder) {
  for (const char* model : {"../escape", "..", "a/b", "/abs", "..\\up", "\x01x", ""}) {
    ExportNodeMapJson(*map_.ref._Ptr, folder_.string(), model, model);
  }
  for (const std::string& file : Files()) {
    EXPECT_EQ(file.rfind("temp/", 0), 0u) << file;
    EXPECT_EQ(fs::path(file).parent_path(), "temp") << file;
  }
  EXPECT_EQ(Files().size(), 14u);
  EXPECT_EQ(ExportFileStem("../escape"), "___escape");
  EXPECT_EQ(ExportFileStem(".."), "__");
  EXPECT_EQ(ExportFileStem("a:b*c?d\"e<f>g|h"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(ExportFileStem("Vendor Model 1.2"), "Vendor Model 1.2");
  EXPECT_EQ(ExportFileStem(""), "_");
}

TEST_F(JsonExportTest, FolderThatCannotBeWrittenIsSkipped) {
  EXPECT_NO_THROW(
      ExportNodeMapJson(*map_.ref._Ptr, (root_ / "missing").string(), "Camera", "Camera"));
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace zor::genicam
