// Every document of every node of the real camera files: valid JSON, keys in protocol order,
// protocol words only, fallbacks and the node error table for nodes whose reads fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/driver/frameworkuser/genicam/realdevice.h"

using namespace GenApi;
using zor::genicam::NodeMapJsonWriter;

namespace {

using Keys = std::vector<std::string>;

Keys Concat(Keys a, const Keys& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Keys of a state entry in order, optional ones included.
Keys StateKeys(EInterfaceType type, bool valuesOnly) {
  Keys keys{"Name"};
  if (!valuesOnly) {
    keys = Concat(
        keys, {"DisplayName", "ToolTip", "Description", "InterfaceType", "Visibility", "DocuURL"});
  }
  switch (type) {
    case intfIInteger:
      keys = Concat(keys, {"Value", "AccessMode", "Increment", "Max", "Min"});
      if (!valuesOnly) {
        keys = Concat(keys, {"IncrementMode", "Representation", "Unit", "ValidValuesList"});
      }
      return keys;
    case intfIFloat:
      keys = Concat(keys, {"Value", "AccessMode", "Increment", "Max", "Min"});
      if (!valuesOnly) {
        keys = Concat(keys, {"DisplayNotation", "DisplayPrecision", "Representation",
                             "IncrementMode", "Unit", "ValidValuesList"});
      }
      return keys;
    case intfIBoolean:
    case intfIString:
    case intfIRegister:
    case intfICategory:
      return Concat(keys, {"AccessMode", "Value"});
    case intfICommand:
      return Concat(keys, {"AccessMode", "IsDone", "Value"});
    case intfIEnumeration:
      return Concat(keys, {"AccessMode", "IntValue", "Value", "SymbolicValue"});
    case intfIEnumEntry:
      return Concat(keys, {"AccessMode", "IntValue", "IsSelfClearing", "Value"});
    default:
      return keys;
  }
}

Keys DescriptionKeys(EInterfaceType type) {
  Keys keys{"Name",          "GenICamError", "DisplayName", "ToolTip",   "Description",
            "InterfaceType", "Visibility",   "DocuURL",     "Properties"};
  switch (type) {
    case intfIInteger:
      return Concat(keys, {"IncrementMode", "Increment", "Max", "Min", "Value", "AccessMode",
                           "Representation", "Unit", "ValidValuesList"});
    case intfIFloat:
      return Concat(
          keys, {"Increment", "Max", "Min", "Value", "AccessMode", "DisplayNotation",
                 "DisplayPrecision", "Representation", "IncrementMode", "Unit", "ValidValuesList"});
    case intfIBoolean:
    case intfIString:
    case intfIRegister:
      return Concat(keys, {"AccessMode", "Value"});
    case intfICommand:
      return Concat(keys, {"AccessMode", "IsDone", "Value"});
    case intfICategory:
      return Concat(keys, {"AccessMode", "Value", "Children"});
    case intfIEnumeration:
      return Concat(keys, {"AccessMode", "IntValue", "Value", "SymbolicValue", "ValidValuesList",
                           "Children"});
    case intfIEnumEntry:
      return Concat(keys, {"AccessMode", "IntValue", "IsSelfClearing", "Value"});
    default:
      return keys;
  }
}

const std::set<std::string> kAlwaysThere{
    "Name", "DisplayName", "ToolTip", "Description", "DocuURL", "AccessMode", "Properties",
    "Max",  "Min",         "IsDone",  "IntValue",    "Value",   "Visibility", "InterfaceType"};

// The keys present, in the order of the full list, with every key that must be there.
Keys Expected(const Keys& full, const Keys& actual) {
  Keys expected;
  for (const std::string& key : full) {
    const bool present = std::find(actual.begin(), actual.end(), key) != actual.end();
    if (present || kAlwaysThere.count(key) != 0) expected.push_back(key);
  }
  return expected;
}

bool IsPrefix(const Keys& prefix, const Keys& of) {
  return prefix.size() <= of.size() && std::equal(prefix.begin(), prefix.end(), of.begin());
}

const std::map<std::string, std::set<std::string>> kWords{
    {"AccessMode",
     {"NotImplemented", "NotAvailable", "WriteOnly", "ReadOnly", "ReadWrite", "Undefined"}},
    {"CachingMode", {"NoCache", "WriteThrough", "WriteAround", "Undefined"}},
    {"DisplayNotation", {"Automatic", "Fixed", "Scientific", "Undefined"}},
    {"IncrementMode", {"None", "Fixed", "List"}},
    {"InterfaceType",
     {"Value", "Base", "Integer", "Boolean", "Command", "Float", "String", "Register", "Category",
      "Enumeration", "EnumEntry", "Port"}},
    {"Namespace", {"Custom", "Standard", "Undefined"}},
    {"Representation",
     {"Linear", "Logarithmic", "Boolean", "PureNumber", "HexNumber", "IPV4Address", "MACAddress",
      "Undefined"}},
    {"Visibility", {"Beginner", "Expert", "Guru", "Invisible", "Undefined"}},
};

// Every protocol word anywhere in the document comes from its table.
void ExpectProtocolWords(const rapidjson::Value& value, const std::string& where) {
  if (value.IsArray()) {
    for (const auto& element : value.GetArray()) ExpectProtocolWords(element, where);
  } else if (value.IsObject()) {
    for (const auto& member : value.GetObject()) {
      const auto words = kWords.find(member.name.GetString());
      if (words != kWords.end() && member.value.IsString()) {
        EXPECT_EQ(words->second.count(member.value.GetString()), 1u)
            << where << ": " << member.name.GetString() << " = " << member.value.GetString();
      }
      ExpectProtocolWords(member.value, where);
    }
  }
}

std::string Write(INode* node, uint32_t mode, uint32_t valuesOnly, NodeMapJsonWriter& writer) {
  writer.SetDeviceName("Device");
  writer.SetMode(mode);
  writer.SetValuesOnly(valuesOnly);
  return writer.WriteNodeList({node}, false);
}

}  // namespace

TEST(NodeMapJsonRealFiles, SnapshotOfEveryFileIsValidJsonWithDataThenSchema) {
  const std::string checker = genicamtest::ExternalJsonChecker();
  for (const char* file : genicamtest::kRealFiles) {
    SCOPED_TRACE(file);
    genicamtest::RealDevice device(file);
    NodeMapJsonWriter writer;
    const std::string text = writer.WriteNodeMap(file, "Camera", device.Map());
    rapidjson::Document document;
    ASSERT_EQ(genicamtest::JsonError(text, document), "");
    EXPECT_EQ(genicamtest::MemberNames(document), (Keys{"Data", "Schema"}));
    const rapidjson::Value& nodes = document["Data"][file]["Nodes"];
    EXPECT_GT(nodes.MemberCount(), 5u);
    EXPECT_FALSE(nodes.HasMember("Root"));
    const rapidjson::Value& schema = document["Schema"][0];
    EXPECT_STREQ(schema["Name"].GetString(), file);
    EXPECT_STREQ(schema["UserName"].GetString(), "Camera");
    EXPECT_GT(schema["Children"].Size(), 0u);
    ExpectProtocolWords(document, file);
    if (!checker.empty()) {
      EXPECT_TRUE(genicamtest::ExternalCheckAccepts(checker, text)) << checker;
    }
  }
}

TEST(NodeMapJsonRealFiles, EveryDocumentOfEveryNodeKeepsItsKeysInProtocolOrder) {
  int statesChecked = 0;
  int descriptionsCut = 0;
  for (const char* file : genicamtest::kRealFiles) {
    SCOPED_TRACE(file);
    genicamtest::RealDevice device(file);
    for (INode* node : device.Nodes()) {
      const std::string name = node->GetName().str();
      const EInterfaceType type = node->GetPrincipalInterfaceType();
      for (uint32_t valuesOnly : {0u, 1u}) {
        NodeMapJsonWriter writer;
        rapidjson::Document state;
        ASSERT_EQ(genicamtest::JsonError(Write(node, 1, valuesOnly, writer), state), "") << name;
        const rapidjson::Value& listed = state["Device"]["Nodes"];
        if (!listed.HasMember(name.c_str())) continue;  // not selected
        const Keys keys = genicamtest::MemberNames(listed[name.c_str()]);
        EXPECT_EQ(keys, Expected(StateKeys(type, valuesOnly != 0), keys)) << name;
        ExpectProtocolWords(state, name);
        ++statesChecked;
      }
      NodeMapJsonWriter writer;
      rapidjson::Document description;
      ASSERT_EQ(genicamtest::JsonError(Write(node, 0, 0, writer), description), "") << name;
      if (description[0].HasMember("Children")) {
        const Keys keys = genicamtest::MemberNames(description[0]["Children"][0]);
        const Keys expected = Expected(DescriptionKeys(type), keys);
        if (writer.NodeErrors().empty()) {
          EXPECT_EQ(keys, expected) << name;
        } else {
          // A read that failed outside the guarded ones closes the entry where it happened.
          EXPECT_TRUE(IsPrefix(keys, expected)) << name;
          if (keys != expected) ++descriptionsCut;
        }
        ExpectProtocolWords(description, name);
      }
      NodeMapJsonWriter schemaWriter;
      rapidjson::Document schema;
      schemaWriter.SetExpandChildren(true);
      ASSERT_EQ(genicamtest::JsonError(Write(node, 2, 0, schemaWriter), schema), "") << name;
    }
  }
  EXPECT_GT(statesChecked, 1000);
  EXPECT_GT(descriptionsCut, 0);  // the real files do have nodes that fail to read
}

TEST(NodeMapJsonRealFiles, NodesWhoseValueFailsGetTheFallbackAndAnErrorEntry) {
  int failing = 0;
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
}
