#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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
  // Each limit, then above, below and off the increment grid.
  EXPECT_EQ(Raised([&] { i->SetValue(10); }) + Raised([&] { i->SetValue(-10); }) +
                Raised([&] { i->SetValue(12); }) + Raised([&] { i->SetValue(-12); }) +
                Raised([&] { i->SetValue(3); }),
            "nonenonerangerangerange");
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
  EXPECT_EQ(std::vector({TryParseInteger(" +42\t"), TryParseInteger("-0x10"),
                         TryParseInteger("0XFFFFFFFFFFFFFFFF")}),
            std::vector<std::optional<int64_t>>({42, -16, -1}));
  EXPECT_EQ(std::vector({TryParseFloat(" 0x10 "), TryParseFloat("2.5"), TryParseFloat("2.5x"),
                         TryParseFloat("0x1p3")}),
            std::vector<std::optional<double>>({16.0, 2.5, std::nullopt, 8.0}));
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

// A converter of F whose reading formula is given, and its slope.
std::string Converter(const char* name, const char* from, const char* slope) {
  return std::string("<Converter Name='") + name +
         "'><pValue>F</pValue><FormulaTo>FROM</FormulaTo>" + "<FormulaFrom>" + from +
         "</FormulaFrom><Slope>" + slope + "</Slope></Converter>";
}

TEST(FloatNode, LimitsAndDisplay) {
  TestMap m(
      "<Float Name='F'><Value>0.5</Value><Min>-1.5</Min><Max>2.5</Max>"
      "<DisplayNotation>Fixed</DisplayNotation><DisplayPrecision>3</DisplayPrecision>"
      "<Unit>dB</Unit></Float>"
      "<Float Name='NoInc'><Value>1</Value></Float><Float Name='To'><pValue>F</pValue></Float>"
      "<Converter Name='Neg'><pValue>F</pValue><FormulaTo>0-FROM</FormulaTo>"
      "<FormulaFrom>0-TO</FormulaFrom></Converter>" +
      Converter("Up", "TO*2", "Increasing") + Converter("ForcedUp", "0-TO", "Increasing") +
      Converter("ForcedDown", "TO*2", "Decreasing") + Converter("Varying", "0-TO", "Varying") +
      Converter("Broken", "1/(TO-2.5)", "Increasing"));
  CFloatPtr f(m.Node("F"));
  EXPECT_EQ(f->ToString() + " " + f->GetUnit() + " " + std::to_string(f->HasInc()) +
                Raised([&] { f->SetValue(3.0); }) + Raised([&] { f->FromString("abc"); }),
            "0.500 dB 0rangeargument");
  // Each limit, a step beyond each, and no number.
  EXPECT_EQ(Raised([&] { f->SetValue(2.5); }) + Raised([&] { f->SetValue(-1.5); }) +
                Raised([&] { f->SetValue(2.6); }) + Raised([&] { f->SetValue(-1.6); }) +
                Raised([&] { f->SetValue(std::nan("")); }),
            "nonenonerangerangerange");
  CFloatPtr(m.Node("To"))->FromString("-1.25");  // written through to F
  EXPECT_DOUBLE_EQ(f->GetValue(), -1.25);
  // A falling formula turns the limits round, unless the slope is given.
  std::string limits;
  for (const char* name : {"Neg", "Up", "ForcedUp", "ForcedDown", "Varying"}) {
    CFloatPtr converter(m.Node(name));
    limits += std::to_string(converter->GetMin()) + "," + std::to_string(converter->GetMax()) + " ";
  }
  EXPECT_EQ(limits,
            "-2.500000,1.500000 -3.000000,5.000000 1.500000,-2.500000 5.000000,-3.000000 "
            "-2.500000,1.500000 ");
  // Limits whose formula fails at a bound are the widest.
  CFloatPtr broken(m.Node("Broken"));
  EXPECT_EQ(std::pair(broken->GetMin(), broken->GetMax()), std::pair(-DBL_MAX, DBL_MAX));
  CFloatPtr noInc(m.Node("NoInc"));
  EXPECT_EQ(noInc->GetIncMode(), noIncrement);
  EXPECT_LT(noInc->GetMin(), -1e300);
}

TEST(BooleanAndCommand, OnOffValuesAndExecution) {
  TestMap m(
      "<Boolean Name='B'><pValue>BV</pValue><OnValue>23</OnValue><OffValue>42</OffValue></Boolean>"
      "<Integer Name='BV'><Value>23</Value></Integer>"
      "<Boolean Name='Through'><pValue>B</pValue></Boolean>"
      "<Command Name='C'><pValue>CR</pValue><CommandValue>5</CommandValue></Command>" +
      Reg("IntReg", "CR", "0x40", "4", "<Cachable>NoCache</Cachable>"));
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
      "<EnumEntry Name='Up'><Value>3</Value><NumericValue>1.5</NumericValue>"
      "<Symbolic>Upward</Symbolic><IsSelfClearing>Yes</IsSelfClearing></EnumEntry>"
      "<Value>9</Value></Enumeration>"
      "<Enumeration Name='Loose'><EnumEntry Name='A'><Value>0</Value></EnumEntry>"
      "<pValue>Zero</pValue></Enumeration>"
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
  NodeList_t children;
  e->GetNode()->GetChildren(children, ctReadingChildren);
  EXPECT_EQ(Names(children), "EnumEntry_E_Off,EnumEntry_E_On,EnumEntry_E_Hidden,");  // its entries
  EXPECT_EQ(CNodePtr(m.Node("EnumEntry_E_Hidden"))->GetPrincipalInterfaceType(), intfIEnumEntry);
  // An entry's own number, text and clearing, or those its value gives; its text is read-only.
  CEnumEntryPtr up(m.Node("EnumEntry_Other_Up"));
  CEnumEntryPtr off(m.Node("EnumEntry_Other_Off"));
  EXPECT_EQ(std::make_tuple(up->GetValue(), up->GetNumericValue(), up->GetSymbolic(),
                            up->IsSelfClearing(), off->GetNumericValue(), off->IsSelfClearing()),
            std::make_tuple(int64_t{3}, 1.5, GenICam::gcstring("Upward"), true, 9.0, false));
  EXPECT_EQ(Raised([&] { up->FromString("Off"); }), "access");
  // A value that no entry has.
  CIntegerPtr(m.Node("Zero"))->SetValue(4);
  EXPECT_EQ(Values(m.ref, "Loose") +
                std::to_string(CEnumerationPtr(m.Node("Loose"))->GetCurrentEntry() == nullptr),
            "Loose=!range1");
}

TEST(StringNodes, InlineAndRegisterStrings) {
  TestMap m("<String Name='S'><Value>hello</Value></String>" +
            Reg("StringReg", "SR", "0x100", "8") + "<String Name='P'><pValue>SR</pValue></String>");
  CStringPtr s(m.Node("S"));
  EXPECT_EQ(s->GetValue(), "hello");
  s->SetValue("world");
  CStringPtr sr(m.Node("SR"));
  sr->SetValue("abc");
  EXPECT_EQ(Values(m.ref, "S P") + " " + m.port.Hex(0x100, 4) + " " +
                std::to_string(sr->GetMaxLength()) + Raised([&] { sr->SetValue("123456789"); }),
            "S=world; P=abc 61626300 8range");
  sr->SetValue("xxxxxxxx");  // fills the register: no terminator on the device
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
  CIntegerPtr assigned;
  assigned = node;
  CIntegerPtr released(same);
  released.Release();
  const IInteger* target = integer;
  const INode* targetNode = node;
  // Each test of a pointer, on a full and on an empty one, and across interfaces.
  EXPECT_EQ(
      std::vector<bool>(
          {CFloatPtr(node).IsValid(), CIntegerPtr(none).IsValid(), static_cast<bool>(same),
           static_cast<bool>(CIntegerPtr(none)), CBasePtr(static_cast<IBase*>(integer)).IsValid(),
           same == target, same != target, same == nullptr, same != nullptr, released == nullptr,
           released != nullptr, released == target, assigned == target,
           CNodePtr(same) == targetNode, CFloatPtr(same).IsValid(), CNodePtr(released).IsValid()}),
      std::vector<bool>({false, false, true, false, true, true, false, false, true, true, false,
                         false, true, true, false, false}));
  EXPECT_EQ(same->GetValue() + (*assigned).GetValue(), 6);
  EXPECT_EQ(Raised([&] { released->GetValue(); }), "logic");
}

// Each comparison, search and join, both ways round, and a null text taken as an empty one.
TEST(GcString, ComparesSearchesAndJoinsAsItsText) {
  using GenICam::gcstring;
  const gcstring ab("ab"), ac("ac");
  const char* none = nullptr;
  const auto bits = [](std::initializer_list<bool> values) {
    std::string out;
    for (const bool b : values) out += b ? '1' : '0';
    return out;
  };
  EXPECT_EQ(bits({(ab < ac), (ac < ab), (ab < ab), (ac > ab), (ab > ac), (ab > ab)}), "100100");
  EXPECT_EQ(bits({ab == ab, ab == ac, ab != ac, ab != ab, ab == "ab", ab == "ac", "ab" == ab,
                  "ac" == ab, ab != "ac", ab != "ab", "ac" != ab, "ab" != ab}),
            "101010101010");
  EXPECT_EQ(bits({gcstring() == none, ab.compare(ac) < 0, ac.compare(ab) > 0, ab.empty(),
                  gcstring(none).empty()}),
            "11101");
  const gcstring text("abcabc");
  EXPECT_EQ(std::vector<size_t>({text.find("bc", 2), text.find('c', 3), text.rfind('a', 2),
                                 text.rfind('c'), text.find('x')}),
            std::vector<size_t>({4, 5, 0, 5, gcstring::npos}));
  gcstring joined = text.substr(1, 3) + none + "-" + gcstring("xyz", 2) + gcstring(none, 3);
  joined += none;
  joined += '+';
  joined += gcstring("q") + ac;
  EXPECT_EQ(joined.str() + "|" + (none + ab).str(), "bca-xy+qac|ab");
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

// The nodes of every link type, in the order of ELinkType, each list asked into the last.
std::string Links(INode* n) {
  std::string out;
  NodeList_t nodes;
  for (int type = ctParentNodes; type <= ctValueChangingChildren; ++type) {
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
  EXPECT_FALSE(reset->GetProperty("pMax", value, attribute));
  ASSERT_TRUE(reset->GetProperty("Name", value, attribute));
  EXPECT_EQ(value + "|" + attribute, "Reset|");
  gcstring_vector names;
  reset->GetPropertyNames(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "ToolTip"), names.end());
  EXPECT_EQ(reset->GetNodeMap(), m.ref._Ptr);
  EXPECT_EQ(Texts(reset), "Std::Reset|tip|desc|Reset Device|2|1|http://doc|1A|10|-1|Device");
  // The published numbers of the visibilities and callback kinds, which an application may pass.
  EXPECT_EQ(std::vector<int>({Beginner, Expert, Guru, Invisible, _UndefinedVisibility,
                              cbPostInsideLock, cbPostOutsideLock}),
            std::vector<int>({0, 1, 2, 3, 99, 1, 2}));
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
      "</Integer><Integer Name='&lt;&gt;&quot;&apos;&amp;foo;'><Value>2</Value></Integer>");
  EXPECT_EQ(m.Node("A")->GetToolTip(), "a & b  c");
  EXPECT_EQ(CRegisterPtr(m.Node("R"))->GetAddress(), 0x10 + 12 * 16);
  // Character references of every UTF-8 length, each at the bounds of its length.
  const std::string utf8 =
      "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(Values(m.ref, "A Q&A " + utf8 + " <>\"'&foo;"),
            "A=12; Q&A=1; " + utf8 + "=1; <>\"'&foo;=2");
}

TEST(IntReg, ByteOrderSignAndDerivedLimits) {
  TestMap m(
      Reg("IntReg", "BE", "0x10", "4", "<Endianess>BigEndian</Endianess>") +
      Reg("IntReg", "LE", "0x10", "4", "<Cachable>NoCache</Cachable>") +
      Reg("IntReg", "S16", "0x20", "2", "<Sign>Signed</Sign>") +
      Reg("IntReg", "S64", "0x30", "8", "<Sign>Signed</Sign><Cachable>NoCache</Cachable>") +
      Reg("IntReg", "U64", "0x40", "8") +
      Reg("MaskedIntReg", "U63", "0x40", "8", "<LSB>0</LSB><MSB>62</MSB>") +
      Reg("MaskedIntReg", "U62", "0x40", "8", "<LSB>0</LSB><MSB>61</MSB>") +
      Reg("MaskedIntReg", "S63", "0x40", "8", "<LSB>0</LSB><MSB>62</MSB><Sign>Signed</Sign>"));
  CIntegerPtr(m.Node("BE"))->SetValue(0x01020304);
  m.port.Put32(0x20, 0xFFFE, false);
  EXPECT_EQ(Values(m.ref, "BE LE S16"),
            "BE=16909060 [0,4294967295]; LE=67305985 [0,4294967295]; S16=-2 [-32768,32767]");
  EXPECT_EQ(m.port.Hex(0x10, 4), "01020304");
  // The limits of the widest fields, unsigned and signed, at and below 64 bits.
  EXPECT_EQ(Values(m.ref, "S64 U64 U63 U62 S63"),
            "S64=0; U64=0 [0,9223372036854775807]; U63=0 [0,9223372036854775807]; "
            "U62=0 [0,4611686018427387903]; S63=0 [-4611686018427387904,4611686018427387903]");
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
      Reg("MaskedIntReg", "Beyond64", "0x10", "9", "<Bit>64</Bit>") +
      Reg("MaskedIntReg", "LeTop", "0x8", "4", "<Bit>31</Bit>") +
      Reg("MaskedIntReg", "LePast", "0x8", "4", "<Bit>32</Bit>") +
      Reg("MaskedIntReg", "BePast", "0x8", "4", "<Bit>32</Bit><Endianess>BigEndian</Endianess>") +
      Reg("MaskedIntReg", "Reversed", "0x8", "4", "<LSB>7</LSB><MSB>4</MSB>"));
  m.port.Put32(0, 0x80000ABC, true);
  m.port.Put32(8, 0x800000F0, false);
  // Bit 0 is the top bit; a field past the register's last bit, before its first, or with its
  // ends the wrong way round cannot be read.
  EXPECT_EQ(Values(m.ref, "BeField BeBit0 LeField Beyond64 LeTop LePast BePast Reversed"),
            "BeField=2748 [0,4095]; BeBit0=1 [0,1]; LeField=-1 [-8,7]; Beyond64=!runtime; "
            "LeTop=1 [0,1]; LePast=!runtime; BePast=!runtime; Reversed=!runtime");
  CIntegerPtr(m.Node("BeField"))->SetValue(0x123);
  CIntegerPtr(m.Node("LeField"))->SetValue(3);
  // The other bits were kept.
  EXPECT_EQ(m.port.Hex(0, 4) + " " + m.port.Hex(8, 4), "80000123 30000080");
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
            "</SwissKnife><Converter Name='Half'><pValue>F4</pValue><FormulaTo>FROM*2</FormulaTo>"
            "<FormulaFrom>TO/2</FormulaFrom></Converter>");
  CFloatPtr f4(m.Node("F4"));
  f4->SetValue(1.5);
  EXPECT_EQ(m.port.Hex(0x40, 4), "3fc00000");
  // Changed behind the map: the cached value until the cache is passed by.
  m.port.Put32(0x40, 0x40200000, true);  // 2.5
  const double cached = f4->GetValue();
  EXPECT_EQ(std::pair(cached, f4->GetValue(false, true)), std::pair(1.5, 2.5));
  m.port.Put32(0x40, 0x40600000, true);  // 3.5, read through a formula past the cache
  EXPECT_DOUBLE_EQ(CFloatPtr(m.Node("Twice"))->GetValue(false, true), 7.0);
  m.port.Put32(0x40, 0x40900000, true);  // 4.5, read through a converter past the cache
  EXPECT_DOUBLE_EQ(CFloatPtr(m.Node("Half"))->GetValue(false, true), 2.25);
  CFloatPtr(m.Node("F8"))->SetValue(-2.25);
  EXPECT_DOUBLE_EQ(CFloatPtr(m.Node("F8"))->GetValue(false, true), -2.25);
  CRegisterPtr r(m.Node("R"));
  const uint8_t bytes[3] = {0xDE, 0xAD, 0x01};
  r->Set(bytes, 3);
  EXPECT_EQ(CValuePtr(m.Node("R"))->ToString(), "0xDEAD01");
  // Its bytes as text, with either prefix or none; too short, too long or not hex refused.
  std::string seen;
  for (const char* text : {"0X0a0B0c", "FF7f80", "0x0102", "0x01020304", "0x01020G", "0x0 0102"}) {
    seen += Raised([&] { CValuePtr(m.Node("R"))->FromString(text); });
    seen += ":" + CValuePtr(m.Node("R"))->ToString() + " ";
  }
  EXPECT_EQ(seen,
            "none:0x0A0B0C none:0xFF7F80 argument:0xFF7F80 argument:0xFF7F80 argument:0xFF7F80 "
            "argument:0xFF7F80 ");
  uint8_t back[3] = {};
  r->Get(back, 3);
  EXPECT_EQ(back[2], 0x80);
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
  port.Put32(0, 2, false);
  // The written value is cached; IgnoreCache goes to the device.
  const int64_t cached = through->GetValue();
  EXPECT_EQ(std::make_tuple(cached, port.reads - reads, through->IsValueCacheValid()),
            std::make_tuple(1, 0, true));
  EXPECT_EQ(through->GetValue(false, true), 2);

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

  // Read once, then changed on the device: kept until invalidated or polled past its time.
  std::string seen = Values(m.ref, "Inv Polled");
  port.Put32(0xC, 9, false);
  port.Put32(0x10, 4, false);
  m.ref._Poll(60);
  seen += " | " + Values(m.ref, "Inv Polled");
  CIntegerPtr(m.Node("Trigger"))->SetValue(1);
  m.ref._Poll(60);
  EXPECT_EQ(seen + " | " + Values(m.ref, "Inv Polled"),
            "Inv=0 [0,4294967295]; Polled=0 [0,4294967295] | Inv=0 [0,4294967295]; Polled=0 "
            "[0,4294967295] | Inv=9 [0,4294967295]; Polled=4 [0,4294967295]");

  port.Put32(0, 3, false);
  m.ref._InvalidateNodes();
  EXPECT_EQ(through->GetValue(), 3);
}

// A computed node caches like what it is computed from, and its value follows its inputs.
TEST(Caching, ComputedNodesCacheLikeAndFollowWhatTheyAreComputedFrom) {
  TestMap m(
      Reg("IntReg", "Live", "0x0", "4", "<Cachable>NoCache</Cachable>") +
      Reg("IntReg", "Kept", "0x4", "4") +
      Reg("IntReg", "Inv", "0x8", "4", "<pInvalidator>Trigger</pInvalidator>") +
      "<Integer Name='Trigger'><Value>0</Value></Integer>"
      "<Integer Name='Factor'><Value>2</Value></Integer>"
      "<IntSwissKnife Name='Scaled'><pVariable Name='A'>Kept</pVariable>"
      "<pVariable Name='F'>Factor</pVariable><Formula>A * F</Formula></IntSwissKnife>"
      "<SwissKnife Name='Half'><pVariable Name='A'>Inv</pVariable><Formula>A / 2</Formula>"
      "</SwissKnife>"
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
  EXPECT_EQ(std::make_tuple(m.Node("Inline")->GetCachingMode(), m.Node("OnLive")->GetCachingMode(),
                            m.Node("Mixed")->IsCachable(), m.Node("OnKept")->GetCachingMode()),
            std::make_tuple(WriteThrough, NoCache, false, WriteThrough));
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
  m.port.Put32(0x0, 0, false);  // the enumeration's entry
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
