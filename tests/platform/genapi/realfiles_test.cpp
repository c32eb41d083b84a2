#include <gtest/gtest.h>

#include <string>

#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/realdevice.h"

using namespace GenApi;
using genapitest::Device;
using genapitest::kFiles;

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
  EXPECT_EQ(info->GetModelName(), "Model");
  EXPECT_EQ(info->GetVendorName(), "Emmanuel");
  EXPECT_EQ(info->GetProductGuid(), "111-222");
  Version_t version{};
  info->GetDeviceVersion(version);
  EXPECT_EQ(version.Major, 292);
  EXPECT_EQ(CIntegerPtr(d.Node("IntSwissKnifeTestEntity"))->GetValue(), 0x10305070);
  EXPECT_EQ(CIntegerPtr(d.Node("IntSwissKnifeTestEntity2"))->GetValue(), 3);
  EXPECT_EQ(CIntegerPtr(d.Node("IntSwissKnifeTestSubAndConstant"))->GetValue(), 140);
  EXPECT_EQ(CIntegerPtr(d.Node("IntSwissKnifeBug699228"))->GetValue(), 4);
  CFloatPtr converter(d.Node("Converter"));
  EXPECT_DOUBLE_EQ(converter->GetValue(), 200.0);
  converter->SetValue(50.0);
  EXPECT_EQ(CIntegerPtr(d.Node("ConverterValue"))->GetValue(), 25);
  CIntegerPtr intConverter(d.Node("IntConverter"));
  EXPECT_EQ(intConverter->GetValue(), 2);
  intConverter->SetValue(20);
  EXPECT_EQ(CIntegerPtr(d.Node("ConverterValue"))->GetValue(), 200);
  EXPECT_EQ(CIntegerPtr(d.Node("Table"))->GetValue(), 200);
  EXPECT_NEAR(CFloatPtr(d.Node("FloatTable"))->GetValue(), 200.2, 1e-9);
  CIntegerPtr(d.Node("TableSelector"))->SetValue(99);
  EXPECT_EQ(CIntegerPtr(d.Node("Table"))->GetValue(), 600);
  CEnumerationPtr e(d.Node("Enumeration"));
  EXPECT_EQ(e->ToString(), "Entry0");
  EXPECT_EQ(e->GetEntryByName("EntryNotImplemented")->GetNode()->GetAccessMode(), NI);
  EXPECT_THROW(e->FromString("EntryNotAvailable"), GenICam::AccessException);
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
  int changes = 0;
  struct Counter {
    void On(INode*) { ++*n; }
    int* n;
  } counter{&changes};
  Register(d.Node("DeviceTemperature"), counter, &Counter::On, cbPostOutsideLock);
  d.ref._Poll(9000);
  EXPECT_EQ(changes, 0);
  d.ref._Poll(1000);  // the register's 10 s polling time ran out
  EXPECT_EQ(changes, 1);

  // Gain is implemented only when its inquiry register says so (bit 1, counted from the top).
  CFloatPtr gain(d.Node("Gain"));
  EXPECT_EQ(gain->GetAccessMode(), NI);
  d.Put32("GainAbsCtrlInq_Bit", 0x40000000);
  d.ref._InvalidateNodes();
  EXPECT_TRUE(IsImplemented(gain));
  EXPECT_EQ(CIntegerPtr(d.Node("GainAbsCtrlInq_Bit"))->GetValue(), 1);

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
  int changes = 0;
  struct Counter {
    void On(INode*) { ++*n; }
    int* n;
  } counter{&changes};
  Register(d.Node("HueEnabled"), counter, &Counter::On, cbPostOutsideLock);
  hue->SetValue(true);
  EXPECT_EQ(d.port.Get32(d.Address("HueCtrl_Reg"), true), 0x02000080u);  // other bits kept
  EXPECT_TRUE(hue->GetValue());
  EXPECT_GE(changes, 1);
  hue->SetValue(false);
  EXPECT_EQ(d.port.Get32(d.Address("HueCtrl_Reg"), true), 0x00000080u);
}

TEST(RealFiles, TucsenWidthLimitsLockAndModelName) {
  Device d("tucsen-dhyana6060bsi-cxp.xml");
  d.Put32("WidthMaxReg", 6144);
  d.Put32("WidthReg", 2048);
  CIntegerPtr width(d.Node("Width"));
  EXPECT_EQ(width->GetValue(), 2048);
  EXPECT_EQ(width->GetMin(), 64);
  EXPECT_EQ(width->GetMax(), 6144);
  width->SetValue(1024);
  EXPECT_EQ(d.port.Get32(0x8118, true), 1024u);
  EXPECT_THROW(width->SetValue(8000), GenICam::OutOfRangeException);
  CIntegerPtr(d.Node("TLParamsLocked"))->SetValue(1);
  EXPECT_EQ(width->GetAccessMode(), RO);
  EXPECT_THROW(width->SetValue(512), GenICam::AccessException);
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
  EXPECT_EQ(width->GetValue(), 640);
  EXPECT_EQ(width->GetMax(), 640);
  EXPECT_EQ(width->GetInc(), 1);
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
  try {
    d.Node("Gain")->GetAccessMode();
    FAIL();
  } catch (const GenICam::GenericException& e) {
    EXPECT_NE(std::string(e.GetDescription()).find("'GainAvailable'"), std::string::npos);
  }
}
