// Entries of single nodes: fallbacks, numbers JSON cannot carry, failing reads, words.
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/protocolwords.h"
#include "tests/driver/frameworkuser/genicam/expecteddocuments.h"
#include "tests/driver/frameworkuser/genicam/fakenodes.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using genicamtest::FakeFloat;
using genicamtest::FakeInteger;
using genicamtest::FakeRegister;
using zor::genicam::NodeMapJsonWriter;

namespace {

constexpr uint32_t kState = NodeMapJsonWriter::kStateDocument;
constexpr uint32_t kDescription = NodeMapJsonWriter::kDescriptionDocument;

// The document over the nodes, then "; <node>: <error>" for each node's error; the test fails
// on invalid JSON.
std::string Document(const node_vector& nodes, uint32_t mode, uint32_t valuesOnly = 0,
                     bool indented = false) {
  NodeMapJsonWriter writer;
  writer.SetDeviceName("Cam");
  writer.SetMode(mode);
  writer.SetValuesOnly(valuesOnly);
  std::string text = writer.WriteNodeList(nodes, indented);
  rapidjson::Document document;
  EXPECT_EQ(genicamtest::JsonError(text, document), "") << text;
  for (const auto& [name, error] : writer.NodeErrors())
    text += "; " + std::string(name.c_str()) + ": " + error;
  return text;
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
  EXPECT_EQ(Document({&node}, kState), genicamtest::ExpectedDocument("write-only integer state"));
  EXPECT_EQ(Document({&node}, kDescription),
            genicamtest::ExpectedDocument("write-only integer description"));
}

TEST(NodeEntries, ValuesOnlyIntegerHoldsExactlyTheValueKeys) {
  FakeInteger node("Width");
  EXPECT_EQ(Document({&node}, kState, 1),
            genicamtest::ExpectedDocument("values-only integer state"));
}

TEST(NodeEntries, IntegerListIncrementCarriesValidValuesOnlyInListMode) {
  FakeInteger list("Listed");
  list.incMode_ = listIncrement;
  list.list_ = {2, 4, 8};
  FakeInteger fixed("Fixed");
  EXPECT_EQ(Document({&list, &fixed}, kState),
            genicamtest::ExpectedDocument("list increment state"));
  EXPECT_EQ(Document({&list, &fixed}, kDescription),
            genicamtest::ExpectedDocument("list increment description"));
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
  EXPECT_EQ(Document({&nan, &inf}, kState),
            genicamtest::ExpectedDocument("nan and infinity state"));
  EXPECT_EQ(Document({&nan, &inf}, kDescription),
            genicamtest::ExpectedDocument("nan and infinity description"));
}

TEST(NodeEntries, FloatWithoutIncrementHasNoStateKeyButANullDescription) {
  FakeFloat node("Exposure");
  node.value_ = 2.0;  // integral: keeps ".0"
  EXPECT_EQ(Document({&node}, kState),
            genicamtest::ExpectedDocument("float without increment state"));
  EXPECT_EQ(Document({&node}, kDescription),
            genicamtest::ExpectedDocument("float without increment description"));
}

TEST(NodeEntries, RegisterBytesAreNumbersAndAFailedReadGivesAnEmptyUnreportedList) {
  FakeRegister node("Lut");
  node.bytes_ = {0x01, 0xFF, 0x00, 0x7F};
  EXPECT_EQ(Document({&node}, kState), genicamtest::ExpectedDocument("register state"));
  node.Throw("Get");
  EXPECT_EQ(Document({&node}, kState), genicamtest::ExpectedDocument("register failing state"));
  node.access_ = WO;
  EXPECT_EQ(Document({&node}, kState), genicamtest::ExpectedDocument("register write-only state"));
}

// Each read fails in turn; "Unit", read after all the others, fails too: its error must not
// replace the first.
TEST(NodeEntries, EveryFailingStateReadGivesItsFallbackAndTheFirstErrorIsKept) {
  for (const char* read :
       {"Value", "Max", "Min", "Inc", "ToolTip", "DocuURL", "DisplayName", "DisplayPrecision"}) {
    SCOPED_TRACE(read);
    FakeFloat node("Gain");
    node.value_ = node.max_ = node.min_ = node.inc_ = 3.0;
    node.hasInc_ = true;
    node.Throw(read);
    node.Throw("Unit");
    EXPECT_EQ(Document({&node}, kState),
              genicamtest::ExpectedDocument(std::string("failing ") + read));
  }
}

TEST(NodeEntries, AccessModeAndInterfaceFailuresUseTheirFallbackWords) {
  FakeInteger node("Gain");
  node.Throw("AccessMode");
  FakeInteger broken("Broken");
  broken.Throw("InterfaceType");  // the per-type keys cannot be chosen: the entry ends there
  FakeInteger after("After");
  EXPECT_EQ(Document({&node, &broken, &after}, kState),
            genicamtest::ExpectedDocument("access and interface failing"));
}

TEST(NodeEntries, AFailingDescriptionReadClosesOnlyThatNode) {
  FakeFloat failing("Failing");
  failing.Throw("Min");
  FakeFloat next("Next");
  EXPECT_EQ(Document({&failing, &next}, kDescription),
            genicamtest::ExpectedDocument("failing description"));
}

TEST(NodeEntries, ATextThatIsNotUtf8IsRepairedAndValidTextKept) {
  FakeInteger node("Gain");
  node.toolTip_ = "bad \xC3 byte";
  node.displayName_ = "Verst\xC3\xA4rkung \xE2\x82\xAC";
  EXPECT_EQ(Document({&node}, kState), genicamtest::ExpectedDocument("repaired text"));
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
  EXPECT_EQ(Document({m.Node("Mode")}, kState),
            genicamtest::ExpectedDocument("enumeration without entry state"));
  EXPECT_EQ(Document({m.Node("Mode")}, kDescription),
            genicamtest::ExpectedDocument("enumeration without entry description"));
}

TEST(NodeEntries, EmptySelectionsGiveTheBareDocuments) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Shown</pFeature></Category>"
      "<Integer Name='Shown'><Visibility>Invisible</Visibility><Value>1</Value></Integer>"
      "<Integer Name='Loose'><Value>1</Value></Integer>");
  const node_vector nodes{m.Node("Root"), m.Node("Shown"), m.Node("Loose")};
  EXPECT_EQ(Document(nodes, kDescription), R"([{"Name":"Cam"}])");
  EXPECT_EQ(Document(nodes, kState), R"({"Cam":{"Nodes":{}}})");
  EXPECT_EQ(Document(nodes, NodeMapJsonWriter::kSchemaDocument),
            R"([{"Name":"Cam","UserName":""}])");
}

TEST(NodeEntries, IndentedOutputHoldsTheSameMembersInTheSameOrder) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Gain</pFeature><pFeature>Mode</pFeature></Category>"
      "<Integer Name='Gain'><Value>3</Value></Integer>"
      "<Enumeration Name='Mode'><EnumEntry Name='A'><Value>0</Value></EnumEntry>"
      "<Value>0</Value></Enumeration>");
  const node_vector nodes{m.Node("Gain"), m.Node("Mode")};
  for (uint32_t mode : {0u, 1u, 2u}) {
    const std::string indented = Document(nodes, mode, 0, true);
    EXPECT_NE(indented.find("\n    "), std::string::npos);
    rapidjson::Document document;
    document.Parse(indented.c_str());
    EXPECT_EQ(Compact(document), Document(nodes, mode));
  }
}

TEST(NodeEntries, DescriptionOfACategoryLoopEnds) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>A</pFeature></Category>"
      "<Category Name='A'><pFeature>B</pFeature></Category>"
      "<Category Name='B'><pFeature>A</pFeature></Category>");
  EXPECT_EQ(Document({m.Node("A")}, kDescription), genicamtest::ExpectedDocument("category loop"));
}

// Every value of each table and its refused neighbours at both ends, as one line per table.
TEST(ProtocolWords, EveryValueAndItsNeighboursOutside) {
  using namespace zor::genicam;
  const auto words = [](const char* (*table)(int32_t), std::initializer_list<int32_t> values) {
    std::string line;
    for (int32_t value : values) line += std::string(table(value)) + ",";
    return line;
  };
  EXPECT_EQ(words(AccessModeToString, {-1, 0, 1, 2, 3, 4, 5, 6, 7}),
            ",NotImplemented,NotAvailable,WriteOnly,ReadOnly,ReadWrite,Undefined,Undefined,,");
  EXPECT_EQ(words(CachingModeToString, {-1, 0, 1, 2, 3, 4}),
            ",NoCache,WriteThrough,WriteAround,Undefined,,");
  EXPECT_EQ(words(DisplayNotationToString, {-1, 0, 1, 2, 3, 4}),
            ",Automatic,Fixed,Scientific,Undefined,,");
  EXPECT_EQ(words(IncrementModeToString, {-1, 0, 1, 2, 3}), "None,None,Fixed,List,None,");
  EXPECT_EQ(words(InterfaceTypeToString, {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
            ",Value,Base,Integer,Boolean,Command,Float,String,Register,Category,Enumeration,"
            "EnumEntry,Port,,");
  EXPECT_EQ(words(NameSpaceToString, {-1, 0, 1, 2, 3}), ",Custom,Standard,Undefined,,");
  EXPECT_EQ(words(RepresentationToString, {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8}),
            ",Linear,Logarithmic,Boolean,PureNumber,HexNumber,IPV4Address,MACAddress,Undefined,,");
  EXPECT_EQ(words(VisibilityToString, {-1, 0, 1, 2, 3, 4, 98, 99, 100}),
            ",Beginner,Expert,Guru,Invisible,,,Undefined,,");
}
