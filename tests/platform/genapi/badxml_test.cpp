#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/platform/genapi/testmap.h"

using namespace GenApi;

namespace {

std::string Wrap(const std::string& body) {
  return "<RegisterDescription ModelName='M'><Port Name='Device'/>" + body +
         "</RegisterDescription>";
}

// The description of the exception loading raises, or "" when it loads.
std::string LoadError(const std::string& xml) {
  CNodeMapRef ref;
  try {
    ref._LoadXMLFromString(xml.c_str());
  } catch (const GenICam::GenericException& e) {
    return e.GetDescription();
  }
  return "";
}

template <class E, class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.GetDescription();
  }
  return "no exception";
}

}  // namespace

TEST(BadXml, RefusedAtLoadWithTheReason) {
  const std::pair<std::string, const char*> kRefused[] = {
      {"<RegisterDescription><Integer Name='A'>",
       "The XML does not parse: Premature end of data in tag Integer line 1\n (line 1)"},
      {"<Something/>", "The XML is not a RegisterDescription"},
      {Wrap("<Blob Name='X'/>"), "Unknown element 'Blob' (line 1)"},
      {Wrap("<Integer Name='A'><Value>abc</Value></Integer>"), "Node 'A': 'abc' is not an integer"},
      {Wrap("<Integer Name='A'/><Integer Name='A'/>"), "Node 'A' is defined twice"},
      {Wrap("<IntSwissKnife Name='K'><pVariable Name='X'>K</pVariable><Formula>X +</Formula>"
            "</IntSwissKnife>"),
       "Node 'K': Formula 'X +' does not parse: formula ends too early"},
      {Wrap("<IntSwissKnife Name='K'><Formula>Y * 2</Formula></IntSwissKnife>"),
       "Node 'K': Formula 'Y * 2' does not parse: unknown name 'Y'"},
      {Wrap(
           "<IntReg Name='R'><Address>0</Address><Length>0</Length><pPort>Device</pPort></IntReg>"),
       "Node 'R' has no valid Length"}};
  for (const auto& [xml, expected] : kRefused) EXPECT_EQ(LoadError(xml), expected) << xml;
  CNodeMapRef zip;
  const char garbage[] = "not a zip";
  EXPECT_THROW(zip._LoadXMLFromZIPData(garbage, sizeof garbage), GenICam::RuntimeException);
  EXPECT_THROW(zip._LoadXMLFromFile("/nonexistent/file.xml"), GenICam::RuntimeException);
}

TEST(BadXml, UnknownReferencesFailWhenUsedNamingBothNodes) {
  genapitest::TestMap m(
      "<Integer Name='A'><pValue>Nope</pValue></Integer>"
      "<Integer Name='B'><pIsAvailable>Gone</pIsAvailable><Value>1</Value></Integer>"
      "<Integer Name='Fine'><Value>1</Value></Integer>");
  const std::string a =
      ErrorOf<GenICam::GenericException>([&] { CIntegerPtr(m.Node("A"))->GetValue(); });
  EXPECT_EQ(a, "Node 'A': pValue references the unknown node 'Nope'");
  EXPECT_THROW(m.Node("B")->GetAccessMode(), GenICam::GenericException);
  EXPECT_EQ(CIntegerPtr(m.Node("Fine"))->GetValue(), 1);
  EXPECT_EQ(m.Node("Nope"), nullptr);
}

TEST(BadXml, CyclesRaiseInsteadOfHanging) {
  genapitest::TestMap m(
      "<Integer Name='A'><pValue>B</pValue></Integer>"
      "<Integer Name='B'><pValue>A</pValue></Integer>"
      "<IntSwissKnife Name='K'><pVariable Name='X'>K</pVariable><Formula>X + 1</Formula>"
      "</IntSwissKnife>"
      "<IntSwissKnife Name='E'><Expression Name='E1'>E2 + 1</Expression>"
      "<Expression Name='E2'>E1 + 1</Expression><Formula>E1</Formula></IntSwissKnife>"
      "<Float Name='F'><pValue>C</pValue></Float>"
      "<Converter Name='C'><pValue>F</pValue><FormulaTo>FROM</FormulaTo>"
      "<FormulaFrom>TO</FormulaFrom></Converter>");
  const std::string a =
      ErrorOf<GenICam::LogicalErrorException>([&] { CIntegerPtr(m.Node("A"))->GetValue(); });
  EXPECT_EQ(a, "Node 'A': its references form a cycle");
  EXPECT_THROW(CIntegerPtr(m.Node("K"))->GetValue(), GenICam::LogicalErrorException);
  EXPECT_THROW(CIntegerPtr(m.Node("A"))->GetMax(), GenICam::LogicalErrorException);
  EXPECT_THROW(CIntegerPtr(m.Node("E"))->GetValue(), GenICam::LogicalErrorException);
  EXPECT_THROW(CFloatPtr(m.Node("F"))->GetValue(), GenICam::LogicalErrorException);
  EXPECT_THROW(CFloatPtr(m.Node("F"))->SetValue(1.0), GenICam::LogicalErrorException);
  // The map stays usable after a cycle was met.
  EXPECT_THROW(CIntegerPtr(m.Node("B"))->GetValue(), GenICam::LogicalErrorException);
}

TEST(BadXml, DivisionByZeroNamesTheNode) {
  genapitest::TestMap m(
      "<Integer Name='Zero'><Value>0</Value></Integer>"
      "<IntSwissKnife Name='Ratio'><pVariable Name='D'>Zero</pVariable><Formula>10 / D</Formula>"
      "</IntSwissKnife>"
      "<SwissKnife Name='FRatio'><pVariable Name='D'>Zero</pVariable><Formula>1.0 / D</Formula>"
      "</SwissKnife>");
  const std::string e =
      ErrorOf<GenICam::LogicalErrorException>([&] { CIntegerPtr(m.Node("Ratio"))->GetValue(); });
  EXPECT_EQ(e, "Node 'Ratio': Formula: division by zero");
  EXPECT_THROW(CFloatPtr(m.Node("FRatio"))->GetValue(), GenICam::LogicalErrorException);
  CIntegerPtr(m.Node("Zero"))->SetValue(5);
  EXPECT_EQ(CIntegerPtr(m.Node("Ratio"))->GetValue(), 2);
}

TEST(BadXml, HostileNestingIsRefusedNotAStackOverflow) {
  const std::string deepFormula = std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ(LoadError(Wrap("<IntSwissKnife Name='K'><Formula>" + deepFormula +
                           "</Formula></IntSwissKnife>")),
            "Node 'K': Formula '" + deepFormula + "' does not parse: the formula nests too deeply");
  std::string groups;
  for (int i = 0; i < 2000; ++i) groups += "<Group Comment='g'>";
  groups += "<Integer Name='Deep'><Value>1</Value></Integer>";
  for (int i = 0; i < 2000; ++i) groups += "</Group>";
  EXPECT_EQ(LoadError(Wrap(groups)),
            "The XML does not parse: Excessive depth in document: 256 use XML_PARSE_HUGE option\n "
            "(line 1)");

  std::string chain;
  for (int i = 0; i < 3000; ++i) {
    chain += "<Integer Name='N" + std::to_string(i) + "'><pValue>N" + std::to_string(i + 1) +
             "</pValue></Integer>";
  }
  chain += "<Integer Name='N3000'><Value>5</Value></Integer>";
  std::string expressions = "<IntSwissKnife Name='X'><Formula>E0</Formula>";
  for (int i = 0; i < 1000; ++i) {
    expressions += "<Expression Name='E" + std::to_string(i) + "'>E" + std::to_string(i + 1) +
                   " + 1</Expression>";
  }
  expressions += "<Expression Name='E1000'>0</Expression></IntSwissKnife>";
  chain += expressions;
  genapitest::TestMap m(chain);
  EXPECT_THROW(CIntegerPtr(m.Node("X"))->GetValue(), GenICam::LogicalErrorException);
  EXPECT_THROW(CIntegerPtr(m.Node("N0"))->GetValue(), GenICam::LogicalErrorException);
  EXPECT_EQ(CIntegerPtr(m.Node("N2990"))->GetValue(), 5);  // short chains still work
}
