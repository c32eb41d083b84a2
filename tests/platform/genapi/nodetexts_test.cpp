#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>

#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using genapitest::TestMap;

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
  genapitest::TestMap m(
      "<Integer Name='A'><ToolTip>\n  a &amp; b <!-- note --> c\n</ToolTip>"
      "<Value><![CDATA[ 12 ]]></Value></Integer>"
      "<IntReg Name='R'><Address>0x10</Address><pIndex Offset='&#x31;&#54;'>A</pIndex>"
      "<Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>"
      "<Integer Name='Q&amp;A'><Value>1</Value></Integer>"
      "<Integer Name='&#x7F;&#x80;&#x7FF;&#x800;&#xFFFD;&#x10000;&#1114111;'><Value>1</Value>"
      "</Integer>");
  EXPECT_EQ(m.Node("A")->GetToolTip(), "a & b  c");
  EXPECT_EQ(CIntegerPtr(m.Node("A"))->GetValue(), 12);
  EXPECT_EQ(CRegisterPtr(m.Node("R"))->GetAddress(), 0x10 + 12 * 16);
  EXPECT_NE(m.Node("Q&A"), nullptr);
  // Character references of every UTF-8 length, each at the bounds of its length.
  EXPECT_NE(m.Node("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"),
            nullptr);
}
