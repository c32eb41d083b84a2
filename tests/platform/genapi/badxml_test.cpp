#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/genapi/formula/formula.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using namespace genapitest;

namespace {

std::string Wrap(const std::string& body) {
  return "<RegisterDescription ModelName='M'><Port Name='Device'/>" + body +
         "</RegisterDescription>";
}

// The description of the exception loading raises.
std::string LoadError(const std::string& xml) {
  return ErrorOf([&] { CNodeMapRef()._LoadXMLFromString(xml.c_str()); });
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
      {Wrap("<IntSwissKnife Name='K'><Formula>ABS * 2</Formula></IntSwissKnife>"),
       "Node 'K': Formula 'ABS * 2' does not parse: unknown name 'ABS'"},
      {Wrap(
           "<IntReg Name='R'><Address>0</Address><Length>0</Length><pPort>Device</pPort></IntReg>"),
       "Node 'R' has no valid Length"},
      {Wrap("<MaskedIntReg Name='M'><Address>0</Address><Length>4</Length><pPort>Device</pPort>"
            "<LSB>3</LSB></MaskedIntReg>"),
       "Node 'M' has neither Bit nor LSB and MSB"},
      {Wrap("<MaskedIntReg Name='M'><Address>0</Address><Length>4</Length><pPort>Device</pPort>"
            "<MSB>3</MSB></MaskedIntReg>"),
       "Node 'M' has neither Bit nor LSB and MSB"},
      {Wrap("<Converter Name='C'><FormulaTo>FROM</FormulaTo><FormulaFrom>TO</FormulaFrom>"
            "</Converter>"),
       "Node 'C' has no pValue"},
      {Wrap("<Integer Name='I'><Value>1</Value></Integer><IntConverter Name='C'><pValue>I</pValue>"
            "<FormulaTo>FROM</FormulaTo></IntConverter>"),
       "Node 'C' needs FormulaTo and FormulaFrom"}};
  for (const auto& [xml, expected] : kRefused) EXPECT_EQ(LoadError(xml), expected) << xml;
  CNodeMapRef zip;
  const char garbage[] = "not a zip";
  EXPECT_THROW(zip._LoadXMLFromZIPData(garbage, sizeof garbage), GenICam::RuntimeException);
  EXPECT_THROW(zip._LoadXMLFromFile("/nonexistent/file.xml"), GenICam::RuntimeException);
}

TEST(BadXml, UnknownReferencesFailWhenUsedNamingBothNodes) {
  TestMap m(
      "<Integer Name='A'><pValue>Nope</pValue></Integer>"
      "<Integer Name='B'><pIsAvailable>Gone</pIsAvailable><Value>1</Value></Integer>"
      "<Integer Name='Fine'><Value>1</Value></Integer>");
  const std::string a =
      ErrorOf<GenICam::GenericException>([&] { CIntegerPtr(m.Node("A"))->GetValue(); });
  EXPECT_EQ(a, "Node 'A': pValue references the unknown node 'Nope'");
  EXPECT_THROW(m.Node("B")->GetAccessMode(), GenICam::GenericException);
  EXPECT_EQ(Values(m.ref, "Fine") + std::to_string(m.Node("Nope") == nullptr), "Fine=11");
}

TEST(BadXml, CyclesRaiseInsteadOfHanging) {
  TestMap m(
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
  // The map stays usable after a cycle was met.
  EXPECT_EQ(Values(m.ref, "K E F B") + Raised([&] { CIntegerPtr(m.Node("A"))->GetMax(); }) +
                Raised([&] { CFloatPtr(m.Node("F"))->SetValue(1.0); }),
            "K=!logic; E=!logic; F=!logic; B=!logiclogiclogic");
}

TEST(BadXml, DivisionByZeroNamesTheNode) {
  TestMap m(
      "<Integer Name='Zero'><Value>0</Value></Integer>"
      "<IntSwissKnife Name='Ratio'><pVariable Name='D'>Zero</pVariable><Formula>10 / D</Formula>"
      "</IntSwissKnife>"
      "<SwissKnife Name='FRatio'><pVariable Name='D'>Zero</pVariable><Formula>1.0 / D</Formula>"
      "</SwissKnife>");
  const std::string e =
      ErrorOf<GenICam::LogicalErrorException>([&] { CIntegerPtr(m.Node("Ratio"))->GetValue(); });
  EXPECT_EQ(e + "|" + Values(m.ref, "FRatio"),
            "Node 'Ratio': Formula: division by zero|FRatio=!logic");
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
  TestMap m(chain);
  // Short chains still work.
  EXPECT_EQ(Values(m.ref, "X N0 N2990"), "X=!logic; N0=!logic; N2990=5");
}

namespace {

class Variables : public GenApi::VariableSource {
 public:
  Number Value(int slot) override { return values.at(slot); }
  std::map<int, Number> values;
};

Number Eval(const std::string& text, Variables& vars, bool floatMode = false) {
  Formula formula;
  formula.Parse(
      text,
      [](std::string_view name) {
        return name == "X" || name == "_x.y_1" ? 0 : name == "Y" ? 1 : name == "F" ? 2 : -1;
      },
      floatMode);
  return formula.Evaluate(vars);
}

Number Eval(const std::string& text) {
  Variables vars;
  vars.values = {{0, Number::Int(6)}, {1, Number::Int(-4)}, {2, Number::Float(2.5)}};
  return Eval(text, vars);
}

int64_t Int(const std::string& text) {
  const Number n = Eval(text);
  EXPECT_FALSE(n.isFloat) << text;
  return n.i;
}

double Dbl(const std::string& text) { return Eval(text).AsFloat(); }

}  // namespace

TEST(Formula, IntegerArithmeticAndPrecedence) {
  // Integer division truncates, ** is right-associative, a sum wraps with no overflow trap;
  // operators of one level associate to the left and each level binds as in C, the looser one
  // first so that a level one off shows; every hexadecimal digit, either case.
  const std::pair<const char*, int64_t> kValues[] = {
      {"1 + 2 * 3", 7},   {"(1 + 2) * 3", 9},   {"X / 4", 1},
      {"Y / 3", -1},      {"X % 4", 2},         {"2 ** 3 ** 2", 512},
      {"-2 ** 2", -4},    {"0x10 + 0xff", 271}, {"9223372036854775807 + 1", INT64_MIN},
      {"10 - 4 - 3", 3},  {"64 / 4 / 2", 8},    {"1 | 2 ^ 3 & 1", 3},
      {"1 < 2 = 1", 1},   {"2 + 3 << 1", 10},   {"1 << 2 < 5", 1},
      {"1 || 0 && 0", 1}, {"0 && 0 | 1", 0},    {"1 & 2 = 2", 1},
      {"1 & 2 <> 0", 1},  {"0 = 1 < 0", 1},     {"0 = 1 > 2", 1},
      {"1 <> 2 < 3", 0},  {"1 < 1 << 1", 1},    {"3 > 4 >> 1", 1},
      {"1 << 1 + 1", 4},  {"8 >> 1 + 1", 2},    {"+ X", 6},
      {"_x.y_1 + 1", 7},  {"0x9 + 0XaB", 180},  {"0x0123456789ABCDEF", 0x0123456789ABCDEF}};
  for (const auto& [text, value] : kValues) EXPECT_EQ(Int(text), value) << text;
}

TEST(Formula, BitLogicalAndComparisonOperators) {
  // Comparison binds looser than arithmetic.
  const std::pair<const char*, int64_t> kValues[] = {
      {"0xF0 & 0x3C", 0x30},   {"0xF0 | 0x0F", 0xFF},
      {"0xF0 ^ 0xFF", 0x0F},   {"~0", -1},
      {"1 << 4", 16},          {"256 >> 4", 16},
      {"1 << 64", 0},          {"X = 6", 1},
      {"X <> 6", 0},           {"X >= 6 && Y < 0", 1},
      {"X < 0 || !Y", 0},      {"1 + 2 = 3", 1},
      {"X > 5 ? 10 : 20", 10}, {"X > 9 ? 1 : X > 5 ? 2 : 3", 2},
      {"1 << 63", INT64_MIN},  {"X >> 0", 6},
      {"Y >> 1", -2},          {"X / -1", -6}};
  for (const auto& [text, value] : kValues) EXPECT_EQ(Int(text), value) << text;
  // A real device expression: set a bit from FROM and the old register.
  EXPECT_EQ(Int("( X = 6 ) ? ( 0x01000000 | 0x02000000 ) : ( Y & 0xFDFFFFFF )"), 0x03000000);
  // Each operator at, below and beyond its bounds.
  for (const char* zero :
       {"1 << -1", "X >> -1", "X >> 64", "2 < 2", "2 > 2", "3 <= 2", "2 >= 3", "2 = 3", "0 >> 64",
        "F <> 2.5", "F < 2.5", "F > 2.5", "F >= 2.6", "X % -1", "(-9223372036854775807 - 1) % -1",
        "2 ** -1", "SGN(0)", "!X"}) {
    EXPECT_EQ(Int(zero), 0) << zero;
  }
  for (const char* one : {"1 << 0", "0x4000000000000000 >> 62", "2 <= 2", "2 <> 3", "F = 2.5",
                          "F <= 2.5", "2 ** 0", "1 ** -3", "(0 - 1) ** -2", "SGN(X)", "!0"}) {
    EXPECT_EQ(Int(one), 1) << one;
  }
  for (const char* minusOne :
       {"Y >> -1", "Y >> 64", "(0 - 1) ** -3", "Y % 3", "18446744073709551615"}) {
    EXPECT_EQ(Int(minusOne), -1) << minusOne;
  }
}

TEST(Formula, ShortCircuitSkipsTheFailingBranch) {
  EXPECT_EQ(Int("Y = -4 ? 1 : X / 0"), 1);
  EXPECT_EQ(Int("0 && X / 0"), 0);
  EXPECT_EQ(Int("1 || X / 0"), 1);
}

TEST(Formula, FloatsFunctionsAndConstants) {
  EXPECT_NEAR(Dbl("PI"), M_PI, 1e-12);
  EXPECT_NEAR(Dbl("E"), M_E, 1e-12);
  EXPECT_DOUBLE_EQ(Dbl("2.5e-1 + 1E+2 + .5"), 100.75);
  const std::pair<const char*, double> values[] = {
      {"F * 2", 5.0},        {"X / 4.0", 1.5},      {"F % 2", 0.5},     {"1.5e2", 150.0},
      {"SQRT(16)", 4.0},     {"ABS(Y)", 4.0},       {"SGN(Y)", -1.0},   {"NEG(F)", -2.5},
      {"TRUNC(-2.7)", -2.0}, {"FLOOR(-2.5)", -3.0}, {"CEIL(2.1)", 3.0}, {"ROUND(2.345, 2)", 2.35},
      {"LG(1000)", 3.0},     {"LN(E)", 1.0},        {"F ** 2", 6.25},   {"F - 3", -0.5},
      {"ABS(NEG(F))", 2.5},  {"-F + 1", -1.5}};
  for (const auto& [text, value] : values) EXPECT_DOUBLE_EQ(Dbl(text), value) << text;
  // Each function at a point where no other gives its value.
  const std::pair<const char*, double> functions[] = {
      {"EXP(0.5)", std::exp(0.5)}, {"COS(0.5)", std::cos(0.5)},   {"SIN(0.5)", std::sin(0.5)},
      {"TAN(0.5)", std::tan(0.5)}, {"ATAN(0.5)", std::atan(0.5)}, {"ASIN(0.5)", std::asin(0.5)}};
  for (const auto& [text, value] : functions) EXPECT_DOUBLE_EQ(Dbl(text), value) << text;
  EXPECT_NEAR(Dbl("ACOS(-1)"), M_PI, 1e-12);
  // The bounds of each function's domain are inside it.
  EXPECT_DOUBLE_EQ(Dbl("SQRT(0) + ACOS(1) + LN(1) + LG(1)"), 0.0);
  EXPECT_NEAR(Dbl("ASIN(1) - ASIN(-1)"), M_PI, 1e-12);
  EXPECT_DOUBLE_EQ(Dbl("ROUND(2.5)"), 3.0);
}

TEST(Formula, FloatModeTakesIntegerLiteralsAsDoubles) {
  Variables vars;
  vars.values = {{0, Number::Float(2985)}};
  EXPECT_DOUBLE_EQ(Eval("( X / 10 ) - 273.15", vars, true).AsFloat(), 298.5 - 273.15);
  EXPECT_DOUBLE_EQ(Eval("3 / 2", vars, true).AsFloat(), 1.5);
  EXPECT_EQ(Eval("3 / 2", vars, false).AsInt(), 1);
}

TEST(Formula, ErrorsAreReportedNotCrashed) {
  // Each formula refused, at parsing or at evaluation, with its whole message.
  const std::pair<std::vector<const char*>, const char*> kRefused[] = {
      {{"", "1 +"}, "formula ends too early"},
      {{"(1"}, "expected ')' but found 'end of formula'"},
      {{"1 ? 2"}, "expected ':' but found 'end of formula'"},
      {{"1)"}, "unexpected ')'"},
      {{"X Y"}, "unexpected 'Y'"},
      {{"1e", "1e-"}, "unexpected 'e'"},
      {{"FOO", "FOO(1)"}, "unknown name 'FOO'"},
      {{"SGN"}, "unknown name 'SGN'"},
      {{"SQRT(1, 2)"}, "SQRT takes one argument"},
      {{"0xZZ", "0x12345678901234567"}, "bad hexadecimal number"},
      {{"3 $ 4"}, "unexpected character '$'"},
      {{"."}, "unexpected character '.'"},
      {{"18446744073709551616"}, "number out of range: 18446744073709551616"},
      {{"X / 0", "X % 0", "F / 0", "F % 0", "0 ** -1"}, "division by zero"},
      {{"SQRT(Y)"}, "SQRT of a negative value"},
      {{"LN(0)"}, "LN of a value <= 0"},
      {{"LG(0)"}, "LG of a value <= 0"},
      {{"ASIN(2)", "ASIN(-1.5)"}, "ASIN of a value outside -1..1"},
      {{"ACOS(1.5)", "ACOS(-1.5)"}, "ACOS of a value outside -1..1"}};
  for (const auto& [formulas, message] : kRefused) {
    for (const char* bad : formulas) {
      EXPECT_EQ(ErrorOf<FormulaError>([&] { Eval(bad); }), message) << bad;
    }
  }
  EXPECT_EQ(Int("(-9223372036854775807 - 1) / -1"), INT64_MIN);  // wraps instead of trapping
  // The deepest nesting accepted and the first refused, of brackets and of signs.
  const auto nested = [](int brackets, int signs) {
    return std::string(signs, '-') + std::string(brackets, '(') + "1" + std::string(brackets, ')');
  };
  EXPECT_EQ(Int(nested(99, 0)) + Int(nested(0, 198)), 2);
  EXPECT_THROW(Int(nested(100, 0)), FormulaError);
  EXPECT_THROW(Int(nested(0, 199)), FormulaError);
}
