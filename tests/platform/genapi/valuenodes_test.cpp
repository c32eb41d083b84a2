#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>

#include "platform/genapi/nodes/textconvert.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using namespace genapitest;

TEST(IntegerNode, LimitsIncrementAndVerification) {
  TestMap m(
      "<Integer Name='I'><Value>4</Value><Min>-10</Min><pMax>Max</pMax><Inc>2</Inc></Integer>"
      "<Integer Name='Max'><Value>10</Value></Integer>"
      "<Integer Name='P'><pValue>I</pValue></Integer>");
  // Value, limits, increment and its mode, as one line.
  const auto state = [](const CIntegerPtr& n) {
    return std::to_string(n->GetValue()) + " [" + std::to_string(n->GetMin()) + "," +
           std::to_string(n->GetMax()) + "] +" + std::to_string(n->GetInc()) + "/" +
           std::to_string(n->GetIncMode());
  };
  CIntegerPtr i(m.Node("I"));
  EXPECT_EQ(state(i), "4 [-10,10] +2/1");
  i->SetValue(-2);
  EXPECT_EQ(i->GetValue(), -2);
  // Above, below and off the increment grid.
  EXPECT_EQ(Raised([&] { i->SetValue(12); }) + Raised([&] { i->SetValue(-12); }) +
                Raised([&] { i->SetValue(3); }),
            "rangerangerange");
  CIntegerPtr(m.Node("Max"))->SetValue(20);
  EXPECT_EQ(i->GetMax(), 20);
  // A pValue integer takes value and limits from its target.
  CIntegerPtr p(m.Node("P"));
  p->SetValue(8);
  EXPECT_EQ(state(i), "8 [-10,20] +2/1");
  EXPECT_EQ(state(p), "8 [-10,20] +2/1");
  i->ImposeMax(6);
  // Imposed limits narrow the node's own on each side and never widen them.
  i->ImposeMin(-4);
  EXPECT_EQ(std::to_string(i->GetMin()) + Raised([&] { i->SetValue(8); }) +
                Raised([&] { i->SetValue(-6); }),
            "-4rangerange");
  i->ImposeMin(-20);
  EXPECT_EQ(state(i), "8 [-10,6] +2/1");
  i->ImposeMax(30);
  EXPECT_EQ(i->GetMax(), 20);
}

TEST(IntegerNode, TextFormsFollowTheRepresentation) {
  TestMap m(
      "<Integer Name='Hex'><Value>255</Value><Representation>HexNumber</Representation></Integer>"
      "<Integer Name='Ip'><Value>3232235777</Value><Representation>IPV4Address</Representation>"
      "</Integer>"
      "<Integer Name='Mac'><Value>0</Value><Representation>MACAddress</Representation></Integer>"
      "<Integer Name='Plain'><Value>-5</Value></Integer>");
  EXPECT_EQ(CValuePtr(m.Node("Hex"))->ToString(), "0xFF");
  EXPECT_EQ(CValuePtr(m.Node("Ip"))->ToString(), "192.168.1.1");
  CValuePtr(m.Node("Ip"))->FromString("10.0.0.2");
  EXPECT_EQ(CIntegerPtr(m.Node("Ip"))->GetValue(), 0x0A000002);
  CValuePtr(m.Node("Mac"))->FromString("00:1a:2B:3c:4d:5e");
  EXPECT_EQ(CValuePtr(m.Node("Mac"))->ToString(), "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(CValuePtr(m.Node("Plain"))->ToString(), "-5");
  CValuePtr(m.Node("Plain"))->FromString("0x10");
  EXPECT_EQ(CIntegerPtr(m.Node("Plain"))->GetValue(), 16);
  EXPECT_THROW(CValuePtr(m.Node("Plain"))->FromString("12abc"), GenICam::InvalidArgumentException);
  // Both ends of the integers, and one past the top.
  CValuePtr(m.Node("Plain"))->FromString("9223372036854775807");
  EXPECT_EQ(CIntegerPtr(m.Node("Plain"))->GetValue(), INT64_MAX);
  CValuePtr(m.Node("Plain"))->FromString("-9223372036854775808");
  EXPECT_EQ(CIntegerPtr(m.Node("Plain"))->GetValue(), INT64_MIN);
  EXPECT_THROW(CValuePtr(m.Node("Plain"))->FromString("9223372036854775808"),
               GenICam::InvalidArgumentException);
  EXPECT_THROW(CValuePtr(m.Node("Ip"))->FromString("1.2.3.256"), GenICam::InvalidArgumentException);
  // One past the bottom is refused too, not wrapped to another value.
  for (const char* refused :
       {"", " ", "-", "+", "0x", "--5", "+-5", "0x-5", "5 5", "-9223372036854775809",
        "-18446744073709551615", "18446744073709551616"}) {
    EXPECT_FALSE(TryParseInteger(refused)) << refused;
  }
  EXPECT_EQ(TryParseInteger(" +42\t"), 42);
  EXPECT_EQ(TryParseInteger("-0x10"), -16);
  EXPECT_EQ(TryParseInteger("0XFFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(TryParseFloat(" 0x10 "), 16.0);
  EXPECT_EQ(TryParseFloat("2.5"), 2.5);
  EXPECT_FALSE(TryParseFloat("2.5x"));
  // Every byte of a dotted form in its place, each part at its bounds.
  EXPECT_EQ(StringToInteger(" 255.254.0.9 ", IPV4Address), 0xFFFE0009);
  EXPECT_EQ(StringToInteger("7", IPV4Address), 7);
  EXPECT_EQ(StringToInteger("ff:FE:0:1:2:3", MACAddress), 0xFFFE00010203);
  for (const char* refused : {"1.2.3", "1.2.3.4.5", "1..3.4", "1.2.3.4x", "256.0.0.0"}) {
    EXPECT_FALSE(StringToInteger(refused, IPV4Address)) << refused;
  }
  EXPECT_FALSE(StringToInteger("ff:fe:0:1:2", MACAddress));
  EXPECT_FALSE(StringToInteger("100:0:0:0:0:0", MACAddress));
  // Odd bytes, so that a mask one short shows too.
  EXPECT_EQ(IntegerToString(0x1FFFD0109, IPV4Address), "255.253.1.9");
  EXPECT_EQ(IntegerToString(0x7F01030507090B, MACAddress), "01:03:05:07:09:0B");
  EXPECT_EQ(IntegerToString(-1, HexNumber), "0xFFFFFFFFFFFFFFFF");
  // Precision: below 0 the default of 6, at most 30.
  EXPECT_EQ(FloatToString(1.5, fnFixed, -1), "1.500000");
  EXPECT_EQ(FloatToString(1.5, fnFixed, 0), "2");
  EXPECT_EQ(FloatToString(0.5, fnFixed, 31), "0.5" + std::string(29, '0'));
  EXPECT_EQ(FloatToString(1500, fnScientific, 2), "1.50e+03");
  EXPECT_EQ(FloatToString(1500, fnAutomatic, 2), "1.5e+03");
}

TEST(FloatNode, LimitsAndDisplay) {
  TestMap m(
      "<Float Name='F'><Value>0.5</Value><Min>-1.5</Min><Max>2.5</Max>"
      "<DisplayNotation>Fixed</DisplayNotation><DisplayPrecision>3</DisplayPrecision>"
      "<Unit>dB</Unit></Float>"
      "<Float Name='NoInc'><Value>1</Value></Float>");
  CFloatPtr f(m.Node("F"));
  EXPECT_EQ(f->ToString() + " " + f->GetUnit() + " " + std::to_string(f->HasInc()) +
                Raised([&] { f->SetValue(3.0); }) + Raised([&] { f->FromString("abc"); }),
            "0.500 dB 0rangeargument");
  f->FromString("-1.25");
  EXPECT_DOUBLE_EQ(f->GetValue(), -1.25);
  CFloatPtr noInc(m.Node("NoInc"));
  EXPECT_EQ(noInc->GetIncMode(), noIncrement);
  EXPECT_LT(noInc->GetMin(), -1e300);
}

TEST(BooleanAndCommand, OnOffValuesAndExecution) {
  TestMap m(
      "<Boolean Name='B'><pValue>BV</pValue><OnValue>23</OnValue><OffValue>42</OffValue></Boolean>"
      "<Integer Name='BV'><Value>23</Value></Integer>"
      "<Boolean Name='Through'><pValue>B</pValue></Boolean>"
      "<Command Name='C'><pValue>CR</pValue><CommandValue>5</CommandValue></Command>"
      "<IntReg Name='CR'><Address>0x40</Address><Length>4</Length><AccessMode>RW</AccessMode>"
      "<pPort>Device</pPort><Cachable>NoCache</Cachable></IntReg>");
  CBooleanPtr b(m.Node("B"));
  EXPECT_TRUE(b->GetValue());
  b->SetValue(false);
  EXPECT_EQ(Values(m.ref, "BV B"), "BV=42; B=0");
  // Each text form, in either case, and one that is none.
  for (const auto& [text, value] :
       {std::pair{"TRUE", true}, {"0", false}, {"1", true}, {"False", false}}) {
    b->FromString(text);
    EXPECT_EQ(b->GetValue(), value) << text;
  }
  EXPECT_EQ(Raised([&] { b->FromString("yes"); }), "argument");
  CIntegerPtr(m.Node("BV"))->SetValue(7);
  EXPECT_EQ(Values(m.ref, "B"), "B=!range");
  b->FromString("true");
  EXPECT_EQ(b->ToString(), "1");
  CBooleanPtr(m.Node("Through"))->SetValue(false);  // a write from another node
  EXPECT_EQ(Values(m.ref, "BV"), "BV=42");

  CCommandPtr c(m.Node("C"));
  EXPECT_EQ(c->GetAccessMode(), RW);  // its register can be read back for IsDone
  c->Execute();
  EXPECT_EQ(std::pair(m.port.Get32(0x40, false), c->IsDone()), std::pair(5u, false));
  m.port.Put32(0x40, 0, false);  // the device finished
  EXPECT_TRUE(c->IsDone());
}

TEST(EnumerationNode, EntriesSymbolicsAndAvailability) {
  TestMap m(
      "<Enumeration Name='E'>"
      "<EnumEntry Name='Off'><Value>0</Value></EnumEntry>"
      "<EnumEntry Name='On'><Value>1</Value></EnumEntry>"
      "<EnumEntry Name='Hidden'><pIsAvailable>Zero</pIsAvailable><Value>2</Value></EnumEntry>"
      "<Value>1</Value></Enumeration>"
      "<Enumeration Name='Other'><EnumEntry Name='Off'><Value>9</Value></EnumEntry>"
      "<Value>9</Value></Enumeration>"
      "<Integer Name='Zero'><Value>0</Value></Integer>");
  CEnumerationPtr e(m.Node("E"));
  StringList_t symbolics;
  e->GetSymbolics(symbolics);
  EXPECT_EQ(symbolics, (StringList_t{"Off", "On"}));
  NodeList_t entries;
  e->GetEntries(entries);
  // Entries of different enumerations may share a name.
  EXPECT_EQ(e->ToString() + e->GetCurrentEntry()->GetSymbolic() + std::to_string(entries.size()) +
                Values(m.ref, "EnumEntry_E_Off EnumEntry_Other_Off"),
            "OnOn3EnumEntry_E_Off=Off; EnumEntry_Other_Off=Off");
  *e = "Off";
  EXPECT_EQ(std::to_string(e->GetIntValue()) + Raised([&] { e->FromString("Hidden"); }) +
                Raised([&] { e->FromString("Missing"); }) + Raised([&] { e->SetIntValue(7); }) +
                std::to_string(e->GetEntryByName("Hidden")->GetValue()),
            "0accessargumentrange2");
  EXPECT_EQ(e->GetEntry(5), nullptr);
  EXPECT_EQ(CNodePtr(m.Node("EnumEntry_E_Hidden"))->GetPrincipalInterfaceType(), intfIEnumEntry);
}

TEST(StringNodes, InlineAndRegisterStrings) {
  TestMap m(
      "<String Name='S'><Value>hello</Value></String>"
      "<StringReg Name='SR'><Address>0x100</Address><Length>8</Length><AccessMode>RW</AccessMode>"
      "<pPort>Device</pPort></StringReg>"
      "<String Name='P'><pValue>SR</pValue></String>");
  CStringPtr s(m.Node("S"));
  EXPECT_EQ(s->GetValue(), "hello");
  s->SetValue("world");
  CStringPtr sr(m.Node("SR"));
  sr->SetValue("abc");
  EXPECT_EQ(Values(m.ref, "S P") + " " + m.port.Hex(0x100, 4) + " " +
                std::to_string(sr->GetMaxLength()) + Raised([&] { sr->SetValue("123456789"); }),
            "S=world; P=abc 61626300 8range");
  for (int i = 0; i < 8; ++i) m.port.bytes[0x100 + i] = 'x';  // no terminator on the device
  EXPECT_EQ(sr->GetValue(false, true), GenICam::gcstring(8, 'x'));
}

TEST(IndexedValues, ValueIndexedWithDefault) {
  TestMap m(
      "<Integer Name='M'><pIndex>Sel</pIndex>"
      "<ValueIndexed Index='10'>100</ValueIndexed><pValueIndexed Index='20'>E1</pValueIndexed>"
      "<pValueDefault>D</pValueDefault></Integer>"
      "<Integer Name='Sel'><Value>20</Value></Integer>"
      "<Integer Name='E1'><Value>200</Value></Integer>"
      "<Integer Name='D'><Value>-1</Value></Integer>"
      "<Float Name='F'><pIndex>Sel</pIndex><ValueIndexed Index='10'>1.5</ValueIndexed></Float>");
  std::string seen = Values(m.ref, "M");
  CIntegerPtr(m.Node("Sel"))->SetValue(10);
  seen += " " + Values(m.ref, "M");
  CIntegerPtr(m.Node("M"))->SetValue(101);
  seen += " " + Values(m.ref, "M");
  CIntegerPtr(m.Node("Sel"))->SetValue(3);
  EXPECT_EQ(seen + " " + Values(m.ref, "M F"), "M=200 M=100 M=101 M=-1; F=!range");
}

TEST(CategoryNode, FeaturesAndIsFeature) {
  TestMap m(
      "<Category Name='Root'><pFeature>Sub</pFeature><pFeature>NotThere</pFeature></Category>"
      "<Category Name='Sub'><pFeature>A</pFeature></Category>"
      "<Integer Name='A'><Value>1</Value></Integer>"
      "<Integer Name='B'><Value>1</Value></Integer>");
  FeatureList_t features;
  CCategoryPtr(m.Node("Root"))->GetFeatures(features);  // the undefined entry is left out
  NodeList_t children;
  m.Node("Sub")->GetChildren(children, ctReadingChildren);
  ASSERT_EQ(Names(features) + " " + Names(children) + " " +
                std::to_string(m.Node("A")->IsFeature()) + std::to_string(m.Node("B")->IsFeature()),
            "Sub, A, 10");
  EXPECT_EQ(children[0], m.Node("A"));
  EXPECT_EQ(CNodePtr(m.Node("Sub"))->GetAccessMode(), RO);
}

TEST(Pointer, TakesItsOwnInterfaceAsItIsAndCastsAnyOther) {
  TestMap m("<Integer Name='Int'><Value>3</Value></Integer>");
  INode* node = m.Node("Int");
  IInteger* integer = dynamic_cast<IInteger*>(node);
  ASSERT_NE(integer, nullptr);
  const CIntegerPtr same(integer);
  IInteger* none = nullptr;
  EXPECT_EQ(std::pair(same.m_pT, CIntegerPtr(node).m_pT), std::pair(integer, integer));
  EXPECT_EQ(std::vector<bool>({CFloatPtr(node).IsValid(), CIntegerPtr(none).IsValid(),
                               static_cast<bool>(same), static_cast<bool>(CIntegerPtr(none)),
                               CBasePtr(static_cast<IBase*>(integer)).IsValid()}),
            std::vector<bool>({false, false, true, false, true}));
  EXPECT_EQ(same->GetValue(), 3);
}

namespace {

// Every descriptive text and flag of a node, as one line.
std::string Texts(INode* n) {
  std::ostringstream out;
  out << n->GetName(true) << '|' << n->GetToolTip() << '|' << n->GetDescription() << '|'
      << n->GetDisplayName() << '|' << n->GetVisibility() << '|' << n->GetNameSpace() << '|'
      << n->GetDocuURL() << '|' << n->GetEventID() << '|' << n->IsDeprecated() << n->IsStreamable()
      << '|' << n->GetPollingTime() << '|' << n->GetDeviceName();
  return out.str();
}

// The nodes of every link type, in the order of ELinkType.
std::string Links(INode* n) {
  std::string out;
  for (int type = ctParentNodes; type <= ctValueChangingChildren; ++type) {
    NodeList_t nodes;
    n->GetChildren(nodes, static_cast<ELinkType>(type));
    out += '|';
    for (INode* node : nodes) out += std::string(node->GetName()) + ",";
  }
  return out;
}

}  // namespace

TEST(NodeTexts, PropertiesAndDescriptiveTexts) {
  TestMap m(
      "<Category Name='Root'><pIsAvailable>One</pIsAvailable><pFeature>Reset</pFeature></Category>"
      "<Integer Name='One'><Value>1</Value></Integer>"
      "<Command Name='Reset' NameSpace='Standard'><ToolTip>tip</ToolTip>"
      "<Description>desc</Description><DisplayName>Reset Device</DisplayName>"
      "<Visibility>Guru</Visibility><DocuURL>http://doc</DocuURL><EventID>1A</EventID>"
      "<IsDeprecated>Yes</IsDeprecated><Streamable>No</Streamable>"
      "<pValue>One</pValue><CommandValue>268435456</CommandValue></Command>"
      "<Integer Name='Plain'><Value>1</Value><Streamable>Yes</Streamable></Integer>");
  INode* reset = m.Node("Reset");
  gcstring value, attribute;
  ASSERT_TRUE(reset->GetProperty("pValue", value, attribute));
  EXPECT_EQ(value, "One");
  ASSERT_TRUE(reset->GetProperty("CommandValue", value, attribute));
  EXPECT_EQ(value, "268435456");
  EXPECT_EQ(std::pair(value.find('6', 2), value.rfind('6', 7)), std::pair(size_t{8}, size_t{1}));
  EXPECT_FALSE(reset->GetProperty("pMax", value, attribute));
  gcstring_vector names;
  reset->GetPropertyNames(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "ToolTip"), names.end());
  EXPECT_EQ(reset->GetNodeMap(), m.ref._Ptr);
  EXPECT_EQ(Texts(reset), "Std::Reset|tip|desc|Reset Device|2|1|http://doc|1A|10|-1|Device");
  // The display name falls back to the name.
  EXPECT_EQ(Texts(m.Node("Plain")), "Cust::Plain|||Plain|0|0|||01|-1|Device");
  // A category's reading children are its features only.
  EXPECT_EQ(Links(m.Node("Root")), "||Reset,||||One,Reset,|");
  EXPECT_EQ(Links(reset), "||One,|One,|||One,|One,");
  EXPECT_EQ(Links(m.Node("One")), "|Root,Reset,||||Root,Reset,||");
  NodeList_t children;
  m.Node("One")->GetParents(children);
  EXPECT_EQ(children.size(), 2u);
}

TEST(XmlReading, EntitiesCdataAndCommentsReadAsAnyXmlReaderWould) {
  TestMap m(
      "<Integer Name='A'><ToolTip>\n  a &amp; b <!-- note --> c\n</ToolTip>"
      "<Value><![CDATA[ 12 ]]></Value></Integer>"
      "<IntReg Name='R'><Address>0x10</Address><pIndex Offset='&#x31;&#54;'>A</pIndex>"
      "<Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>"
      "<Integer Name='Q&amp;A'><Value>1</Value></Integer>"
      "<Integer Name='&#x7F;&#x80;&#x7FF;&#x800;&#xFFFD;&#x10000;&#1114111;'><Value>1</Value>"
      "</Integer>");
  EXPECT_EQ(m.Node("A")->GetToolTip(), "a & b  c");
  EXPECT_EQ(CRegisterPtr(m.Node("R"))->GetAddress(), 0x10 + 12 * 16);
  // Character references of every UTF-8 length, each at the bounds of its length.
  const std::string utf8 =
      "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(Values(m.ref, "A Q&A " + utf8), "A=12; Q&A=1; " + utf8 + "=1");
}
