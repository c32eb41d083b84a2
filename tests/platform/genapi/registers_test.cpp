#include <gtest/gtest.h>

#include <cstring>

#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using namespace genapitest;

namespace {

std::string Reg(const char* kind, const char* name, const char* address, const char* length,
                const char* extra = "") {
  return std::string("<") + kind + " Name='" + name + "'><Address>" + address +
         "</Address><Length>" + length + "</Length><AccessMode>RW</AccessMode>" +
         "<pPort>Device</pPort>" + extra + "</" + kind + ">";
}

}  // namespace

TEST(IntReg, ByteOrderSignAndDerivedLimits) {
  TestMap m(Reg("IntReg", "BE", "0x10", "4", "<Endianess>BigEndian</Endianess>") +
            Reg("IntReg", "LE", "0x10", "4", "<Cachable>NoCache</Cachable>") +
            Reg("IntReg", "S16", "0x20", "2", "<Sign>Signed</Sign>") +
            Reg("IntReg", "S64", "0x30", "8", "<Sign>Signed</Sign><Cachable>NoCache</Cachable>"));
  CIntegerPtr(m.Node("BE"))->SetValue(0x01020304);
  m.port.Put32(0x20, 0xFFFE, false);
  EXPECT_EQ(Values(m.ref, "BE LE S16"),
            "BE=16909060 [0,4294967295]; LE=67305985 [0,4294967295]; S16=-2 [-32768,32767]");
  EXPECT_EQ(m.port.Hex(0x10, 4), "01020304");
  EXPECT_EQ(Raised([&] { CIntegerPtr(m.Node("S16"))->SetValue(40000); }), "range");
  EXPECT_EQ(CRegisterPtr(m.Node("BE"))->GetAddress(), 0x10);
  // A register as wide as the value, both ways.
  CIntegerPtr(m.Node("S64"))->SetValue(-2);
  EXPECT_EQ(m.port.Hex(0x30, 8), "feffffffffffffff");
  m.port.bytes[0x37] = 0x7F;
  EXPECT_EQ(CIntegerPtr(m.Node("S64"))->GetValue(), 0x7FFFFFFFFFFFFFFE);
}

TEST(MaskedIntReg, BitFieldsInBothByteOrders) {
  TestMap m(
      Reg("MaskedIntReg", "BeField", "0x0", "4",
          "<LSB>31</LSB><MSB>20</MSB><Endianess>BigEndian</Endianess>") +
      Reg("MaskedIntReg", "BeBit0", "0x0", "4",
          "<Bit>0</Bit><Endianess>BigEndian</Endianess><Cachable>NoCache</Cachable>") +
      Reg("MaskedIntReg", "LeField", "0x8", "4", "<LSB>4</LSB><MSB>7</MSB><Sign>Signed</Sign>") +
      Reg("MaskedIntReg", "Beyond64", "0x10", "9", "<Bit>64</Bit>"));
  m.port.Put32(0, 0x80000ABC, true);
  m.port.Put32(8, 0xF0, false);
  // Bit 0 is the top bit; a field past the 64th bit cannot be read.
  EXPECT_EQ(Values(m.ref, "BeField BeBit0 LeField Beyond64"),
            "BeField=2748 [0,4095]; BeBit0=1 [0,1]; LeField=-1 [-8,7]; Beyond64=!runtime");
  CIntegerPtr(m.Node("BeField"))->SetValue(0x123);
  CIntegerPtr(m.Node("LeField"))->SetValue(3);
  // The other bits were kept.
  EXPECT_EQ(m.port.Hex(0, 4) + " " + m.port.Hex(8, 4), "80000123 30000000");
}

TEST(StructReg, EntriesShareTheRegisterAndOverrideItsProperties) {
  TestMap m(
      "<StructReg Comment='S'><Address>0x30</Address><Length>4</Length><AccessMode>RW</AccessMode>"
      "<pPort>Device</pPort><Endianess>BigEndian</Endianess>"
      "<StructEntry Name='Top'><Bit>0</Bit></StructEntry>"
      "<StructEntry Name='Low'><LSB>31</LSB><MSB>24</MSB><AccessMode>RO</AccessMode></StructEntry>"
      "</StructReg>");
  m.port.Put32(0x30, 0x800000AA, true);
  EXPECT_EQ(Values(m.ref, "Top Low"), "Top=1 [0,1]; Low=170 [0,255]");
  EXPECT_EQ(m.Node("Low")->GetAccessMode(), RO);
  EXPECT_EQ(Raised([&] { CIntegerPtr(m.Node("Low"))->SetValue(1); }), "access");
}

TEST(FloatRegAndRegister, BytesInAndOut) {
  TestMap m(Reg("FloatReg", "F4", "0x40", "4", "<Endianess>BigEndian</Endianess>") +
            Reg("FloatReg", "F8", "0x48", "8") + Reg("Register", "R", "0x60", "3") +
            Reg("Register", "Big", "0", "16777216") + Reg("Register", "Huge", "0", "16777217") +
            "<SwissKnife Name='Twice'><pVariable Name='X'>F4</pVariable><Formula>X*2</Formula>"
            "</SwissKnife>");
  CFloatPtr f4(m.Node("F4"));
  f4->SetValue(1.5);
  EXPECT_EQ(m.port.Hex(0x40, 4), "3fc00000");
  // Changed behind the map: the cached value until the cache is passed by.
  m.port.Put32(0x40, 0x40200000, true);  // 2.5
  const double cached = f4->GetValue();
  EXPECT_EQ(std::pair(cached, f4->GetValue(false, true)), std::pair(1.5, 2.5));
  m.port.Put32(0x40, 0x40600000, true);  // 3.5, read through a formula past the cache
  EXPECT_DOUBLE_EQ(CFloatPtr(m.Node("Twice"))->GetValue(false, true), 7.0);
  CFloatPtr(m.Node("F8"))->SetValue(-2.25);
  EXPECT_DOUBLE_EQ(CFloatPtr(m.Node("F8"))->GetValue(false, true), -2.25);
  CRegisterPtr r(m.Node("R"));
  const uint8_t bytes[3] = {0xDE, 0xAD, 0x01};
  r->Set(bytes, 3);
  EXPECT_EQ(CValuePtr(m.Node("R"))->ToString(), "0xDEAD01");
  CValuePtr(m.Node("R"))->FromString("0x0A0B0C");
  uint8_t back[3] = {};
  r->Get(back, 3);
  EXPECT_EQ(back[2], 0x0C);
  // Too short a buffer, none to read into or write from; the longest register allowed and one
  // byte more.
  EXPECT_EQ(Raised([&] { r->Get(back, 2); }) + Raised([&] { r->Get(nullptr, 3); }) + Raised([&] {
              r->Set(nullptr, 3);
            }) + std::to_string(CRegisterPtr(m.Node("Big"))->GetLength()) +
                Raised([&] { CRegisterPtr(m.Node("Huge"))->GetLength(); }),
            "rangeargumentargument16777216range");
  EXPECT_EQ(CNodePtr(m.Node("R"))->GetPrincipalInterfaceType(), intfIRegister);
}

TEST(RegisterBytes, IntAndFloatRegistersOfferTheirRawBytes) {
  TestMap m(Reg("IntReg", "I", "0x10", "2") + Reg("FloatReg", "F", "0x20", "4"));
  CRegisterPtr i(m.Node("I"));
  CRegisterPtr f(m.Node("F"));
  EXPECT_EQ(std::pair(i->GetLength(), f->GetAddress()), std::pair(int64_t{2}, int64_t{0x20}));
  const uint8_t word[2] = {0x34, 0x12};
  i->Set(word, 2);
  EXPECT_EQ(CIntegerPtr(m.Node("I"))->GetValue(), 0x1234);
  CFloatPtr(m.Node("F"))->SetValue(1.5);
  uint8_t raw[4] = {};
  f->Get(raw, 4);
  EXPECT_EQ(raw[3], 0x3F);
  const uint8_t two[4] = {0, 0, 0, 0x40};
  f->Set(two, 4);
  EXPECT_DOUBLE_EQ(CFloatPtr(m.Node("F"))->GetValue(), 2.0);  // the raw write reached the cache
  EXPECT_EQ(Raised([&] { i->Set(word, 1); }) + Raised([&] { f->Get(raw, 8); }), "rangerange");
}

TEST(RegisterAddresses, ComputedAddressesAndIndexOffsets) {
  TestMap m(
      "<Integer Name='Base'><Value>0x100</Value></Integer>"
      "<IntSwissKnife Name='Off'><pVariable Name='B'>Base</pVariable><Formula>B / 16</Formula>"
      "</IntSwissKnife>"
      "<Integer Name='Idx'><Value>2</Value></Integer>" +
      Reg("IntReg", "R", "0x4", "4",
          "<pAddress>Base</pAddress><pAddress>Off</pAddress><pIndex Offset='8'>Idx</pIndex>"
          "<Cachable>NoCache</Cachable>"));
  EXPECT_EQ(CRegisterPtr(m.Node("R"))->GetAddress(), 0x4 + 0x100 + 0x10 + 16);
  CIntegerPtr(m.Node("R"))->SetValue(7);
  EXPECT_EQ(m.port.Get32(0x124, false), 7u);
  CIntegerPtr(m.Node("Idx"))->SetValue(0);
  EXPECT_EQ(CIntegerPtr(m.Node("R"))->GetValue(), 0);  // another address now
}

TEST(Caching, ModesInvalidatorsAndPolling) {
  TestMap m(Reg("IntReg", "Through", "0x0", "4") +
            Reg("IntReg", "Around", "0x4", "4", "<Cachable>WriteAround</Cachable>") +
            Reg("IntReg", "None", "0x8", "4", "<Cachable>NoCache</Cachable>") +
            Reg("IntReg", "Inv", "0xC", "4", "<pInvalidator>Trigger</pInvalidator>") +
            Reg("IntReg", "Polled", "0x10", "4", "<PollingTime>100</PollingTime>") +
            "<Integer Name='Trigger'><Value>0</Value></Integer>");
  auto& port = m.port;
  CIntegerPtr through(m.Node("Through"));
  through->SetValue(1);
  const int reads = port.reads;
  EXPECT_EQ(through->GetValue(), 1);
  EXPECT_EQ(port.reads, reads);  // written value is cached
  EXPECT_TRUE(through->IsValueCacheValid());
  port.Put32(0, 2, false);
  EXPECT_EQ(through->GetValue(), 1);
  EXPECT_EQ(through->GetValue(false, true), 2);  // IgnoreCache goes to the device

  CIntegerPtr around(m.Node("Around"));
  around->SetValue(5);
  EXPECT_FALSE(around->IsValueCacheValid());
  port.Put32(4, 6, false);
  EXPECT_EQ(around->GetValue(), 6);

  CIntegerPtr none(m.Node("None"));
  none->GetValue();
  const int before = port.reads;
  none->GetValue();
  EXPECT_EQ(port.reads, before + 1);

  CIntegerPtr inv(m.Node("Inv"));
  EXPECT_EQ(inv->GetValue(), 0);
  port.Put32(0xC, 9, false);
  EXPECT_EQ(inv->GetValue(), 0);
  CIntegerPtr(m.Node("Trigger"))->SetValue(1);
  EXPECT_EQ(inv->GetValue(), 9);

  CIntegerPtr polled(m.Node("Polled"));
  EXPECT_EQ(polled->GetValue(), 0);
  port.Put32(0x10, 4, false);
  m.ref._Poll(60);
  EXPECT_EQ(polled->GetValue(), 0);
  m.ref._Poll(60);
  EXPECT_EQ(polled->GetValue(), 4);

  port.Put32(0, 3, false);
  m.ref._InvalidateNodes();
  EXPECT_EQ(through->GetValue(), 3);
}

TEST(Caching, ComputedNodesCacheLikeWhatTheyAreComputedFrom) {
  TestMap m(
      Reg("IntReg", "Live", "0x0", "4", "<Cachable>NoCache</Cachable>") +
      Reg("IntReg", "Kept", "0x4", "4") +
      "<Integer Name='Inline'><Value>1</Value></Integer>"
      "<Integer Name='OnLive'><pValue>Live</pValue></Integer>"
      "<IntSwissKnife Name='Mixed'><pVariable Name='A'>Kept</pVariable>"
      "<pVariable Name='B'>Live</pVariable><Formula>A + B</Formula></IntSwissKnife>"
      "<IntSwissKnife Name='OnKept'><pVariable Name='A'>Kept</pVariable><Formula>A</Formula>"
      "</IntSwissKnife>"
      "<Float Name='FloatOnLive'><pValue>Live</pValue></Float>"
      "<Enumeration Name='EnumOnLive'><EnumEntry Name='Zero'><Value>0</Value></EnumEntry>"
      "<pValue>Live</pValue></Enumeration>"
      "<IntConverter Name='ConvOnLive'><FormulaTo>FROM</FormulaTo><FormulaFrom>TO</FormulaFrom>"
      "<pValue>Live</pValue></IntConverter>"
      "<Converter Name='ConvOnKept'><FormulaTo>FROM</FormulaTo><FormulaFrom>TO</FormulaFrom>"
      "<pValue>Kept</pValue></Converter>");
  EXPECT_EQ(m.Node("Inline")->GetCachingMode(), WriteThrough);
  EXPECT_EQ(m.Node("OnLive")->GetCachingMode(), NoCache);
  EXPECT_FALSE(m.Node("Mixed")->IsCachable());
  EXPECT_EQ(m.Node("OnKept")->GetCachingMode(), WriteThrough);
  // Once read, a value read through another is kept as long as that one's is.
  const std::pair<const char*, bool> kept[] = {{"Inline", true},       {"OnLive", false},
                                               {"FloatOnLive", false}, {"EnumOnLive", false},
                                               {"ConvOnLive", false},  {"ConvOnKept", true}};
  for (const auto& [name, valid] : kept) {
    CValuePtr value(m.Node(name));
    value->ToString();
    EXPECT_EQ(value->IsValueCacheValid(), valid) << name;
  }
}

TEST(Caching, FormulaResultsFollowTheirInputs) {
  TestMap m(Reg("IntReg", "Live", "0x0", "4", "<Cachable>NoCache</Cachable>") +
            Reg("IntReg", "Kept", "0x4", "4") +
            Reg("IntReg", "Inv", "0x8", "4", "<pInvalidator>Trigger</pInvalidator>") +
            "<Integer Name='Trigger'><Value>0</Value></Integer>"
            "<Integer Name='Factor'><Value>2</Value></Integer>"
            "<IntSwissKnife Name='Mixed'><pVariable Name='A'>Kept</pVariable>"
            "<pVariable Name='B'>Live</pVariable><Formula>A + B</Formula></IntSwissKnife>"
            "<IntSwissKnife Name='Scaled'><pVariable Name='A'>Kept</pVariable>"
            "<pVariable Name='F'>Factor</pVariable><Formula>A * F</Formula></IntSwissKnife>"
            "<SwissKnife Name='Half'><pVariable Name='A'>Inv</pVariable><Formula>A / 2</Formula>"
            "</SwissKnife>");
  m.port.Put32(0x0, 1, false);
  m.port.Put32(0x4, 10, false);
  CIntegerPtr scaled(m.Node("Scaled"));
  EXPECT_EQ(scaled->GetValue(), 20);
  EXPECT_TRUE(scaled->IsValueCacheValid());
  CIntegerPtr(m.Node("Kept"))->SetValue(11);
  EXPECT_EQ(scaled->GetValue(), 22);
  CIntegerPtr(m.Node("Factor"))->SetValue(3);
  EXPECT_EQ(scaled->GetValue(), 33);

  CIntegerPtr mixed(m.Node("Mixed"));  // reads a register that is never cached
  EXPECT_EQ(mixed->GetValue(), 12);
  m.port.Put32(0x0, 5, false);
  EXPECT_EQ(mixed->GetValue(), 16);
  EXPECT_FALSE(mixed->IsValueCacheValid());

  CFloatPtr half(m.Node("Half"));
  EXPECT_DOUBLE_EQ(half->GetValue(), 0.0);
  m.port.Put32(0x8, 9, false);
  EXPECT_DOUBLE_EQ(half->GetValue(), 0.0);  // kept, like the register it reads
  EXPECT_TRUE(half->IsValueCacheValid());
  CIntegerPtr(m.Node("Trigger"))->SetValue(1);
  EXPECT_DOUBLE_EQ(half->GetValue(), 4.5);

  m.port.Put32(0x4, 40, false);
  m.ref._InvalidateNodes();
  EXPECT_EQ(scaled->GetValue(), 120);
}
