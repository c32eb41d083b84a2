// The checks every node-map document must pass, shared by the real camera files and the board's
// own maps: valid JSON, keys in protocol order, protocol words from their tables.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"

namespace genicamtest {

using Keys = std::vector<std::string>;

// The words of a text, in order.
inline Keys Words(const std::string& text) {
  std::istringstream in(text);
  Keys words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Keys of a state entry in order, optional ones included: the name, the texts when not values
// only, then the interface's keys, the optional ones of numbers last.
inline Keys StateKeys(GenApi::EInterfaceType type, bool valuesOnly) {
  const std::map<GenApi::EInterfaceType, std::string> keys{
      {GenApi::intfIInteger, "Value AccessMode Increment Max Min"},
      {GenApi::intfIFloat, "Value AccessMode Increment Max Min"},
      {GenApi::intfIBoolean, "AccessMode Value"},
      {GenApi::intfIString, "AccessMode Value"},
      {GenApi::intfIRegister, "AccessMode Value"},
      {GenApi::intfICategory, "AccessMode Value"},
      {GenApi::intfICommand, "AccessMode IsDone Value"},
      {GenApi::intfIEnumeration, "AccessMode IntValue Value SymbolicValue"},
      {GenApi::intfIEnumEntry, "AccessMode IntValue IsSelfClearing Value"}};
  const std::map<GenApi::EInterfaceType, std::string> more{
      {GenApi::intfIInteger, "IncrementMode Representation Unit ValidValuesList"},
      {GenApi::intfIFloat,
       "DisplayNotation DisplayPrecision Representation IncrementMode Unit ValidValuesList"}};
  std::string text = "Name ";
  if (!valuesOnly) text += "DisplayName ToolTip Description InterfaceType Visibility DocuURL ";
  if (keys.count(type) != 0) text += keys.at(type) + " ";
  if (!valuesOnly && more.count(type) != 0) text += more.at(type);
  return Words(text);
}

inline Keys DescriptionKeys(GenApi::EInterfaceType type) {
  const std::string number = "Increment Max Min Value AccessMode ";
  const std::string numberEnd = " Representation Unit ValidValuesList";
  const std::map<GenApi::EInterfaceType, std::string> keys{
      {GenApi::intfIInteger, "IncrementMode " + number + numberEnd},
      {GenApi::intfIFloat, number + "DisplayNotation DisplayPrecision Representation "
                                    "IncrementMode Unit ValidValuesList"},
      {GenApi::intfIBoolean, "AccessMode Value"},
      {GenApi::intfIString, "AccessMode Value"},
      {GenApi::intfIRegister, "AccessMode Value"},
      {GenApi::intfICommand, "AccessMode IsDone Value"},
      {GenApi::intfICategory, "AccessMode Value Children"},
      {GenApi::intfIEnumeration,
       "AccessMode IntValue Value SymbolicValue ValidValuesList Children"},
      {GenApi::intfIEnumEntry, "AccessMode IntValue IsSelfClearing Value"}};
  return Words(
      "Name GenICamError DisplayName ToolTip Description InterfaceType Visibility DocuURL "
      "Properties " +
      (keys.count(type) != 0 ? keys.at(type) : ""));
}

inline const std::set<std::string> kAlwaysThere{
    "Name", "DisplayName", "ToolTip", "Description", "DocuURL", "AccessMode", "Properties",
    "Max",  "Min",         "IsDone",  "IntValue",    "Value",   "Visibility", "InterfaceType"};

// The keys present, in the order of the full list, with every key that must be there.
inline Keys Expected(const Keys& full, const Keys& actual) {
  Keys expected;
  for (const std::string& key : full) {
    const bool present = std::find(actual.begin(), actual.end(), key) != actual.end();
    if (present || kAlwaysThere.count(key) != 0) expected.push_back(key);
  }
  return expected;
}

inline bool IsPrefix(const Keys& prefix, const Keys& of) {
  return prefix.size() <= of.size() && std::equal(prefix.begin(), prefix.end(), of.begin());
}

inline const std::map<std::string, std::string> kWords{
    {"AccessMode", "NotImplemented NotAvailable WriteOnly ReadOnly ReadWrite Undefined"},
    {"CachingMode", "NoCache WriteThrough WriteAround Undefined"},
    {"DisplayNotation", "Automatic Fixed Scientific Undefined"},
    {"IncrementMode", "None Fixed List"},
    {"InterfaceType",
     "Value Base Integer Boolean Command Float String Register Category Enumeration EnumEntry "
     "Port"},
    {"Namespace", "Custom Standard Undefined"},
    {"Representation",
     "Linear Logarithmic Boolean PureNumber HexNumber IPV4Address MACAddress Undefined"},
    {"Visibility", "Beginner Expert Guru Invisible Undefined"},
};

// Every protocol word anywhere in the document comes from its table.
inline void ExpectProtocolWords(const rapidjson::Value& value, const std::string& where) {
  if (value.IsArray()) {
    for (const auto& element : value.GetArray()) ExpectProtocolWords(element, where);
  } else if (value.IsObject()) {
    for (const auto& member : value.GetObject()) {
      const auto words = kWords.find(member.name.GetString());
      if (words != kWords.end() && member.value.IsString()) {
        const Keys allowed = Words(words->second);
        EXPECT_EQ(std::count(allowed.begin(), allowed.end(), member.value.GetString()), 1)
            << where << ": " << member.name.GetString() << " = " << member.value.GetString();
      }
      ExpectProtocolWords(member.value, where);
    }
  }
}

inline std::string Write(GenApi::INode* node, uint32_t mode, uint32_t valuesOnly,
                         zor::genicam::NodeMapJsonWriter& writer) {
  writer.SetDeviceName("Device");
  writer.SetMode(mode);
  writer.SetValuesOnly(valuesOnly);
  return writer.WriteNodeList({node}, false);
}

struct DocumentCounts {
  int statesChecked = 0;
  int descriptionsCut = 0;
};

// Writes the state in both forms, the description and the schema of one node and checks each.
inline void CheckNodeDocuments(GenApi::INode* node, DocumentCounts& counts) {
  using zor::genicam::NodeMapJsonWriter;
  const std::string name = node->GetName().str();
  const GenApi::EInterfaceType type = node->GetPrincipalInterfaceType();
  for (uint32_t valuesOnly : {0u, 1u}) {
    NodeMapJsonWriter writer;
    rapidjson::Document state;
    ASSERT_EQ(JsonError(Write(node, 1, valuesOnly, writer), state), "") << name;
    const rapidjson::Value& listed = state["Device"]["Nodes"];
    if (!listed.HasMember(name.c_str())) continue;  // not selected
    const Keys keys = MemberNames(listed[name.c_str()]);
    EXPECT_EQ(keys, Expected(StateKeys(type, valuesOnly != 0), keys)) << name;
    ExpectProtocolWords(state, name);
    ++counts.statesChecked;
  }
  NodeMapJsonWriter writer;
  rapidjson::Document description;
  ASSERT_EQ(JsonError(Write(node, 0, 0, writer), description), "") << name;
  if (description[0].HasMember("Children")) {
    const Keys keys = MemberNames(description[0]["Children"][0]);
    const Keys expected = Expected(DescriptionKeys(type), keys);
    if (writer.NodeErrors().empty()) {
      EXPECT_EQ(keys, expected) << name;
    } else {
      // A read that failed outside the guarded ones closes the entry where it happened.
      EXPECT_TRUE(IsPrefix(keys, expected)) << name;
      if (keys != expected) ++counts.descriptionsCut;
    }
    ExpectProtocolWords(description, name);
  }
  NodeMapJsonWriter schemaWriter;
  rapidjson::Document schema;
  schemaWriter.SetExpandChildren(true);
  ASSERT_EQ(JsonError(Write(node, 2, 0, schemaWriter), schema), "") << name;
}

// A snapshot of a whole map: valid JSON, data then schema, protocol words only, and accepted by
// jq or Python where the machine has them.
inline void CheckSnapshot(const std::string& text, const std::string& device,
                          const std::string& userName) {
  rapidjson::Document document;
  ASSERT_EQ(JsonError(text, document), "");
  EXPECT_EQ(MemberNames(document), (Keys{"Data", "Schema"}));
  const rapidjson::Value& nodes = document["Data"][device.c_str()]["Nodes"];
  EXPECT_GT(nodes.MemberCount(), 5u);
  EXPECT_FALSE(nodes.HasMember("Root"));
  const rapidjson::Value& schema = document["Schema"][0];
  EXPECT_EQ(schema["Name"].GetString(), device);
  EXPECT_EQ(schema["UserName"].GetString(), userName);
  EXPECT_GT(schema["Children"].Size(), 0u);
  ExpectProtocolWords(document, device);
  const std::string checker = ExternalJsonChecker();
  if (!checker.empty()) {
    EXPECT_TRUE(ExternalCheckAccepts(checker, text)) << checker;
  }
}

}  // namespace genicamtest
