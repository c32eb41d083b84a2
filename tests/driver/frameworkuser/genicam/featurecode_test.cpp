// Example code of one feature: the text as a user pastes it, for each kind of feature.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"
#include "driver/frameworkuser/genicam/featurebrowser/featurecodegenerator.h"
#include "tests/platform/genapi/testmap.h"
#include "tests/support/testdata/testdata.h"

namespace {

using zor::genicam::FeatureCodeGenerator;
using zor::genicam::FeatureCodePrefixes;

const char* const kDeviceXml =
    "<Category Name='Root'><pFeature>Gain</pFeature><pFeature>GainSelector</pFeature>"
    "<pFeature>Width</pFeature><pFeature>Black</pFeature><pFeature>Temp</pFeature></Category>"
    "<Integer Name='Temp'><ImposedAccessMode>RO</ImposedAccessMode><Value>40</Value></Integer>"
    "<Integer Name='Width'><DisplayName>Image Width</DisplayName><Value>640</Value>"
    "<Min>16</Min><Max>1024</Max></Integer>"
    "<Integer Name='Pulse'><DisplayName>Pulse</DisplayName>"
    "<ImposedAccessMode>WO</ImposedAccessMode><Value>3</Value></Integer>"
    "<Integer Name='Address'><DisplayName>IP address</DisplayName><Value>3232235777</Value>"
    "<Representation>IPV4Address</Representation></Integer>"
    "<Float Name='Gain'><DisplayName>Gain (dB)</DisplayName><Value>1.5</Value><Min>0</Min>"
    "<Max>24</Max></Float>"
    "<Float Name='Black'><DisplayName>Black level</DisplayName><Value>2</Value><Min>0</Min>"
    "<Max>24</Max></Float>"
    "<Enumeration Name='GainSelector'><DisplayName>Gain Selector</DisplayName>"
    "<EnumEntry Name='All'><Value>0</Value></EnumEntry>"
    "<EnumEntry Name='Red'><Value>1</Value></EnumEntry>"
    "<Value>1</Value><pSelected>Gain</pSelected><pSelected>Black</pSelected></Enumeration>"
    "<Boolean Name='ReverseX'><DisplayName>Reverse X</DisplayName><pValue>RevReg</pValue>"
    "<OnValue>1</OnValue><OffValue>0</OffValue></Boolean>"
    "<IntReg Name='RevReg'><Address>0x10</Address><Length>4</Length><AccessMode>RW</AccessMode>"
    "<pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>"
    "<Command Name='Start'><DisplayName>Acquisition Start</DisplayName><pValue>StartReg</pValue>"
    "<CommandValue>1</CommandValue></Command>"
    "<IntReg Name='StartReg'><Address>0x14</Address><Length>4</Length>"
    "<AccessMode>RW</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>"
    "<Endianess>LittleEndian</Endianess></IntReg>"
    "<StringReg Name='UserName'><DisplayName>User-Name</DisplayName><Address>0x20</Address>"
    "<Length>8</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></StringReg>"
    "<Register Name='Lut'><DisplayName>LUT data</DisplayName><Address>0x30</Address>"
    "<Length>3</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></Register>";

FeatureCodePrefixes DevicePrefixes() {
  FeatureCodePrefixes prefixes;
  prefixes.inquireFunction = "QdigInquireFeature";
  prefixes.controlFunction = "QdigControlFeature";
  prefixes.objectVariable = "ZorDigitizer";
  return prefixes;
}

struct DeviceMap : genapitest::TestMap {
  DeviceMap() : TestMap(kDeviceXml) {
    port.bytes[0x10] = 1;
    const char name[] = "cam1";
    for (size_t i = 0; i < 8; ++i) port.bytes[0x20 + i] = i < 4 ? name[i] : 0;
    port.bytes[0x30] = 1;
    port.bytes[0x31] = 2;
    port.bytes[0x32] = 250;
  }
  std::string Code(const char* feature, const FeatureCodePrefixes& prefixes = DevicePrefixes(),
                   int64_t objectType = 0) {
    FeatureCodeGenerator generator(prefixes, objectType);
    generator.FillNodeList(Node(feature));
    return generator.Generate();
  }
};

TEST(FeatureCode, CategoryCollectsItsFeaturesOnceWithoutSelectors) {
  DeviceMap map;
  FeatureCodeGenerator generator(DevicePrefixes(), 0);
  generator.FillNodeList(map.Node("Root"));
  std::vector<std::string> names;
  for (auto* node : generator.NodeList()) names.push_back(node->GetName().c_str());
  EXPECT_EQ(names, (std::vector<std::string>{"Gain", "Black", "Width", "Temp"}));
  // The read-only one among them is inquired, never set.
  EXPECT_EQ(map.Code("Root"), zortest::ReadTestData("genicam/featurecode/root.txt"));
}

// The control-type style of the driver's own objects.
const char* const kSystemXml =
    "<Enumeration Name='Q_GRAB_MODE'><ToolTip>How grabs wait</ToolTip>"
    "<EnumEntry Name='Q_SYNCHRONOUS'><ToolTip>Waits</ToolTip><Value>1</Value></EnumEntry>"
    "<EnumEntry Name='Q_ASYNCHRONOUS'><ToolTip>Returns</ToolTip><Value>2</Value></EnumEntry>"
    "<Value>2</Value></Enumeration>"
    "<Enumeration Name='Q_IO_SOURCE'><ToolTip>Input pin</ToolTip>"
    "<EnumEntry Name='Q_AUX_IO0'><Description>Connector: DB9 pin 1\nmore</Description>"
    "<Value>0</Value></EnumEntry>"
    "<EnumEntry Name='Q_AUX_IO1'><ToolTip>Pin 2</ToolTip><Value>1</Value></EnumEntry>"
    "<EnumEntry Name='Q_AUX_IO2'><ToolTip>Pin 2</ToolTip><Value>2</Value></EnumEntry>"
    "<EnumEntry Name='Q_AUX_IO3'><ToolTip>Pin 4</ToolTip><Value>3</Value></EnumEntry>"
    "<EnumEntry Name='Q_TL_TRIGGER_Q_AUX_IO4'><ToolTip>Pin 5</ToolTip><Value>4</Value>"
    "</EnumEntry><Value>0</Value></Enumeration>"
    "<Command Name='Q_TIMER_TRIGGER'><ToolTip>Fires</ToolTip><pValue>TrigReg</pValue>"
    "<CommandValue>268435456</CommandValue></Command>"
    "<IntReg Name='TrigReg'><Address>7310</Address><Length>4</Length><AccessMode>RW</AccessMode>"
    "<pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>"
    "<Integer Name='Q_TIMER_DELAY'><ToolTip>Delay</ToolTip><pValue>DelayReg</pValue></Integer>"
    "<IntReg Name='DelayReg'><Address>7311</Address><Length>4</Length>"
    "<AccessMode>RW</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>"
    "<Endianess>LittleEndian</Endianess></IntReg>";

FeatureCodePrefixes SystemPrefixes() {
  FeatureCodePrefixes prefixes;
  prefixes.inquireFunction = "QsysInquire";
  prefixes.controlFunction = "QsysControl";
  prefixes.objectVariable = "ZorSystem";
  return prefixes;
}

constexpr int64_t kSystemType = 0x800000;

// Each kind of feature, in the device style and in the control-type style of the driver's own
// objects, against the text a user pastes.
TEST(FeatureCode, EachKindOfFeatureGivesItsExampleText) {
  DeviceMap device;
  genapitest::TestMap system(kSystemXml);
  const struct {
    const char* feature;
    const char* namePrefix;
    const char* typePrefix;
    const char* file;
  } rows[] = {
      {"Width", "", "", "width"},
      {"ReverseX", "", "", "reversex"},
      {"Address", "", "", "address"},  // in hexadecimal
      {"Pulse", "", "", "pulse"},      // write-only: set without a declaration
      {"Start", "", "", "start"},      // executed only
      {"UserName", "", "", "username"},
      {"Lut", "Cam:", "", "lut"},  // read back into the array its control line wrote
      {"GainSelector", "", "Q_GENTL_DEVICE", "gainselector"},  // once per section
      {"Q_GRAB_MODE", "", "", "grabmode"},                     // small: an if chain
      {"Q_IO_SOURCE", "", "", "iosource"},                     // large: a switch
      {"Q_TIMER_TRIGGER", "", "", "timertrigger"},
      {"Q_TIMER_DELAY", "", "", "timerdelay"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.feature);
    const bool own = std::string(row.feature).rfind("Q_", 0) == 0;
    FeatureCodePrefixes prefixes = own ? SystemPrefixes() : DevicePrefixes();
    prefixes.featureNamePrefix = row.namePrefix;
    prefixes.typePrefix = row.typePrefix;
    FeatureCodeGenerator generator(prefixes, own ? kSystemType : 0);
    generator.FillNodeList(own ? system.Node(row.feature) : device.Node(row.feature));
    EXPECT_EQ(generator.Generate(),
              zortest::ReadTestData(std::string("genicam/featurecode/") + row.file + ".txt"));
  }
}

TEST(FeatureCode, DeclarationTypesOfHostControlTypes) {
  using zor::genicam::ControlTypeDataType;
  // Each range at both ends and one past them, for each kind of object: I int64, D double,
  // N id, S string, B bytes, - int.
  const auto kinds = [](int64_t object, std::initializer_list<int64_t> types) {
    std::string letters;
    for (int64_t type : types) {
      const std::string kind = ControlTypeDataType(object, type);
      letters += kind == "ZOR_INT64"    ? 'I'
                 : kind == "ZOR_DOUBLE" ? 'D'
                 : kind == "ZOR_ID"     ? 'N'
                 : kind == "ZOR_STRING" ? 'S'
                 : kind == "ZOR_INT8*"  ? 'B'
                 : kind == "ZOR_INT"    ? '-'
                                        : '?';
    }
    return letters;
  };
  EXPECT_EQ(
      kinds(0x100000, {5999,   6000,   6699,   6700,   6799, 6800, 133071, 133072, 134072, 134073,
                       237567, 237568, 260096, 260097, 1099, 1100, 1199,   1200,   1048,   1049,
                       1050,   5327,   5328,   5329,   7699, 7700, 7999,   8000}),
      "-DDII--DD--DD--NN--N--N--SS-");
  EXPECT_EQ(kinds(0x100000, {6750, 6100, 0x5000000000 + 6100, 7702}), "IDDS");
  EXPECT_EQ(kinds(0x800000, {7299, 7300, 7399, 7400, 5135, 5136, 5137, 133072, 134073, 1100, 1199,
                             1200, 1049, 5328, 7699, 7700, 7799, 7800, 2000}),
            "-DD--D-D-NN-N--SS--");
  EXPECT_EQ(kinds(0x200000, {1099, 1100, 1199, 1200, 1049, 7700, 7300}), "-NN-N--");
  EXPECT_EQ(kinds(0x200, {15000, 15001, 15002, 15020, 15021, 15022, 6799}), "-D--N-I");
  EXPECT_EQ(
      kinds(0x4, {8452,      8453,       8454,      32767,   32768,          32769,   0x1FFFFFF,
                  0x2000000, 0x4000000,  0x4000001, 0x10000, 0x10000 | 0x38, 0x10040, 0x80000,
                  0x400000,  0x40000000, 9001,      9002,    9031,           9032}),
      "-I--I--DD-BB-BBB-BB-");
  EXPECT_EQ(kinds(0x4, {0x10000 | 0x18, 0x3000000}), "BD");
  EXPECT_EQ(kinds(0x1000, {int64_t{5} << 36, int64_t{6} << 36, int64_t{8} << 36, 0,
                           int64_t{7} << 36, (int64_t{8} << 36) + 2000, (int64_t{5} << 36) + 2000}),
            "DNI--ID");
}

TEST(FeatureCode, FailingReadBecomesErrorPiece) {
  DeviceMap map;
  FeatureCodeGenerator generator(DevicePrefixes(), 0);
  generator.SetNodeList({map.Node("Width"), nullptr});
  EXPECT_EQ(generator.Generate(), zortest::ReadTestData("genicam/featurecode/failingread.txt"));
}

}  // namespace
