#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "platform/genapi/base/log.h"
#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/realdevice.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using genapitest::Device;

TEST(SchemaRules, FloatRegRangeIsItsTypesAndIsInheritedByWhatReadsIt) {
  Device pgr("pgr-flea3-ge-28s4c.xml");
  CFloatPtr gain(pgr.Node("GainAbsVal_Reg"));  // 4 bytes
  EXPECT_EQ(gain->GetMin(), -3.4028234663852886e+38);
  EXPECT_EQ(gain->GetMax(), 3.4028234663852886e+38);
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
  EXPECT_EQ(temperature->GetMax(), 3.4028234663852886e+38);
  EXPECT_EQ(temperature->GetMin(), -3.4028234663852886e+38);

  Device aravis("aravis-tests-genicam.xml");
  CFloatPtr wide(aravis.Node("FloatReg8C"));  // 8 bytes
  EXPECT_EQ(wide->GetMax(), DBL_MAX);
  EXPECT_EQ(wide->GetMin(), -DBL_MAX);
  wide->SetValue(1e39);
  EXPECT_EQ(wide->GetValue(), 1e39);
}

TEST(SchemaRules, CommandAccessIsItsValueNodesAndALockTakesWritingAway) {
  Device tucsen("tucsen-dhyana6060bsi-cxp.xml");
  CCommandPtr factoryDefault(tucsen.Node("FactoryDefault"));  // a write-only register
  EXPECT_EQ(factoryDefault->GetAccessMode(), WO);
  CIntegerPtr(tucsen.Node("TLParamsLocked"))->SetValue(1);
  EXPECT_EQ(factoryDefault->GetAccessMode(), NA);  // write-only, and writing is locked
  EXPECT_THROW(factoryDefault->Execute(), GenICam::AccessException);
  EXPECT_TRUE(factoryDefault->IsDone());
  EXPECT_EQ(tucsen.Node("AcquisitionStart")->GetAccessMode(), RW);

  Device pgr("pgr-flea3-ge-28s4c.xml");
  CCommandPtr userSetLoad(pgr.Node("UserSetLoad"));
  EXPECT_EQ(userSetLoad->GetAccessMode(), RW);
  CIntegerPtr(pgr.Node("TLParamsLocked"))->SetValue(1);
  EXPECT_EQ(userSetLoad->GetAccessMode(), RO);

  Device avt("avt-mako-g030b.xml");
  EXPECT_EQ(avt.Node("AcquisitionStart")->GetAccessMode(), WO);  // ImposedAccessMode WO
}

TEST(SchemaRules, AddressSumsNamedFormulasAndEveryIndexTimesItsOffset) {
  Device d("aravis-tests-genicam.xml");
  EXPECT_EQ(d.Address("IntRegisterB"), 0x2000 + 0xFF);
  CIntegerPtr term(d.Node("IntRegisterBAddress"));  // a node of the map by its own name
  ASSERT_TRUE(term.IsValid());
  EXPECT_EQ(term->GetValue(), 0xFF);
  // Offsets 1000 and 10000; the third pIndex has none, so it steps by the length (4).
  EXPECT_EQ(d.Address("IndexedRegister"), 100 + 20 + 5 * 1000 + 3 * 10000 + 2 * 4);
  CIntegerPtr(d.Node("IndexedRegisterIndex3"))->SetValue(7);
  EXPECT_EQ(d.Address("IndexedRegister"), 100 + 20 + 5 * 1000 + 3 * 10000 + 7 * 4);

  genapitest::TestMap m(
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
  genapitest::MemoryPort chunk;
  ASSERT_TRUE(d.ref._Connect(&chunk, "IntPort"));
  CIntegerPtr chunkInt(d.Node("ChunkInt"));
  EXPECT_EQ(chunkInt->GetAccessMode(), RO);
  EXPECT_THROW(chunkInt->SetValue(1), GenICam::AccessException);
  EXPECT_EQ(chunk.writes, 0);
}

TEST(SchemaRules, IgnoreCacheReachesFormulaVariables) {
  Device d("pgr-flea3-ge-28s4c.xml");
  CIntegerPtr implemented(d.Node("HueEnabledImplemented_Int"));
  EXPECT_EQ(implemented->GetValue(), 0);
  d.Put32("HueAbsCtrlInq_Bit", 0x41000000);  // absolute and manual control present
  EXPECT_EQ(implemented->GetValue(), 0);     // the inquiry register is cached
  EXPECT_EQ(implemented->GetValue(false, true), 1);
}

TEST(SchemaRules, SetValueWithoutVerifySkipsTheRangeCheck) {
  Device d("tucsen-dhyana6060bsi-cxp.xml");
  d.Put32("WidthMaxReg", 6144);
  CIntegerPtr width(d.Node("Width"));
  EXPECT_THROW(width->SetValue(8000), GenICam::OutOfRangeException);
  width->SetValue(8000, false);
  EXPECT_EQ(d.port.Get32(0x8118, true), 8000u);

  genapitest::TestMap m("<Float Name='F'><Value>1</Value><Min>0</Min><Max>2</Max></Float>");
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
  genapitest::TestMap m(body);
  EXPECT_EQ(m.Node("N0")->GetCachingMode(), NoCache);
  EXPECT_EQ(m.Node("N25000")->GetCachingMode(), NoCache);
  EXPECT_FALSE(m.Node("N1")->IsCachable());
  // A value read of such a chain is refused, not a stack overflow.
  EXPECT_THROW(CIntegerPtr(m.Node("N0"))->GetValue(), GenICam::LogicalErrorException);
}
