// The schema tree: categories, selectors and their selected features, nodes met twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using zor::genicam::NodeMapJsonWriter;

namespace {

const char* const kMap =
    "<Category Name='Root'><pFeature>CatA</pFeature><pFeature>CatB</pFeature></Category>"
    "<Category Name='CatA'><pFeature>Width</pFeature><pFeature>Width</pFeature>"
    "<pFeature>GainSelector</pFeature><pFeature>Gain</pFeature></Category>"
    "<Category Name='CatB'><pFeature>Width</pFeature><pFeature>Hidden</pFeature></Category>"
    "<Integer Name='Width'><DisplayName>Image width</DisplayName><Value>640</Value></Integer>"
    "<Integer Name='Hidden'><Visibility>Invisible</Visibility><Value>1</Value></Integer>"
    "<Enumeration Name='GainSelector'><pSelected>Gain</pSelected>"
    "<EnumEntry Name='All'><Value>0</Value></EnumEntry>"
    "<EnumEntry Name='Red'><Value>1</Value></EnumEntry><Value>0</Value></Enumeration>"
    "<Integer Name='Gain'><pIndex>GainSelector</pIndex><ValueIndexed Index='0'>10</ValueIndexed>"
    "<ValueIndexed Index='1'>20</ValueIndexed></Integer>";

std::vector<std::string> Names(const rapidjson::Value& list) {
  std::vector<std::string> names;
  for (const auto& element : list.GetArray()) names.emplace_back(element["Name"].GetString());
  return names;
}

const rapidjson::Value& Schema(genapitest::TestMap& m, rapidjson::Document& document) {
  NodeMapJsonWriter writer;
  const std::string text = writer.WriteNodeMap("Cam", "My camera", *m.ref._Ptr);
  EXPECT_EQ(genicamtest::JsonError(text, document), "");
  return document["Schema"][0];
}

}  // namespace

TEST(SchemaDocument, CategoriesListEachChildOncePerParent) {
  genapitest::TestMap m(kMap);
  rapidjson::Document document;
  const rapidjson::Value& schema = Schema(m, document);
  EXPECT_EQ(Names(schema["Children"]), (std::vector<std::string>{"CatA", "CatB"}));
  const rapidjson::Value& catA = schema["Children"][0];
  EXPECT_EQ(Names(catA["Children"]), (std::vector<std::string>{"Width", "GainSelector"}));
  EXPECT_STREQ(catA["Children"][0]["DisplayName"].GetString(), "Image width");
  // The same node under another parent is written there too; an invisible one is not.
  EXPECT_EQ(Names(schema["Children"][1]["Children"]), (std::vector<std::string>{"Width"}));
}

TEST(SchemaDocument, SelectedFeaturesHangUnderTheirSelectorWithTheEntries) {
  genapitest::TestMap m(kMap);
  rapidjson::Document document;
  const rapidjson::Value& selector = Schema(m, document)["Children"][0]["Children"][1];
  ASSERT_STREQ(selector["Name"].GetString(), "GainSelector");
  EXPECT_EQ(genicamtest::MemberNames(selector),
            (std::vector<std::string>{"Name", "DisplayName", "ValidValuesList", "Children"}));
  EXPECT_EQ(selector["ValidValuesList"].Size(), 2u);
  EXPECT_EQ(Names(selector["Children"]), (std::vector<std::string>{"Gain"}));
}

TEST(SchemaDocument, WithoutExpandingOnlyTheTopLevelIsWritten) {
  genapitest::TestMap m(kMap);
  NodeMapJsonWriter writer;
  writer.SetDeviceName("Cam");
  writer.SetMode(NodeMapJsonWriter::kSchemaDocument);
  node_vector children;
  m.Node("Root")->GetChildren(children, ctReadingChildren);
  rapidjson::Document document;
  ASSERT_EQ(genicamtest::JsonError(writer.WriteNodeList(children, false), document), "");
  for (const auto& category : document[0]["Children"].GetArray()) {
    EXPECT_FALSE(category.HasMember("Children"));
  }
}

TEST(SchemaDocument, SnapshotStateHoldsEveryListedNodeKeyedByName) {
  genapitest::TestMap m(kMap);
  NodeMapJsonWriter writer;
  rapidjson::Document document;
  ASSERT_EQ(genicamtest::JsonError(writer.WriteNodeMap("Cam", "", *m.ref._Ptr), document), "");
  const rapidjson::Value& nodes = document["Data"]["Cam"]["Nodes"];
  EXPECT_EQ(nodes["Gain"]["Value"].GetInt64(), 10);
  EXPECT_STREQ(nodes["GainSelector"]["SymbolicValue"].GetString(), "EnumEntry_GainSelector_All");
  EXPECT_FALSE(nodes.HasMember("Root"));
  EXPECT_FALSE(nodes.HasMember("Hidden"));
}
