// The listing of digitizer control 7712 holds the persistence text's features
// and values, each tagged with its type.
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/featurebagtext.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/genapi/testmap.h"

namespace zor::genicam {
namespace {

// Every node kind with its tag, kinds without one, an unknown name and a line without a value;
// comments and empty lines are left out.
TEST(FeatureBagText, EachLineIsTaggedWithItsNodesKind) {
  genapitest::TestMap map(
      "<Category Name='Root'><pFeature>Gain</pFeature></Category>"
      "<Integer Name='Gain'><Value>7</Value></Integer>"
      "<Float Name='Exposure'><Value>2.5</Value></Float>"
      "<Boolean Name='Invert'><Value>1</Value></Boolean>"
      "<Enumeration Name='Mode'><EnumEntry Name='Fast'><Value>0</Value></EnumEntry>"
      "<Value>0</Value></Enumeration>"
      "<String Name='Label'><Value>x</Value></String>"
      "<Command Name='Go'><pValue>Gain</pValue><CommandValue>1</CommandValue></Command>" +
      genapitest::Reg("Register", "Lut", "0", "2"));
  const std::string persistence =
      "# {05D8C294-F295-4dfb-9D01-096BD04049F4}\n# comment\n\nGain\t7\nExposure\t2.5\nInvert\t1\n"
      "Mode\tFast\nLabel\tleft\\tcamera\nGo\t0\nLut\t0102\nRoot\tr\nFast\tf\nDevice\td\n"
      "Missing\t3\nBare\n";
  EXPECT_EQ(MakeFeatureBagText(persistence, *map.ref._Ptr),
            L"      INT_Gain\t7\n      FLOAT_Exposure\t2.5\n      BOOL_Invert\t1\n"
            L"      ENUM_Mode\tFast\n      STR_Label\t\"left\\tcamera\"\n      CMD_Go\t0\n"
            L"      REG_Lut\t0102\n      Root\tr\n      Fast\tf\n      Device\td\n"
            L"      Missing\t3\n      Bare\t\n");
  EXPECT_EQ(MakeFeatureBagText("# only a comment\n", *map.ref._Ptr), L"");
}

}  // namespace
}  // namespace zor::genicam
