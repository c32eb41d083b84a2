#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using genapitest::TestMap;

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
  gcstring_vector names;
  reset->GetPropertyNames(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "ToolTip"), names.end());
  EXPECT_EQ(reset->GetToolTip(), "tip");
  EXPECT_EQ(reset->GetDescription(), "desc");
  EXPECT_EQ(reset->GetDisplayName(), "Reset Device");
  EXPECT_EQ(reset->GetVisibility(), Guru);
  EXPECT_EQ(reset->GetNameSpace(), Standard);
  EXPECT_EQ(reset->GetDocuURL(), "http://doc");
  EXPECT_EQ(reset->GetEventID(), "1A");
  EXPECT_TRUE(reset->IsDeprecated());
  EXPECT_FALSE(reset->IsStreamable());
  EXPECT_EQ(reset->GetPollingTime(), -1);
  EXPECT_EQ(reset->GetNodeMap(), m.ref._Ptr);
  EXPECT_EQ(reset->GetDeviceName(), "Device");
  INode* plain = m.Node("Plain");
  EXPECT_EQ(plain->GetDisplayName(), "Plain");  // falls back to the name
  EXPECT_EQ(plain->GetVisibility(), Beginner);
  EXPECT_EQ(plain->GetNameSpace(), Custom);
  EXPECT_TRUE(plain->IsStreamable());
  EXPECT_EQ(plain->GetName(true), "Cust::Plain");
  EXPECT_EQ(reset->GetName(true), "Std::Reset");
  // A category's reading children are its features only.
  NodeList_t children;
  m.Node("Root")->GetChildren(children, ctReadingChildren);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], reset);
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
