// Every document of every node of the real camera files: valid JSON, keys in protocol order,
// protocol words only, fallbacks and the node error table for nodes whose reads fail.
#include <gtest/gtest.h>

#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/frameworkuser/genicam/nodedocumentcheck.h"
#include "tests/driver/frameworkuser/genicam/realdevice.h"

using namespace GenApi;
using zor::genicam::NodeMapJsonWriter;

TEST(NodeMapJsonRealFiles, SnapshotOfEveryFileIsValidJsonWithDataThenSchema) {
  for (const char* file : genicamtest::kRealFiles) {
    SCOPED_TRACE(file);
    genicamtest::RealDevice device(file);
    NodeMapJsonWriter writer;
    genicamtest::CheckSnapshot(writer.WriteNodeMap(file, "Camera", device.Map()), file, "Camera");
  }
}

TEST(NodeMapJsonRealFiles, EveryDocumentOfEveryNodeKeepsItsKeysInProtocolOrder) {
  genicamtest::DocumentCounts counts;
  for (const char* file : genicamtest::kRealFiles) {
    SCOPED_TRACE(file);
    genicamtest::RealDevice device(file);
    for (INode* node : device.Nodes()) genicamtest::CheckNodeDocuments(node, counts);
  }
  EXPECT_GT(counts.statesChecked, 1000);
  EXPECT_GT(counts.descriptionsCut, 0);  // the real files do have nodes that fail to read
}

TEST(NodeMapJsonRealFiles, NodesWhoseValueFailsGetTheFallbackAndAnErrorEntry) {
  int failing = 0;
  int falseBooleans = 0;
  for (const char* file : genicamtest::kRealFiles) {
    SCOPED_TRACE(file);
    genicamtest::RealDevice device(file);
    NodeMapJsonWriter writer;
    writer.SetDeviceName("Device");
    writer.SetMode(NodeMapJsonWriter::kStateDocument);
    const GenApi::node_vector nodes = device.Nodes();
    rapidjson::Document state;
    ASSERT_EQ(genicamtest::JsonError(writer.WriteNodeList(nodes, false), state), "");
    const rapidjson::Value& listed = state["Device"]["Nodes"];
    for (INode* node : nodes) {
      const std::string name = node->GetName().str();
      if (!listed.HasMember(name.c_str())) continue;
      const rapidjson::Value& entry = listed[name.c_str()];
      try {
        if (!IsReadable(node->GetAccessMode())) continue;
      } catch (const GenICam::GenericException&) {
        // An access mode that cannot be had is taken as read-only.
        EXPECT_STREQ(entry["AccessMode"].GetString(), "ReadOnly") << name;
        EXPECT_EQ(writer.NodeErrors().count(name.c_str()), 1u) << name;
        continue;
      }
      const EInterfaceType type = node->GetPrincipalInterfaceType();
      if (type != intfIInteger && type != intfIFloat && type != intfIString &&
          type != intfIBoolean) {
        continue;
      }
      std::string description;
      try {
        CValuePtr(node)->ToString();
        // A readable boolean shows the value it reads, false ones included.
        if (type == intfIBoolean) {
          const bool read = CBooleanPtr(node)->GetValue();
          EXPECT_EQ(entry["Value"].GetBool(), read) << name;
          falseBooleans += read ? 0 : 1;
        }
        continue;
      } catch (const GenICam::GenericException& e) {
        description = e.GetDescription();
      }
      ++failing;
      const rapidjson::Value& value = entry["Value"];
      if (type == intfIString) {
        EXPECT_STREQ(value.GetString(), "") << name;
      } else if (type == intfIBoolean) {
        EXPECT_FALSE(value.GetBool()) << name;
      } else {
        EXPECT_EQ(value.GetDouble(), 0.0) << name;
      }
      const auto error = writer.NodeErrors().find(name.c_str());
      ASSERT_NE(error, writer.NodeErrors().end()) << name;
      EXPECT_EQ(error->second, description);
    }
  }
  EXPECT_GT(failing, 0);
  EXPECT_GT(falseBooleans, 0);
}
