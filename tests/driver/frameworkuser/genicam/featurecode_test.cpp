// Example code of one feature: the text as a user pastes it, for each kind of feature.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"
#include "driver/frameworkuser/genicam/featurebrowser/featurecodegenerator.h"
#include "tests/platform/genapi/testmap.h"

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

TEST(FeatureCode, ScalarFeaturesAreDeclaredOnceSetAndReadBack) {
  DeviceMap map;
  EXPECT_EQ(map.Code("Width"),
            "// The following code can be used to control feature values.\n"
            "ZOR_INT64 ImageWidth = 640;\n"
            "QdigControlFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Width\"), "
            "Q_TYPE_INT64, &ImageWidth);\n"
            "\n"
            "// The following code can be used to inquire feature values.\n"
            "ImageWidth = 0;\n"
            "QdigInquireFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Width\"), "
            "Q_TYPE_INT64, &ImageWidth);\n");
  EXPECT_EQ(map.Code("ReverseX"),
            "// The following code can be used to control feature values.\n"
            "ZOR_BOOL ReverseX = Q_TRUE;\n"
            "QdigControlFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"ReverseX\"), "
            "Q_TYPE_BOOLEAN, &ReverseX);\n"
            "\n"
            "// The following code can be used to inquire feature values.\n"
            "ReverseX = Q_FALSE;\n"
            "QdigInquireFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"ReverseX\"), "
            "Q_TYPE_BOOLEAN, &ReverseX);\n");
}

TEST(FeatureCode, AddressesAreWrittenInHexadecimal) {
  DeviceMap map;
  EXPECT_NE(map.Code("Address").find("ZOR_INT64 IPaddress = 0xc0a80101;\n"), std::string::npos);
}

TEST(FeatureCode, WriteOnlyIntegerIsSetWithoutDeclaration) {
  DeviceMap map;
  EXPECT_EQ(map.Code("Pulse"),
            "// The following code can be used to control feature values.\n"
            "QdigControlFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Pulse\"), "
            "Q_TYPE_INT64, &Pulse);\n"
            "\n");
}

TEST(FeatureCode, CommandIsExecutedOnly) {
  DeviceMap map;
  EXPECT_EQ(map.Code("Start"),
            "// The following code can be used to control feature values.\n"
            "QdigControlFeature(ZorDigitizer, Q_FEATURE_EXECUTE, ZOR_TEXT(\"Start\"), "
            "Q_DEFAULT, Q_NULL);\n"
            "\n");
}

TEST(FeatureCode, StringsAndEnumerationsPassTheirText) {
  DeviceMap map;
  EXPECT_EQ(map.Code("UserName"),
            "// The following code can be used to control feature values.\n"
            "QdigControlFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"UserName\"), "
            "Q_TYPE_STRING, ZOR_TEXT(\"cam1\"));\n"
            "\n"
            "// The following code can be used to inquire feature values.\n"
            "ZOR_STRING UserName;\n"
            "QdigInquireFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"UserName\"), "
            "Q_TYPE_STRING, UserName);\n");
}

// A writable register is read back into the array that its control line wrote.
TEST(FeatureCode, RegisterGetsItsSizeAndIsReadBackIntoItsArray) {
  DeviceMap map;
  FeatureCodePrefixes prefixes = DevicePrefixes();
  prefixes.featureNamePrefix = "Cam:";
  EXPECT_EQ(map.Code("Lut", prefixes),
            "// The following code can be used to control feature values.\n"
            "ZOR_UINT8 LUTdata[] = { 1, 2, 250 };\n"
            "QdigControlFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Cam:Lut\"), "
            "Q_TYPE_UINT8, LUTdata);\n"
            "\n"
            "// The following code can be used to inquire feature values.\n"
            "ZOR_INT LUTdataSize = 0;\n"
            "QdigInquireFeature(ZorDigitizer, Q_FEATURE_SIZE, ZOR_TEXT(\"Lut\"), Q_TYPE_ZOR_INT, "
            "&LUTdataSize);\n"
            "QdigInquireFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Cam:Lut\"), "
            "Q_TYPE_UINT8 + Q_FEATURE_USER_ARRAY_SIZE(LUTdataSize), LUTdata);\n");
}

TEST(FeatureCode, SelectorIsSetOncePerSectionBeforeItsFeatures) {
  DeviceMap map;
  FeatureCodePrefixes prefixes = DevicePrefixes();
  prefixes.typePrefix = "Q_GENTL_DEVICE";
  const std::string selector =
      "QdigControlFeature(ZorDigitizer, Q_GENTL_DEVICE + Q_FEATURE_VALUE, "
      "ZOR_TEXT(\"GainSelector\"), Q_TYPE_STRING, ZOR_TEXT(\"Red\"));\n";
  EXPECT_EQ(map.Code("GainSelector", prefixes),
            "// The following code can be used to control feature values.\n"
            "ZOR_DOUBLE GaindB = 1.5;\n"
            "ZOR_DOUBLE Blacklevel = 2;\n" +
                selector +
                "QdigControlFeature(ZorDigitizer, Q_GENTL_DEVICE + Q_FEATURE_VALUE, "
                "ZOR_TEXT(\"Gain\"), Q_TYPE_DOUBLE, &GaindB);\n"
                "QdigControlFeature(ZorDigitizer, Q_GENTL_DEVICE + Q_FEATURE_VALUE, "
                "ZOR_TEXT(\"Black\"), Q_TYPE_DOUBLE, &Blacklevel);\n"
                "\n"
                "// The following code can be used to inquire feature values.\n"
                "GaindB = 0;\n"
                "Blacklevel = 0;\n" +
                selector +
                "QdigInquireFeature(ZorDigitizer, Q_GENTL_DEVICE + Q_FEATURE_VALUE, "
                "ZOR_TEXT(\"Gain\"), Q_TYPE_DOUBLE, &GaindB);\n"
                "QdigInquireFeature(ZorDigitizer, Q_GENTL_DEVICE + Q_FEATURE_VALUE, "
                "ZOR_TEXT(\"Black\"), Q_TYPE_DOUBLE, &Blacklevel);\n");
}

TEST(FeatureCode, CategoryCollectsItsFeaturesOnceWithoutSelectors) {
  DeviceMap map;
  FeatureCodeGenerator generator(DevicePrefixes(), 0);
  generator.FillNodeList(map.Node("Root"));
  std::vector<std::string> names;
  for (auto* node : generator.NodeList()) names.push_back(node->GetName().c_str());
  EXPECT_EQ(names, (std::vector<std::string>{"Gain", "Black", "Width", "Temp"}));
  // The read-only one among them is inquired, never set.
  const std::string code = map.Code("Root");
  EXPECT_EQ(code.find("QdigControlFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Temp\")"),
            std::string::npos);
  EXPECT_NE(code.find("QdigInquireFeature(ZorDigitizer, Q_FEATURE_VALUE, ZOR_TEXT(\"Temp\")"),
            std::string::npos);
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

TEST(FeatureCode, ControlTypeStyleSmallEnumerationDecodesWithIfChain) {
  genapitest::TestMap map(kSystemXml);
  FeatureCodeGenerator generator(SystemPrefixes(), kSystemType);
  generator.FillNodeList(map.Node("Q_GRAB_MODE"));
  EXPECT_EQ(generator.Generate(),
            "// How grabs wait\n"
            "// Returns\n"
            "QsysControl(ZorSystem, Q_GRAB_MODE, Q_ASYNCHRONOUS);\n"
            "\n"
            "ZOR_INT QGRABMODE;\n"
            "// How grabs wait\n"
            "// Returns\n"
            "QsysInquire(ZorSystem, Q_GRAB_MODE, &QGRABMODE);\n"
            "if (QGRABMODE == Q_SYNCHRONOUS)// Waits\n"
            "   {}\n"
            "else if (QGRABMODE == Q_ASYNCHRONOUS)// Returns\n"
            "   {}\n");
}

TEST(FeatureCode, ControlTypeStyleLargeEnumerationDecodesWithSwitch) {
  genapitest::TestMap map(kSystemXml);
  FeatureCodeGenerator generator(SystemPrefixes(), kSystemType);
  generator.FillNodeList(map.Node("Q_IO_SOURCE"));
  const std::string code = generator.Generate();
  EXPECT_NE(code.find("// Input pin\n// Pin info: DB9 pin 1\n"
                      "QsysControl(ZorSystem, Q_IO_SOURCE, Q_AUX_IO0);\n"),
            std::string::npos)
      << code;
  EXPECT_NE(code.find("QsysInquire(ZorSystem, Q_IO_SOURCE, &QIOSOURCE);\n"
                      "switch (QIOSOURCE)\n"
                      "   {\n"
                      "   case Q_AUX_IO0:  break; // Pin info: DB9 pin 1\n"
                      "   case Q_AUX_IO1:  break; // Pin 2\n"
                      "   case Q_AUX_IO2:  break; \n"
                      "   case Q_AUX_IO3:  break; // Pin 4\n"
                      "   case Q_TL_TRIGGER + Q_AUX_IO4:  break; // Pin 5\n"
                      "   }\n"),
            std::string::npos)
      << code;
}

TEST(FeatureCode, ControlTypeStyleCommandAndTypedDeclaration) {
  genapitest::TestMap map(kSystemXml);
  FeatureCodeGenerator command(SystemPrefixes(), kSystemType);
  command.FillNodeList(map.Node("Q_TIMER_TRIGGER"));
  EXPECT_EQ(command.Generate(),
            "// Fires\n"
            "QsysControl(ZorSystem, Q_TIMER_TRIGGER, Q_DEFAULT);\n"
            "\n");
  FeatureCodeGenerator delay(SystemPrefixes(), kSystemType);
  delay.FillNodeList(map.Node("Q_TIMER_DELAY"));
  EXPECT_EQ(delay.Generate(),
            "// Delay\n"
            "QsysControl(ZorSystem, Q_TIMER_DELAY, 0);\n"
            "\n"
            "ZOR_DOUBLE QTIMERDELAY;\n"
            "// Delay\n"
            "QsysInquire(ZorSystem, Q_TIMER_DELAY, &QTIMERDELAY);\n");
}

TEST(FeatureCode, DeclarationTypesOfHostControlTypes) {
  using zor::genicam::ControlTypeDataType;
  EXPECT_EQ(ControlTypeDataType(0x100000, 6750), "ZOR_INT64");
  EXPECT_EQ(ControlTypeDataType(0x100000, 6100), "ZOR_DOUBLE");
  EXPECT_EQ(ControlTypeDataType(0x100000, 0x5000000000 + 6100), "ZOR_DOUBLE");
  EXPECT_EQ(ControlTypeDataType(0x100000, 1049), "ZOR_ID");
  EXPECT_EQ(ControlTypeDataType(0x100000, 7702), "ZOR_STRING");
  EXPECT_EQ(ControlTypeDataType(0x800000, 5136), "ZOR_DOUBLE");
  EXPECT_EQ(ControlTypeDataType(0x200000, 1100), "ZOR_ID");
  EXPECT_EQ(ControlTypeDataType(0x200, 15021), "ZOR_ID");
  EXPECT_EQ(ControlTypeDataType(0x4, 0x10000 | 0x18), "ZOR_INT8*");
  EXPECT_EQ(ControlTypeDataType(0x4, 8453), "ZOR_INT64");
  EXPECT_EQ(ControlTypeDataType(0x4, 0x3000000), "ZOR_DOUBLE");
  EXPECT_EQ(ControlTypeDataType(0x1000, int64_t{6} << 36), "ZOR_ID");
  EXPECT_EQ(ControlTypeDataType(0x1000, (int64_t{8} << 36) + 2000), "ZOR_INT64");
  EXPECT_EQ(ControlTypeDataType(0x1000, (int64_t{5} << 36) + 2000), "ZOR_DOUBLE");
  EXPECT_EQ(ControlTypeDataType(0x800000, 2000), "ZOR_INT");
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
  EXPECT_EQ(kinds(0x800000, {7299, 7300, 7399, 7400, 5135, 5136, 5137, 133072, 134073, 1100, 1199,
                             1200, 1049, 5328, 7699, 7700, 7799, 7800}),
            "-DD--D-D-NN-N--SS-");
  EXPECT_EQ(kinds(0x200000, {1099, 1100, 1199, 1200, 1049, 7700, 7300}), "-NN-N--");
  EXPECT_EQ(kinds(0x200, {15000, 15001, 15002, 15020, 15021, 15022, 6799}), "-D--N-I");
  EXPECT_EQ(
      kinds(0x4, {8452,      8453,       8454,      32767,   32768,          32769,   0x1FFFFFF,
                  0x2000000, 0x4000000,  0x4000001, 0x10000, 0x10000 | 0x38, 0x10040, 0x80000,
                  0x400000,  0x40000000, 9001,      9002,    9031,           9032}),
      "-I--I--DD-BB-BBB-BB-");
  EXPECT_EQ(
      kinds(0x1000, {int64_t{5} << 36, int64_t{6} << 36, int64_t{8} << 36, 0, int64_t{7} << 36}),
      "DNI--");
}

TEST(FeatureCode, FailingReadBecomesErrorPiece) {
  DeviceMap map;
  FeatureCodeGenerator generator(DevicePrefixes(), 0);
  generator.SetNodeList({map.Node("Width"), nullptr});
  const std::string code = generator.Generate();
  EXPECT_NE(code.find("// *************************************************\n"
                      "Error: NULL pointer dereferenced\n"),
            std::string::npos)
      << code;
  EXPECT_NE(code.find("ZOR_INT64 ImageWidth = 640;\n"), std::string::npos);
}

}  // namespace
