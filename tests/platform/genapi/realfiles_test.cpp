#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <tuple>
#include <vector>

#include "platform/genapi/base/log.h"
#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/realdevice.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using namespace genapitest;

TEST(RealFiles, EveryNodeOfEveryFileReadsOrRaisesAGenICamException) {
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    Device device(file);
    NodeList_t nodes;
    device.ref._GetNodes(nodes);
    EXPECT_GT(nodes.size(), 50u);
    for (INode* node : nodes) {
      try {
        node->GetAccessMode();
        CValuePtr value(node);
        if (IsReadable(value) && node->GetPrincipalInterfaceType() != intfICommand) {
          value->ToString();
        }
      } catch (const GenICam::GenericException& e) {
        // All-zero registers make some formulas divide by zero; the error must name the node.
        EXPECT_NE(std::string(e.GetDescription()).find(node->GetName().str()), std::string::npos)
            << e.GetDescription();
      }
    }
  }
}

TEST(RealFiles, AravisTestFileFormulasConvertersAndTables) {
  Device d("aravis-tests-genicam.xml");
  CPointer<IDeviceInfo, INodeMap> info(d.ref._Ptr);
  Version_t version{};
  info->GetDeviceVersion(version);
  EXPECT_EQ(info->GetModelName() + "|" + info->GetVendorName() + "|" + info->GetProductGuid() +
                "|" + std::to_string(version.Major),
            "Model|Emmanuel|111-222|292");
  EXPECT_EQ(Values(d.ref,
                   "IntSwissKnifeTestEntity IntSwissKnifeTestEntity2 "
                   "IntSwissKnifeTestSubAndConstant IntSwissKnifeBug699228 Converter Table "
                   "FloatTable Enumeration"),
            "IntSwissKnifeTestEntity=271601776; IntSwissKnifeTestEntity2=3; "
            "IntSwissKnifeTestSubAndConstant=140; IntSwissKnifeBug699228=4; Converter=200; "
            "Table=200; FloatTable=200.2; Enumeration=Entry0");
  CFloatPtr(d.Node("Converter"))->SetValue(50.0);
  EXPECT_EQ(Values(d.ref, "ConverterValue IntConverter"),
            "ConverterValue=25; IntConverter=2 [-922337203685477632,922337203685477632]");
  CIntegerPtr(d.Node("IntConverter"))->SetValue(20);
  CIntegerPtr(d.Node("TableSelector"))->SetValue(99);
  EXPECT_EQ(Values(d.ref, "ConverterValue Table"), "ConverterValue=200; Table=600");
  CEnumerationPtr e(d.Node("Enumeration"));
  EXPECT_EQ(e->GetEntryByName("EntryNotImplemented")->GetNode()->GetAccessMode(), NI);
  EXPECT_EQ(Raised([&] { e->FromString("EntryNotAvailable"); }), "access");
  StringList_t symbolics;
  e->GetSymbolics(symbolics);
  EXPECT_EQ(symbolics, (StringList_t{"Entry0", "Entry1"}));
}

TEST(RealFiles, PointGreyTemperaturePollingAndImplementedFlags) {
  Device d("pgr-flea3-ge-28s4c.xml");
  EXPECT_EQ(d.Address("Temperature_Reg"), 0xF0F0082C);
  d.Put32("Temperature_Reg", 2985);  // tenths of a kelvin in the low 12 bits
  CFloatPtr temperature(d.Node("DeviceTemperature"));
  EXPECT_NEAR(temperature->GetValue(), 298.5 - 273.15, 1e-9);
  Counter changes;
  Register(d.Node("DeviceTemperature"), changes, &Counter::On, cbPostOutsideLock);
  d.ref._Poll(9000);
  const int before = changes.count;
  d.ref._Poll(1000);  // the register's 10 s polling time ran out
  EXPECT_EQ(std::pair(before, changes.count.load()), std::pair(0, 1));

  // Gain is implemented only when its inquiry register says so (bit 1, counted from the top).
  CFloatPtr gain(d.Node("Gain"));
  EXPECT_EQ(gain->GetAccessMode(), NI);
  d.Put32("GainAbsCtrlInq_Bit", 0x40000000);
  d.ref._InvalidateNodes();
  EXPECT_EQ(std::pair(IsImplemented(gain), CIntegerPtr(d.Node("GainAbsCtrlInq_Bit"))->GetValue()),
            std::pair(true, int64_t{1}));

  FeatureList_t selecting;
  CSelectorPtr(d.Node("TriggerMode"))->GetSelectingFeatures(selecting);
  ASSERT_EQ(selecting.size(), 1u);
  EXPECT_EQ(selecting[0]->GetNode()->GetName(), "TriggerSelector");
  EXPECT_TRUE(d.Node("Gain")->IsFeature());
}

TEST(RealFiles, PointGreyBooleanThroughConverterFormulasIntoARegister) {
  Device d("pgr-flea3-ge-28s4c.xml");
  CBooleanPtr hue(d.Node("HueEnabled"));
  EXPECT_EQ(hue->GetAccessMode(), NA);       // the inquiry bits say there is no hue control
  d.Put32("HueAbsCtrlInq_Bit", 0x41000000);  // absolute control and manual mode present
  d.ref._InvalidateNodes();
  ASSERT_EQ(hue->GetAccessMode(), RW);
  d.Put32("HueCtrl_Reg", 0x00000080);
  Counter changes;
  Register(d.Node("HueEnabled"), changes, &Counter::On, cbPostOutsideLock);
  hue->SetValue(true);
  EXPECT_EQ(d.port.Get32(d.Address("HueCtrl_Reg"), true), 0x02000080u);  // other bits kept
  EXPECT_TRUE(hue->GetValue());
  EXPECT_GE(changes.count, 1);
  hue->SetValue(false);
  EXPECT_EQ(d.port.Get32(d.Address("HueCtrl_Reg"), true), 0x00000080u);
}

TEST(RealFiles, TucsenWidthLimitsLockAndModelName) {
  Device d("tucsen-dhyana6060bsi-cxp.xml");
  d.Put32("WidthMaxReg", 6144);
  d.Put32("WidthReg", 2048);
  CIntegerPtr width(d.Node("Width"));
  EXPECT_EQ(Values(d.ref, "Width"), "Width=2048 [64,6144]");
  width->SetValue(1024);
  EXPECT_EQ(d.port.Get32(0x8118, true), 1024u);
  EXPECT_EQ(Raised([&] { width->SetValue(8000); }), "range");
  width->SetValue(8000, false);  // without verification, no range check
  EXPECT_EQ(d.port.Get32(0x8118, true), 8000u);
  // The lock takes writing away; a command on a write-only register has no access left.
  EXPECT_EQ(Modes(d.ref, "FactoryDefault"), "FactoryDefault=WO");
  CIntegerPtr(d.Node("TLParamsLocked"))->SetValue(1);
  EXPECT_EQ(width->GetAccessMode(), RO);
  EXPECT_EQ(Raised([&] { width->SetValue(512); }), "access");
  CCommandPtr factoryDefault(d.Node("FactoryDefault"));
  EXPECT_EQ(Modes(d.ref, "FactoryDefault AcquisitionStart") + Raised([&] {
              factoryDefault->Execute();
            }) + std::to_string(factoryDefault->IsDone()),
            "FactoryDefault=NA; AcquisitionStart=RWaccess1");
  // The software trigger is locked unless the trigger mode is 2: write-only
  // and locked, it has no access left; unlocked, it executes.
  CCommandPtr trigger(d.Node("TrigSoftwareSignal"));
  d.Put32("TrigModeReg", 1);
  d.ref._InvalidateNodes();
  EXPECT_EQ(trigger->GetAccessMode(), NA);
  EXPECT_THROW(trigger->Execute(), GenICam::AccessException);
  d.Put32("TrigModeReg", 2);
  d.ref._InvalidateNodes();
  EXPECT_EQ(trigger->GetAccessMode(), WO);
  trigger->Execute();
  EXPECT_EQ(d.port.Get32(d.Address("TrigSoftwareSignalReg"), true), 1u);
  const char model[] = "Dhyana 6060BSI";
  for (size_t i = 0; i < sizeof model; ++i)
    d.port.bytes[0x2020 + i] = static_cast<uint8_t>(model[i]);
  EXPECT_EQ(CStringPtr(d.Node("DeviceModelName"))->GetValue(), model);
  FeatureList_t selected;
  CSelectorPtr(d.Node("GainMode"))->GetSelectedFeatures(selected);
  EXPECT_FALSE(selected.empty());
  EXPECT_FALSE(CSelectorSet(d.Node("SensorADWidth")).IsEmpty());
}

TEST(RealFiles, AlliedVisionInvalidatorsAndComputedLimits) {
  Device d("avt-mako-g030b.xml");
  d.Put32("RegWidth", 640);
  d.Put32("RegMaxWidth", 656);
  d.Put32("RegRegionX", 16);
  CIntegerPtr width(d.Node("Width"));
  EXPECT_EQ(Values(d.ref, "Width") + " +" + std::to_string(width->GetInc()),
            "Width=640 [1,640] +1");
  d.Put32("RegWidth", 320);
  EXPECT_EQ(width->GetValue(), 640);  // still the cached value
  // UserSetLoad invalidates the width register.
  d.Put32("RegMemoryFileInq", 0xFFFFFFFF);
  d.ref._InvalidateNodes();
  d.Put32("RegWidth", 320);
  EXPECT_EQ(width->GetValue(), 320);
  d.Put32("RegWidth", 100);
  CCommandPtr(d.Node("UserSetLoad"))->Execute();
  EXPECT_EQ(width->GetValue(), 100);
}

TEST(RealFiles, V4l2FileLoadsAndNamesItsMissingNodes) {
  Device d("aravis-arv-v4l2.xml");
  EXPECT_EQ(ErrorOf([&] { d.Node("Gain")->GetAccessMode(); }),
            "Node 'Gain': pIsAvailable references the unknown node 'GainAvailable'");
}

TEST(SchemaRules, FloatRegRangeIsItsTypesAndIsInheritedByWhatReadsIt) {
  Device pgr("pgr-flea3-ge-28s4c.xml");
  CFloatPtr gain(pgr.Node("GainAbsVal_Reg"));  // 4 bytes
  EXPECT_EQ(std::pair(gain->GetMin(), gain->GetMax()), std::pair(-FLT_MAX * 1.0, FLT_MAX * 1.0));
  pgr.Put32("GainAbsVal_Reg", 0x3F800000);  // 1.0f
  EXPECT_THROW(gain->SetValue(1e39), GenICam::OutOfRangeException);
  // No float holds it, so skipping verification must not store infinity.
  EXPECT_THROW(gain->SetValue(-1e39, false), GenICam::OutOfRangeException);
  EXPECT_EQ(pgr.port.Get32(pgr.Address("GainAbsVal_Reg"), true), 0x3F800000u);
  gain->SetValue(FLT_MAX);
  EXPECT_EQ(pgr.port.Get32(pgr.Address("GainAbsVal_Reg"), true), 0x7F7FFFFFu);
  // A converter takes the register's range through FormulaFrom (TO*1000000).
  CFloatPtr exposure(pgr.Node("ExposureUsCtrl_Float"));
  EXPECT_DOUBLE_EQ(exposure->GetMax(), 3.4028234663852886e+38 * 1e6);
  EXPECT_DOUBLE_EQ(exposure->GetMin(), -3.4028234663852886e+38 * 1e6);

  Device avt("avt-mako-g030b.xml");
  CFloatPtr temperature(avt.Node("DeviceTemperature"));  // a Float over a 4-byte FloatReg
  EXPECT_EQ(std::pair(temperature->GetMin(), temperature->GetMax()),
            std::pair(-FLT_MAX * 1.0, FLT_MAX * 1.0));

  Device aravis("aravis-tests-genicam.xml");
  CFloatPtr wide(aravis.Node("FloatReg8C"));  // 8 bytes
  EXPECT_EQ(std::pair(wide->GetMin(), wide->GetMax()), std::pair(-DBL_MAX, DBL_MAX));
  wide->SetValue(1e39);
  EXPECT_EQ(wide->GetValue(), 1e39);
}

TEST(SchemaRules, CommandAccessIsItsValueNodesAndALockTakesWritingAway) {
  Device pgr("pgr-flea3-ge-28s4c.xml");
  const std::string before = Modes(pgr.ref, "UserSetLoad");
  CIntegerPtr(pgr.Node("TLParamsLocked"))->SetValue(1);
  Device avt("avt-mako-g030b.xml");  // ImposedAccessMode WO
  EXPECT_EQ(before + " " + Modes(pgr.ref, "UserSetLoad") + " " + Modes(avt.ref, "AcquisitionStart"),
            "UserSetLoad=RW UserSetLoad=RO AcquisitionStart=WO");
}

TEST(SchemaRules, AddressSumsNamedFormulasAndEveryIndexTimesItsOffset) {
  Device d("aravis-tests-genicam.xml");
  EXPECT_EQ(d.Address("IntRegisterB"), 0x2000 + 0xFF);
  // A node of the map by its own name.
  EXPECT_EQ(Values(d.ref, "IntRegisterBAddress"), "IntRegisterBAddress=255");
  // Offsets 1000 and 10000; the third pIndex has none, so it steps by the length (4).
  EXPECT_EQ(d.Address("IndexedRegister"), 100 + 20 + 5 * 1000 + 3 * 10000 + 2 * 4);
  CIntegerPtr(d.Node("IndexedRegisterIndex3"))->SetValue(7);
  EXPECT_EQ(d.Address("IndexedRegister"), 100 + 20 + 5 * 1000 + 3 * 10000 + 7 * 4);

  TestMap m(
      "<IntReg Name='R'><Address>0x100</Address><pIndex>I</pIndex><Length>8</Length>"
      "<AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>"
      "<Integer Name='I'><Value>3</Value></Integer>");
  EXPECT_EQ(CRegisterPtr(m.Node("R"))->GetAddress(), 0x100 + 3 * 8);
}

namespace {
std::vector<std::string> warnings;
}

TEST(SchemaRules, AnAccessModeTheSchemaDoesNotAllowIsReadOnlyAndLogged) {
  GenICam::SetLogHandler([](const char* message) { warnings.emplace_back(message); });
  Device d("aravis-tests-genicam.xml");  // four chunk registers say "R"
  GenICam::SetLogHandler(nullptr);
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_NE(warnings[0].find("'ChunkInt'"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("'R'"), std::string::npos) << warnings[0];
  MemoryPort chunk;
  ASSERT_TRUE(d.ref._Connect(&chunk, "IntPort"));
  EXPECT_EQ(Modes(d.ref, "ChunkInt") + Raised([&] {
              CIntegerPtr(d.Node("ChunkInt"))->SetValue(1);
            }) + std::to_string(chunk.writes),
            "ChunkInt=ROaccess0");
}

TEST(SchemaRules, IgnoreCacheReachesFormulaVariables) {
  Device d("pgr-flea3-ge-28s4c.xml");
  CIntegerPtr implemented(d.Node("HueEnabledImplemented_Int"));
  const int64_t before = implemented->GetValue();
  d.Put32("HueAbsCtrlInq_Bit", 0x41000000);        // absolute and manual control present
  const int64_t cached = implemented->GetValue();  // the inquiry register is cached
  EXPECT_EQ(std::make_tuple(before, cached, implemented->GetValue(false, true)),
            std::make_tuple(0, 0, 1));
}

TEST(SchemaRules, SetValueWithoutVerifySkipsTheRangeCheck) {
  TestMap m("<Float Name='F'><Value>1</Value><Min>0</Min><Max>2</Max></Float>");
  CFloatPtr f(m.Node("F"));
  EXPECT_THROW(f->SetValue(5.0), GenICam::OutOfRangeException);
  f->SetValue(5.0, false);
  EXPECT_EQ(f->GetValue(), 5.0);
}

TEST(SchemaRules, CachingModeOfALongValueChainIsFoundWithoutDeepRecursion) {
  constexpr int kLinks = 50000;
  std::string body;
  for (int i = 0; i < kLinks; ++i) {
    body += "<Integer Name='N" + std::to_string(i) + "'><pValue>N" + std::to_string(i + 1) +
            "</pValue></Integer>";
  }
  body += "<IntReg Name='N" + std::to_string(kLinks) +
          "'><Address>0</Address><Length>4</Length><AccessMode>RW</AccessMode>"
          "<pPort>Device</pPort><Cachable>NoCache</Cachable></IntReg>";
  TestMap m(body);
  EXPECT_EQ(std::make_tuple(m.Node("N0")->GetCachingMode(), m.Node("N25000")->GetCachingMode(),
                            m.Node("N1")->IsCachable()),
            std::make_tuple(NoCache, NoCache, false));
  // A value read of such a chain is refused, not a stack overflow.
  EXPECT_EQ(Values(m.ref, "N0"), "N0=!logic");
}
