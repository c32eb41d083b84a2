// The listing of digitizer control 7712 holds the persistence text's features
// and values, each tagged with its type.
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/featurebagtext.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/czorfeaturebag.h"
#include "tests/platform/genapi/testmap.h"

namespace zor::genicam {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(FeatureBagText, EveryPersistedFeatureIsListedWithItsTagAndValue) {
  genapitest::TestMap map(
      "<Category Name='Root'><pFeature>Gain</pFeature><pFeature>Exposure</pFeature>"
      "<pFeature>Mode</pFeature><pFeature>Label</pFeature><pFeature>Invert</pFeature>"
      "</Category>"
      "<Integer Name='Gain'><Streamable>Yes</Streamable><Value>7</Value></Integer>"
      "<Float Name='Exposure'><Streamable>Yes</Streamable><Value>2.5</Value></Float>"
      "<Enumeration Name='Mode'><Streamable>Yes</Streamable>"
      "<EnumEntry Name='Fast'><Value>0</Value></EnumEntry>"
      "<EnumEntry Name='Slow'><Value>1</Value></EnumEntry><Value>1</Value></Enumeration>"
      "<String Name='Label'><Streamable>Yes</Streamable><Value>left\tcamera</Value></String>"
      "<Boolean Name='Invert'><Streamable>Yes</Streamable><Value>1</Value></Boolean>");
  CZorFeatureBag bag;
  bag.StoreFromNodeMap(map.ref._Ptr);
  std::ostringstream persistence;
  CZorFeatureBag::WritePersistenceFile(persistence, bag);
  const std::string listing =
      foundation::WStringToUtf8(MakeFeatureBagText(persistence.str(), *map.ref._Ptr));

  std::vector<std::string> expected;
  for (const std::string& line : Lines(persistence.str())) {
    if (line.empty() || line[0] == '#') continue;
    const std::string name = line.substr(0, line.find('\t'));
    const std::string value = line.substr(line.find('\t') + 1);
    const std::string tag = name == "Gain"       ? "INT_"
                            : name == "Exposure" ? "FLOAT_"
                            : name == "Mode"     ? "ENUM_"
                            : name == "Label"    ? "STR_"
                                                 : "BOOL_";
    expected.push_back("      " + tag + name + "\t" + (tag == "STR_" ? '"' + value + '"' : value));
  }
  EXPECT_EQ(expected.size(), 5u);
  EXPECT_EQ(Lines(listing), expected);
  // The tab inside the string stays escaped, so each feature keeps one line.
  EXPECT_NE(listing.find("\"left\\tcamera\""), std::string::npos);
}

TEST(FeatureBagText, EmptyBagAndUnknownNamesGiveNoTag) {
  genapitest::TestMap map("<Integer Name='Gain'><Value>1</Value></Integer>");
  const std::string header = "# {05D8C294-F295-4dfb-9D01-096BD04049F4}\n# comment\n";
  EXPECT_EQ(MakeFeatureBagText(header, *map.ref._Ptr), L"");
  EXPECT_EQ(MakeFeatureBagText(header + "Missing\t3\nGain\t1\n", *map.ref._Ptr),
            L"      Missing\t3\n      INT_Gain\t1\n");
}

}  // namespace
}  // namespace zor::genicam
