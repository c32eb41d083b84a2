// Persistence text: streamable features under every selector setting, texts that would break
// a line, float texts, and selectors put back when a read fails.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/czorfeaturebag.h"
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/floattotext.h"
#include "tests/driver/frameworkuser/genicam/realdevice.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using zor::genicam::CZorFeatureBag;
using zor::genicam::FloatToText;

namespace {

const char* const kHeader =
    "# {05D8C294-F295-4dfb-9D01-096BD04049F4}\n"
    "# GenApi persistence file (version 3.1.0)\n"
    "# Device = TestVendor::TestModel -- A test device -- Device version = 2.3.4"
    " -- Product GUID = P-1 -- Product version GUID = V-1\n";

std::string Text(const CZorFeatureBag& bag) {
  std::ostringstream out;
  CZorFeatureBag::WritePersistenceFile(out, bag);
  return out.str();
}

std::string Store(const std::string& body) {
  genapitest::TestMap m(body);
  CZorFeatureBag bag;
  bag.StoreFromNodeMap(m.ref._Ptr);
  return Text(bag);
}

}  // namespace

TEST(FeatureBag, RealFileGivesTheCheckedText) {
  genicamtest::RealDevice device("pgr-flea3-ge-28s4c.xml");
  // One stream channel, so that its selector has a value to walk, with its packet size in
  // the low half of its port register and its packet delay.
  device.port.Put32(0x904, 1, true);
  device.port.Put32(0xD04, 1500, true);
  device.port.Put32(0xD08, 400, true);
  CZorFeatureBag bag;
  bag.StoreFromNodeMap(device.ref._Ptr);
  EXPECT_EQ(Text(bag), zortest::ReadTestData("genicam/pgr-flea3-ge-28s4c.featurebag.txt"));
}

TEST(FeatureBag, OnlyStreamableWritableFeaturesAreStored) {
  EXPECT_EQ(Store(""), kHeader);
  EXPECT_EQ(Store("<Category Name='Root'><pFeature>Gain</pFeature><pFeature>Fixed</pFeature>"
                  "<pFeature>Quiet</pFeature></Category>"
                  "<Integer Name='Gain'><Streamable>Yes</Streamable><Value>7</Value></Integer>"
                  "<Integer Name='Fixed'><Streamable>Yes</Streamable><ImposedAccessMode>RO"
                  "</ImposedAccessMode><Value>1</Value></Integer>"
                  "<Integer Name='Quiet'><Value>2</Value></Integer>"
                  "<Integer Name='Loose'><Streamable>Yes</Streamable><Value>3</Value></Integer>"),
            std::string(kHeader) + "Gain\t7\n");
}

TEST(FeatureBag, SelectedFeaturesAreStoredUnderEverySettingAndTheSelectorsPutBack) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Sel</pFeature><pFeature>Gain</pFeature></Category>"
      "<Enumeration Name='Sel'><pSelected>Gain</pSelected>"
      "<EnumEntry Name='A'><Value>0</Value></EnumEntry><EnumEntry Name='B'><Value>1</Value>"
      "</EnumEntry><Value>0</Value></Enumeration>"
      "<Integer Name='Gain'><Streamable>Yes</Streamable><pIndex>Sel</pIndex>"
      "<ValueIndexed Index='0'>10</ValueIndexed><ValueIndexed Index='1'>20</ValueIndexed>"
      "</Integer>");
  CZorFeatureBag bag;
  bag.StoreFromNodeMap(m.ref._Ptr);
  // The last selector line puts the selector back to where it was.
  EXPECT_EQ(Text(bag), std::string(kHeader) + "Sel\tA\nGain\t10\nSel\tB\nGain\t20\nSel\tA\n");
  EXPECT_EQ(CValuePtr(m.Node("Sel"))->ToString(), "A");
}

TEST(FeatureBag, SelectorsArePutBackWhenAReadFails) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Sel</pFeature><pFeature>Ratio</pFeature></Category>"
      "<Enumeration Name='Sel'><pSelected>Ratio</pSelected>"
      "<EnumEntry Name='A'><Value>0</Value></EnumEntry><EnumEntry Name='B'><Value>1</Value>"
      "</EnumEntry><EnumEntry Name='C'><Value>2</Value></EnumEntry><Value>2</Value>"
      "</Enumeration>"
      "<Integer Name='Store'><Value>4</Value></Integer>"
      "<IntConverter Name='Ratio'><Streamable>Yes</Streamable><pVariable Name='S'>Sel"
      "</pVariable><FormulaTo>FROM</FormulaTo><FormulaFrom>TO / (S - 1)</FormulaFrom>"
      "<pValue>Store</pValue><Slope>Increasing</Slope></IntConverter>");
  CZorFeatureBag bag;
  EXPECT_THROW(bag.StoreFromNodeMap(m.ref._Ptr), GenICam::GenericException);
  EXPECT_EQ(CValuePtr(m.Node("Sel"))->ToString(), "C");
  // What was stored before the failure stays, name and value together.
  EXPECT_EQ(bag.Names(), (std::vector<std::string>{"Sel", "Ratio", "Sel"}));
  EXPECT_EQ(bag.Values(), (std::vector<std::string>{"A", "-4", "B"}));
}

TEST(FeatureBag, TextsThatWouldBreakALineAreEscapedAndOtherBytesKept) {
  genapitest::TestMap m(
      "<Category Name='Root'><pFeature>Label</pFeature></Category>"
      "<StringReg Name='Label'><Streamable>Yes</Streamable><Address>0</Address>"
      "<Length>32</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></StringReg>");
  CStringPtr(m.Node("Label"))->SetValue("a\tb\nc\r\\ \xC3\xA9t\xC3\xA9");
  CZorFeatureBag bag;
  bag.StoreFromNodeMap(m.ref._Ptr);
  EXPECT_EQ(Text(bag), std::string(kHeader) + "Label\ta\\tb\\nc\\r\\\\ \xC3\xA9t\xC3\xA9\n");
}

TEST(FeatureBag, FloatTextIsTheShortestThatReadsBack) {
  std::string texts;
  for (double value : {0.1, 100.0, 1.0 / 3.0, 0.1 + 0.2, 1e-7, 123456789.125}) {
    texts += FloatToText(value) + " ";
  }
  EXPECT_EQ(texts, "0.1 100 0.3333333333333333 0.30000000000000004 1e-07 123456789.125 ");
}

TEST(FeatureBag, AMapWithoutDeviceInformationIsRefusedBeforeAnythingIsStored) {
  CZorFeatureBag bag;
  EXPECT_THROW(bag.StoreFromNodeMap(nullptr), GenICam::LogicalErrorException);
  EXPECT_TRUE(bag.Names().empty());
  EXPECT_TRUE(bag.Info().empty());
}
