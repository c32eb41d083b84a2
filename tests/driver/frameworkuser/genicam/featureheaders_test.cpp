// Feature headers made of the carried XML and of real device files by the
// installed style sheets: they compile and name every feature.
#include "driver/frameworkuser/genicam/featureheaders/featureheaders.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/genapi/genapi.h"
#include "tests/support/testdata/testdata.h"

namespace zor::genicam {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Every feature of the map, by the names a header must carry.
std::vector<std::string> FeatureNames(GenApi::CNodeMapRef& map) {
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  std::vector<std::string> names;
  for (GenApi::INode* node : nodes) {
    if (node->IsFeature()) names.push_back(node->GetName().c_str());
  }
  return names;
}

// Compiles the headers into one translation unit with the project's compiler.
bool Compiles(const fs::path& folder, const std::vector<std::string>& headers) {
  const fs::path unit = folder / "headers.cpp";
  std::ofstream source(unit);
  for (const std::string& header : headers) source << "#include \"" << header << "\"\n";
  source.close();
  const std::string command =
      std::string(ZOR_TEST_CXX) + " -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I" +
      ZOR_TEST_SOURCE_ROOT + " -I" + folder.string() + " " + unit.string() + " 2>&1";
  return std::system(command.c_str()) == 0;
}

void ExpectNamesEveryFeature(const std::string& pointers, const std::string& params,
                             const std::vector<std::string>& features) {
  ASSERT_FALSE(features.empty());
  for (const std::string& name : features) {
    EXPECT_NE(pointers.find("nodeMap.GetNode(\"" + name + "\")"), std::string::npos) << name;
    EXPECT_NE(params.find("= \"" + name + "\";"), std::string::npos) << name;
  }
}

class FeatureHeaders : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zorheaders.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    previous_ = fs::current_path();
    fs::current_path(folder_);
    setenv("ZOR_GENICAM_PATH", ZOR_TEST_GENICAM_PATH, 1);
    LoadGenICamXmlResources(resources_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
  fs::path previous_;
  std::vector<GenICamXmlResource> resources_;
};

TEST_F(FeatureHeaders, BothCarriedResourcesGiveHeadersThatCompileAndNameEveryFeature) {
  ASSERT_EQ(resources_.size(), 2u);
  GenerateFeatureHeaders(resources_, GenICamRootFolder());
  std::vector<std::string> headers;
  for (const char* name : {"_SYS_ZORID", "_DIG_ZORID"}) {
    const std::string pointers = ReadText(folder_ / (std::string(name) + "Header.h"));
    const std::string params = ReadText(folder_ / (std::string(name) + "Params.h"));
    headers.push_back(std::string(name) + "Header.h");
    headers.push_back(std::string(name) + "Params.h");
    const GenICamXmlResource& resource = resources_[headers.size() / 2 - 1];
    GenApi::CNodeMapRef map("Device");
    map._Initialize(
        GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resource.data, resource.size)
            .CreateNodeMap("Device"));
    ExpectNamesEveryFeature(pointers, params, FeatureNames(map));
  }
  EXPECT_NE(ReadText(folder_ / "_SYS_ZORIDParams.h").find("namespace QsysControl_Params"),
            std::string::npos);
  EXPECT_TRUE(Compiles(folder_, headers));
}

TEST_F(FeatureHeaders, RunningAgainOverwritesEveryFile) {
  GenerateFeatureHeaders(resources_, GenICamRootFolder());
  const std::string first = ReadText(folder_ / "_DIG_ZORIDHeader.h");
  const char* files[] = {"_SYS_ZORIDHeader.h", "_SYS_ZORIDParams.h", "_DIG_ZORIDHeader.h",
                         "_DIG_ZORIDParams.h"};
  for (const char* file : files) std::ofstream(folder_ / file, std::ios::trunc) << "stale";
  GenerateFeatureHeaders(resources_, GenICamRootFolder());
  for (const char* file : files) {
    EXPECT_EQ(ReadText(folder_ / file).find("stale"), std::string::npos) << file;
  }
  EXPECT_EQ(ReadText(folder_ / "_DIG_ZORIDHeader.h"), first);
}

TEST_F(FeatureHeaders, MissingStyleSheetsOrRootWriteNothingAndRaiseNothing) {
  unsetenv("ZOR_GENICAM_PATH");
  EXPECT_EQ(GenICamRootFolder(), L"v3_1");
  EXPECT_NO_THROW(GenerateFeatureHeaders(resources_, GenICamRootFolder()));
  EXPECT_NO_THROW(GenerateFeatureHeaders(resources_, (folder_ / "nowhere").wstring()));
  EXPECT_TRUE(fs::is_empty(folder_));
}

// Real device files carry names and values of every kind; their headers must
// compile as well.
TEST_F(FeatureHeaders, RealDeviceFilesGiveHeadersThatCompile) {
  const std::string sheets = std::string(ZOR_TEST_GENICAM_PATH) + "/v3_1/xml/GenApi/";
  std::vector<std::string> headers;
  for (const char* file : {"avt-mako-g030b.xml", "pgr-flea3-ge-28s4c.xml",
                           "tucsen-dhyana6060bsi-cxp.xml", "aravis-tests-genicam.xml"}) {
    const std::string path = zortest::TestDataPath(std::string("genicam/") + file);
    GenApi::CNodeMapFactory factory(GenApi::ContentType_Xml, path.c_str());
    const std::string stem = fs::path(file).stem().string();
    std::ofstream(folder_ / (stem + "Header.h"))
        << factory.ApplyStyleSheet((sheets + "GenApi_Ptr_h.xsl").c_str());
    std::ofstream(folder_ / (stem + "Params.h"))
        << factory.ApplyStyleSheet((sheets + "GenApi_Params_h.xsl").c_str());
    headers.push_back(stem + "Header.h");
    headers.push_back(stem + "Params.h");
  }
  EXPECT_TRUE(Compiles(folder_, headers));
}

}  // namespace
}  // namespace zor::genicam
