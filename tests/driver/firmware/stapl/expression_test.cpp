#include "driver/firmware/stapl/expression.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/symboltable.h"
#include "driver/firmware/stapl/textscan.h"

using namespace zor::firmware;

namespace {

class CResolver : public IStaplSymbolResolver {
 public:
  CResolver() {
    table_.Add("I", StaplKind::kInteger, 6, 0, nullptr);
    table_.Add("B", StaplKind::kBoolean, 1, 0, nullptr);
    StaplSymbol* bits = table_.Add("BITS", StaplKind::kBooleanArray, 0, 0, nullptr);
    bits->array = std::make_unique<StaplArray>();
    bits->array->dimension = 8;
    bits->array->bits = {0xB4};  // 1011 0100
    StaplSymbol* wide = table_.Add("WIDE", StaplKind::kBooleanArray, 0, 0, nullptr);
    wide->array = std::make_unique<StaplArray>();
    wide->array->dimension = 65;
    wide->array->bits.assign(3, 0xFFFFFFFF);
    StaplSymbol* ints = table_.Add("N", StaplKind::kIntegerArray, 0, 0, nullptr);
    ints->array = std::make_unique<StaplArray>();
    ints->array->dimension = 2;
    ints->array->integers = {10, 20};
    table_.Add("L", StaplKind::kLabel, 0, 0, nullptr);
  }
  int ResolveSymbol(std::string_view name, StaplSymbol** symbol) override {
    *symbol = table_.Find(name);
    return *symbol != nullptr ? kStaplSuccess : kStaplUndefinedSymbol;
  }

 private:
  CStaplSymbolTable table_;
};

constexpr int64_t kUnset = -999;
constexpr int kOk = kStaplSuccess;
constexpr int kType = kStaplTypeMismatch;
constexpr int kSyntax = kStaplSyntaxError;
constexpr int kBounds = kStaplBoundsError;
constexpr int kOverflow = kStaplIntegerOverflow;

struct Result {
  int rc;
  int64_t value;
  int type;
};

Result Eval(const std::string& text) {
  CResolver resolver;
  Result r{0, kUnset, -1};
  r.rc = StaplEvaluateExpression(text, resolver, &r.value, &r.type);
  return r;
}

// One expression and its value, or its error (the value then stays as it was: outputs are written
// only on success).
struct Case {
  std::string text;
  int rc;
  int64_t value;
};

template <size_t N>
void ExpectAll(const Case (&cases)[N]) {
  for (const Case& c : cases) {
    const Result r = Eval(c.text);
    EXPECT_EQ(r.rc, c.rc) << c.text.substr(0, 40);
    EXPECT_EQ(r.value, c.rc == kOk ? c.value : kUnset) << c.text.substr(0, 40);
  }
}

TEST(StaplExpression, PrecedenceAndAssociativity) {
  const Case cases[] = {
      {"1 + 2 * 3", kOk, 7},     {"1 << 2 + 1", kOk, 8},   {"5 > 3 == 1", kOk, 1},
      {"I > 6", kOk, 0},         {"I > 5", kOk, 1},        {"6 & 3 ^ 1", kOk, 3},
      {"10 - 4 - 3", kOk, 3},    {"100 / 10 / 5", kOk, 2}, {"-7 / 2", kOk, -3},
      {"+7 - -+2", kOk, 9},      {"-7 % 2", kOk, -1},      {"-8 >> 1", kOk, -4},
      {"1 << 65", kOk, 2},       {"~0", kOk, -1},          {"(1 + 2) * 3", kOk, 9},
      {"I * 2 + N[1]", kOk, 32}, {"1 OR 0 AND 0", kOk, 1}, {"B && !(I == 5) || 0", kOk, 1}};
  ExpectAll(cases);
}

TEST(StaplExpression, TypesOfLiteralsAndResults) {
  std::vector<int> types;
  for (const char* text : {"1", "2", "B", "I > 1", "BITS[2]"}) types.push_back(Eval(text).type);
  EXPECT_EQ(types, (std::vector<int>{kStaplEither, kStaplInteger, kStaplBoolean, kStaplBoolean,
                                     kStaplBoolean}));
  // Numbers are 32-bit values that wrap. Each operand of each operator and function is checked,
  // the right one as well as the left.
  const Case cases[] = {{"BITS[2]", kOk, 1},   {"4294967295", kOk, -1}, {"B == 1", kOk, 1},
                        {"B + 1", kType, 0},   {"!I", kType, 0},        {"B == 2", kType, 0},
                        {"I && B", kType, 0},  {"N[B]", kType, 0},      {"-B", kType, 0},
                        {"~B", kType, 0},      {"ABS(B)", kType, 0},    {"LOG2(B)", kType, 0},
                        {"SQRT(B)", kType, 0}, {"FLOOR(B)", kType, 0},  {"CEIL(B)", kType, 0},
                        {"1 + B", kType, 0},   {"B && I", kType, 0},    {"BITS[B]", kType, 0}};
  ExpectAll(cases);
  const Case ranges[] = {{"INT(BITS[B..0])", kType, 0}, {"INT(BITS[1..B])", kType, 0}};
  ExpectAll(ranges);
}

TEST(StaplExpression, Conversions) {
  // Blanks may follow the base mark; bit 0 is the second index written; a conversion takes as
  // many bits as an integer holds.
  const Case cases[] = {{"INT(#101)", kOk, 5},  {"INT($FF)", kOk, 255},     {"INT($ff)", kOk, 255},
                        {"INT(# 101)", kOk, 5}, {"INT(BITS[])", kOk, 0xB4}, {"INT(5)", kSyntax, 0},
                        {"#101", kSyntax, 0},   {"INT(#102)", kSyntax, 0},  {"INT(N[])", kType, 0}};
  ExpectAll(cases);
  const Case bits[] = {{"INT(BITS[7..4])", kOk, 0xB},     {"INT(BITS[4..7])", kOk, 0xD},
                       {"INT(BITS[7..0])", kOk, 0xB4},    {"INT(BITS[8..0])", kBounds, 0},
                       {"INT(BITS[0..8])", kBounds, 0},   {"INT(WIDE[63..0])", kOk, -1},
                       {"INT(WIDE[64..0])", kOverflow, 0}};
  ExpectAll(bits);
}

// Every inexact quotient goes up by one under CEIL, whatever its sign, as stored programs expect:
// -7/2 truncates to -3 and CEIL makes it -2.
TEST(StaplExpression, Functions) {
  const Case cases[] = {
      {"LOG2(1)", kOk, 0},        {"LOG2(5)", kOk, 3},        {"LOG2(8)", kOk, 3},
      {"FLOOR(LOG2(5))", kOk, 2}, {"FLOOR(LOG2(8))", kOk, 3}, {"SQRT(10)", kOk, 3},
      {"CEIL(SQRT(10))", kOk, 4}, {"CEIL(SQRT(9))", kOk, 3},  {"CEIL(7/2)", kOk, 4},
      {"CEIL((7/2))", kOk, 4},    {"CEIL(8/2)", kOk, 4},      {"CEIL(7/2 + 0)", kOk, 3},
      {"ABS(-4)", kOk, 4},        {"LOG2(0)", kOverflow, 0},  {"SQRT(-1)", kOverflow, 0},
      {"CEIL(-7/2)", kOk, -2},    {"CEIL(7/-2)", kOk, -2},    {"CEIL(-7/-2)", kOk, 4},
      {"CEIL(-8/2)", kOk, -4}};
  ExpectAll(cases);
}

// Long tokens are safe, and a statement's worth of nesting must not exhaust the stack.
TEST(StaplExpression, ArithmeticErrors) {
  std::string index = "0";
  for (int i = 0; i < 3000; ++i) index = "N[" + index + "]";
  const Case cases[] = {{"7 / 0", kStaplDivideByZero, 0},
                        {"7 % 0", kStaplDivideByZero, 0},
                        {"2147483647 * 2147483647 * 2147483647", kOverflow, 0},
                        {"(1 << 63) / -1", kOverflow, 0},
                        {"(1 << 63) % -1", kOverflow, 0},
                        {"-(1 << 63)", kOverflow, 0},
                        {"N[2]", kBounds, 0},
                        {"UNKNOWN + 1", kStaplUndefinedSymbol, 0},
                        {"L + 1", kSyntax, 0},
                        {"1 +", kSyntax, 0},
                        {"(1", kSyntax, 0},
                        {"1 2", kSyntax, 0},
                        {std::string(5000, 'X'), kStaplUndefinedSymbol, 0},
                        {std::string(3000, '0') + "1", kOk, 1},
                        {std::string(100, '(') + "1" + std::string(100, ')'), kOk, 1},
                        {std::string(8000, '(') + "1" + std::string(8000, ')'), kSyntax, 0},
                        {std::string(8000, '-') + "1", kSyntax, 0},
                        {index, kSyntax, 0}};
  ExpectAll(cases);
}

// The statement text helpers: quotes, parentheses and brackets hide what they hold, a word is
// whole at either end of the text, and what a take leaves is trimmed.
TEST(StaplText, ScansOutsideQuotesAndBrackets) {
  using namespace staplText;
  constexpr size_t kNone = std::string_view::npos;
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("   "), "");
  const std::string_view nested = "(a,[b,c]),\",\",d";
  EXPECT_EQ(std::vector<size_t>({FindTopLevel(nested, ','), FindTopLevel(nested, ',', 10),
                                 FindTopLevel("a),b", ','), FindTopLevel("(a,b", ',')}),
            std::vector<size_t>({9, 13, 2, kNone}));
  EXPECT_EQ(SplitTopLevel(" a, (b,c) ,\"d,e\""),
            (std::vector<std::string_view>{"a", "(b,c)", "\"d,e\""}));
  EXPECT_EQ(SplitTopLevel(""), std::vector<std::string_view>{""});
  EXPECT_EQ(std::vector<size_t>({FindWord("X, \"COMPARE\" COMPARE_1 XCOMPARE COMPARE", "COMPARE"),
                                 FindWord("THEN X", "THEN"), FindWord("\"THEN\"", "THEN")}),
            std::vector<size_t>({32, 0, kNone}));
  std::string_view text = "  AB_1 (x) ;  ", quoted;
  EXPECT_EQ(TakeName(text), "AB_1");
  EXPECT_EQ(text, "(x) ;");
  EXPECT_TRUE(StripSemicolon(text));
  EXPECT_EQ(text, "(x)");
  EXPECT_FALSE(StripSemicolon(text));
  text = " \"q r\" rest";
  EXPECT_TRUE(TakeQuoted(text, quoted));
  EXPECT_EQ(std::pair(quoted, text), std::pair(std::string_view("q r"), std::string_view("rest")));
  text = "\"\"";
  EXPECT_TRUE(TakeQuoted(text, quoted) && quoted.empty() && text.empty());
  for (std::string_view refused : {"\"open", "x\"y\"", ""}) {
    text = refused;
    EXPECT_FALSE(TakeQuoted(text, quoted)) << refused;
  }
}

}  // namespace
