// The schema tree: categories, selectors and their selected features, nodes met twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/frameworkuser/genicam/expecteddocuments.h"
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

}  // namespace

// The snapshot of the whole map: each child once per parent, the same node under each of its
// parents and an invisible one under none, selected features under their selector with its
// entries, and the state of every listed node keyed by name.
TEST(SchemaDocument, SnapshotHoldsTheTreeAndTheStateOfEveryListedNode) {
  genapitest::TestMap m(kMap);
  NodeMapJsonWriter writer;
  const std::string text = writer.WriteNodeMap("Cam", "My camera", *m.ref._Ptr);
  rapidjson::Document document;
  EXPECT_EQ(genicamtest::JsonError(text, document), "");
  EXPECT_EQ(text, genicamtest::ExpectedDocument("schema snapshot"));
}

TEST(SchemaDocument, WithoutExpandingOnlyTheTopLevelIsWritten) {
  genapitest::TestMap m(kMap);
  NodeMapJsonWriter writer;
  writer.SetDeviceName("Cam");
  writer.SetMode(NodeMapJsonWriter::kSchemaDocument);
  node_vector children;
  m.Node("Root")->GetChildren(children, ctReadingChildren);
  EXPECT_EQ(writer.WriteNodeList(children, false),
            genicamtest::ExpectedDocument("schema top level"));
}
