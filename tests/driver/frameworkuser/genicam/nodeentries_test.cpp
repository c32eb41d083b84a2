// Entries of single nodes: fallbacks, numbers JSON cannot carry, failing reads, words.
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <utility>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/protocolwords.h"
#include "tests/driver/frameworkuser/genicam/fakenodes.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using genicamtest::FakeFloat;
using genicamtest::FakeInteger;
using genicamtest::FakeRegister;
using genicamtest::MemberNames;
using zor::genicam::NodeMapJsonWriter;

namespace {

struct Written {
  std::string text;
  rapidjson::Document document;
  std::map<GenICam::gcstring, std::string> errors;
};

// Writes one document over the nodes and parses it back; the test fails on invalid JSON.
void WriteDocument(const node_vector& nodes, uint32_t mode, Written& written,
                   uint32_t valuesOnly = 0, bool indented = false) {
  NodeMapJsonWriter writer;
  writer.SetDeviceName("Cam");
  writer.SetMode(mode);
  writer.SetValuesOnly(valuesOnly);
  written.text = writer.WriteNodeList(nodes, indented);
  written.errors = writer.NodeErrors();
  ASSERT_EQ(genicamtest::JsonError(written.text, written.document), "") << written.text;
}

const rapidjson::Value& State(Written& w, const char* name) {
  return w.document["Cam"]["Nodes"][name];
}

const rapidjson::Value& Description(Written& w, size_t index = 0) {
  return w.document[0]["Children"][static_cast<rapidjson::SizeType>(index)];
}

std::string Compact(const rapidjson::Value& value) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  value.Accept(writer);
  return buffer.GetString();
}

}  // namespace

TEST(NodeEntries, UnreadableIntegerGivesZerosInStateAndNullsInDescription) {
  FakeInteger node("Gain");
  node.access_ = WO;
  node.value_ = 5;
  Written state;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, state);
  const rapidjson::Value& s = State(state, "Gain");
  EXPECT_EQ(s["Value"].GetInt64(), 0);
  EXPECT_EQ(s["Increment"].GetInt64(), 1);
  EXPECT_EQ(s["Max"].GetInt64(), 0);
  EXPECT_EQ(s["Min"].GetInt64(), 0);
  EXPECT_STREQ(s["AccessMode"].GetString(), "WriteOnly");
  Written description;
  WriteDocument({&node}, NodeMapJsonWriter::kDescriptionDocument, description);
  for (const char* key : {"Value", "Increment", "Max", "Min"}) {
    EXPECT_TRUE(Description(description)[key].IsNull()) << key;
  }
}

TEST(NodeEntries, ValuesOnlyIntegerHoldsExactlyTheValueKeys) {
  FakeInteger node("Width");
  Written w;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, w, 1);
  EXPECT_EQ(MemberNames(State(w, "Width")),
            (std::vector<std::string>{"Name", "Value", "AccessMode", "Increment", "Max", "Min"}));
}

TEST(NodeEntries, IntegerListIncrementCarriesValidValuesOnlyInListMode) {
  FakeInteger list("Listed");
  list.incMode_ = listIncrement;
  list.list_ = {2, 4, 8};
  FakeInteger fixed("Fixed");
  for (uint32_t mode :
       {NodeMapJsonWriter::kStateDocument, NodeMapJsonWriter::kDescriptionDocument}) {
    Written w;
    WriteDocument({&list, &fixed}, mode, w);
    const rapidjson::Value& l = mode == 1 ? State(w, "Listed") : Description(w, 0);
    const rapidjson::Value& f = mode == 1 ? State(w, "Fixed") : Description(w, 1);
    EXPECT_EQ(Compact(l["ValidValuesList"]), "[2,4,8]");
    EXPECT_STREQ(l["IncrementMode"].GetString(), "List");
    EXPECT_FALSE(f.HasMember("ValidValuesList"));
  }
}

TEST(NodeEntries, FloatsJsonCannotCarryStayNumbersAndTheDocumentStaysValid) {
  FakeFloat nan("NaN");
  nan.value_ = std::nan("");
  nan.hasInc_ = true;
  nan.inc_ = std::nan("");
  FakeFloat inf("Inf");
  inf.value_ = std::numeric_limits<double>::infinity();
  inf.min_ = -std::numeric_limits<double>::infinity();
  inf.max_ = std::numeric_limits<double>::infinity();
  inf.incMode_ = listIncrement;
  inf.list_ = {1.5, std::nan(""), std::numeric_limits<double>::infinity()};
  for (uint32_t mode :
       {NodeMapJsonWriter::kStateDocument, NodeMapJsonWriter::kDescriptionDocument}) {
    Written w;
    WriteDocument({&nan, &inf}, mode, w);
    const rapidjson::Value& n = mode == 1 ? State(w, "NaN") : Description(w, 0);
    const rapidjson::Value& i = mode == 1 ? State(w, "Inf") : Description(w, 1);
    EXPECT_EQ(n["Value"].GetDouble(), 0.0);
    EXPECT_EQ(n["Increment"].GetDouble(), 0.0);
    EXPECT_EQ(i["Value"].GetDouble(), DBL_MAX);
    EXPECT_EQ(i["Min"].GetDouble(), -DBL_MAX);
    EXPECT_EQ(Compact(i["ValidValuesList"]), "[1.5,0.0,1.7976931348623157e308]");
  }
}

TEST(NodeEntries, FloatWithoutIncrementHasNoStateKeyButANullDescription) {
  FakeFloat node("Exposure");
  node.value_ = 2.0;
  Written state;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, state);
  EXPECT_FALSE(State(state, "Exposure").HasMember("Increment"));
  EXPECT_NE(state.text.find("\"Value\":2.0"), std::string::npos);  // integral keeps ".0"
  Written description;
  WriteDocument({&node}, NodeMapJsonWriter::kDescriptionDocument, description);
  EXPECT_TRUE(Description(description)["Increment"].IsNull());
}

TEST(NodeEntries, RegisterBytesAreNumbersAndAFailedReadGivesAnEmptyUnreportedList) {
  FakeRegister node("Lut");
  node.bytes_ = {0x01, 0xFF, 0x00, 0x7F};
  Written w;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, w);
  EXPECT_EQ(Compact(State(w, "Lut")["Value"]), "[1,255,0,127]");
  node.Throw("Get");
  Written failed;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, failed);
  EXPECT_EQ(Compact(State(failed, "Lut")["Value"]), "[]");
  EXPECT_TRUE(failed.errors.empty());
  node.access_ = WO;
  Written unreadable;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, unreadable);
  EXPECT_TRUE(State(unreadable, "Lut")["Value"].IsNull());
}

TEST(NodeEntries, EveryFailingStateReadGivesItsFallbackAndTheFirstErrorIsKept) {
  const std::vector<std::pair<const char*, const char*>> reads{
      {"Value", "Value"},
      {"Max", "Max"},
      {"Min", "Min"},
      {"Inc", "Increment"},
      {"ToolTip", "ToolTip"},
      {"DocuURL", "DocuURL"},
      {"DisplayName", "DisplayName"},
      {"DisplayPrecision", "DisplayPrecision"}};
  for (const auto& [read, key] : reads) {
    SCOPED_TRACE(read);
    FakeFloat node("Gain");
    node.value_ = node.max_ = node.min_ = node.inc_ = 3.0;
    node.hasInc_ = true;
    node.Throw(read);
    node.Throw("Unit");  // read after all the others: its error must not replace the first
    Written w;
    WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, w);
    const rapidjson::Value& s = State(w, "Gain");
    ASSERT_TRUE(s.HasMember(key)) << w.text;
    if (s[key].IsString()) {
      EXPECT_STREQ(s[key].GetString(), std::string(key) == "DisplayName" ? "Gain" : "");
    } else {
      EXPECT_EQ(s[key].GetDouble(), 0.0);
    }
    EXPECT_STREQ(s["Unit"].GetString(), "");
    ASSERT_EQ(w.errors.size(), 1u);
    EXPECT_EQ(w.errors.at("Gain"), std::string(read) + " failed");
  }
}

TEST(NodeEntries, AccessModeAndInterfaceFailuresUseTheirFallbackWords) {
  FakeInteger node("Gain");
  node.Throw("AccessMode");
  FakeInteger broken("Broken");
  broken.Throw("InterfaceType");  // the per-type keys cannot be chosen: the entry ends there
  FakeInteger after("After");
  Written w;
  WriteDocument({&node, &broken, &after}, NodeMapJsonWriter::kStateDocument, w);
  EXPECT_STREQ(State(w, "Gain")["AccessMode"].GetString(), "ReadOnly");
  EXPECT_STREQ(State(w, "Broken")["InterfaceType"].GetString(), "Base");
  EXPECT_FALSE(State(w, "Broken").HasMember("AccessMode"));
  EXPECT_TRUE(State(w, "After").HasMember("Min"));
  EXPECT_EQ(w.errors.at("Broken"), "InterfaceType failed");
}

TEST(NodeEntries, AFailingDescriptionReadClosesOnlyThatNode) {
  FakeFloat failing("Failing");
  failing.Throw("Min");
  FakeFloat next("Next");
  Written w;
  WriteDocument({&failing, &next}, NodeMapJsonWriter::kDescriptionDocument, w);
  EXPECT_TRUE(Description(w, 0).HasMember("Max"));
  EXPECT_FALSE(Description(w, 0).HasMember("Min"));
  EXPECT_STREQ(Description(w, 1)["Name"].GetString(), "Next");
  EXPECT_TRUE(Description(w, 1).HasMember("Unit"));
  EXPECT_EQ(w.errors.at("Failing"), "Min failed");
}

TEST(NodeEntries, ATextThatIsNotUtf8IsRepairedAndValidTextKept) {
  FakeInteger node("Gain");
  node.toolTip_ = "bad \xC3 byte";
  node.displayName_ = "Verst\xC3\xA4rkung \xE2\x82\xAC";
  Written w;
  WriteDocument({&node}, NodeMapJsonWriter::kStateDocument, w);
  EXPECT_STREQ(State(w, "Gain")["ToolTip"].GetString(), "bad \xEF\xBF\xBD byte");
  EXPECT_STREQ(State(w, "Gain")["DisplayName"].GetString(), "Verst\xC3\xA4rkung \xE2\x82\xAC");
}

// Each sequence length at the bounds of its lead and of its following bytes, cut short and
// whole at the end of the text.
TEST(NodeEntries, Utf8SequencesAtTheirBounds) {
  for (const char* valid :
       {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xE1\xBF\xBF", "\xED\x9F\xBF",
        "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(zor::genicam::IsValidUtf8(valid)) << testing::PrintToString(std::string(valid));
  }
  for (const char* invalid :
       {"\x80", "\xC1\xBF", "\xC2\x7F", "\xC2\xC0", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xE1\x80\x7F",
        "\xE1\x80\xC0", "\xE1\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF1\x80\x80\x7F",
        "\xF0\x90\x80", "\xF5\x80\x80\x80"}) {
    EXPECT_FALSE(zor::genicam::IsValidUtf8(invalid))
        << testing::PrintToString(std::string(invalid));
  }
  // Each byte that starts no sequence is replaced alone.
  EXPECT_EQ(zor::genicam::RepairUtf8("\xE1\x80x\xC3"), "\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(NodeEntries, EnumerationWithoutCurrentEntry) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Mode</pFeature></Category>"
      "<Enumeration Name='Mode'><EnumEntry Name='A'><Value>0</Value></EnumEntry>"
      "<EnumEntry Name='B'><Value>1</Value></EnumEntry><Value>7</Value></Enumeration>");
  Written state;
  WriteDocument({m.Node("Mode")}, NodeMapJsonWriter::kStateDocument, state);
  EXPECT_TRUE(State(state, "Mode")["SymbolicValue"].IsNull());
  EXPECT_EQ(State(state, "Mode")["IntValue"].GetInt64(), 7);
  Written description;
  WriteDocument({m.Node("Mode")}, NodeMapJsonWriter::kDescriptionDocument, description);
  EXPECT_FALSE(Description(description).HasMember("SymbolicValue"));
  EXPECT_EQ(Description(description)["ValidValuesList"].Size(), 2u);
}

TEST(NodeEntries, EmptySelectionsGiveTheBareDocuments) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Shown</pFeature></Category>"
      "<Integer Name='Shown'><Visibility>Invisible</Visibility><Value>1</Value></Integer>"
      "<Integer Name='Loose'><Value>1</Value></Integer>");
  const node_vector nodes{m.Node("Root"), m.Node("Shown"), m.Node("Loose")};
  Written description, state, schema;
  WriteDocument(nodes, NodeMapJsonWriter::kDescriptionDocument, description);
  WriteDocument(nodes, NodeMapJsonWriter::kStateDocument, state);
  WriteDocument(nodes, NodeMapJsonWriter::kSchemaDocument, schema);
  EXPECT_EQ(description.text, R"([{"Name":"Cam"}])");
  EXPECT_EQ(state.text, R"({"Cam":{"Nodes":{}}})");
  EXPECT_EQ(schema.text, R"([{"Name":"Cam","UserName":""}])");
}

TEST(NodeEntries, IndentedOutputHoldsTheSameMembersInTheSameOrder) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Gain</pFeature><pFeature>Mode</pFeature></Category>"
      "<Integer Name='Gain'><Value>3</Value></Integer>"
      "<Enumeration Name='Mode'><EnumEntry Name='A'><Value>0</Value></EnumEntry>"
      "<Value>0</Value></Enumeration>");
  const node_vector nodes{m.Node("Gain"), m.Node("Mode")};
  for (uint32_t mode : {0u, 1u, 2u}) {
    Written compact, indented;
    WriteDocument(nodes, mode, compact);
    WriteDocument(nodes, mode, indented, 0, true);
    EXPECT_NE(indented.text.find("\n    "), std::string::npos);
    EXPECT_EQ(Compact(indented.document), compact.text);
  }
}

TEST(NodeEntries, DescriptionOfACategoryLoopEnds) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>A</pFeature></Category>"
      "<Category Name='A'><pFeature>B</pFeature></Category>"
      "<Category Name='B'><pFeature>A</pFeature></Category>");
  Written w;
  WriteDocument({m.Node("A")}, NodeMapJsonWriter::kDescriptionDocument, w);
  const rapidjson::Value& b = Description(w)["Children"][0];
  EXPECT_STREQ(b["Name"].GetString(), "B");
  EXPECT_STREQ(b["Children"][0]["Name"].GetString(), "A");
  EXPECT_FALSE(b["Children"][0].HasMember("Children"));
}

TEST(ProtocolWords, ValuesOutsideTheTables) {
  using namespace zor::genicam;
  std::string outside;
  for (const char* word :
       {VisibilityToString(99), VisibilityToString(4), IncrementModeToString(7),
        IncrementModeToString(-1), AccessModeToString(6), AccessModeToString(7),
        InterfaceTypeToString(11), InterfaceTypeToString(12), RepresentationToString(7),
        CachingModeToString(-1), NameSpaceToString(2), DisplayNotationToString(3)}) {
    outside += std::string(word) + ",";
  }
  EXPECT_EQ(outside, "Undefined,,None,None,Undefined,,Port,,Undefined,,Undefined,Undefined,");
  // Inside them, each value has a word of its own.
  const std::pair<const char* (*)(int32_t), int32_t> tables[] = {
      {AccessModeToString, 6},     {CachingModeToString, 4},    {DisplayNotationToString, 4},
      {IncrementModeToString, 3},  {InterfaceTypeToString, 12}, {NameSpaceToString, 3},
      {RepresentationToString, 8}, {VisibilityToString, 4}};
  for (const auto& [words, count] : tables) {
    std::set<std::string> seen;
    for (int32_t value = 0; value < count; ++value) seen.insert(words(value));
    EXPECT_EQ(seen.size(), static_cast<size_t>(count)) << words(0);
  }
}
