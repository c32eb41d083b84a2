#include "driver/firmware/stapl/expression.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/symboltable.h"

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

struct Result {
  int rc;
  int64_t value;
  int type;
};

Result Eval(const std::string& text) {
  CResolver resolver;
  Result r{0, -999, -1};
  r.rc = StaplEvaluateExpression(text, resolver, &r.value, &r.type);
  return r;
}

int64_t Value(const std::string& text) {
  const Result r = Eval(text);
  EXPECT_EQ(r.rc, kStaplSuccess) << text;
  return r.value;
}

int Error(const std::string& text) {
  const Result r = Eval(text);
  EXPECT_EQ(r.value, -999) << "outputs written on failure: " << text;
  return r.rc;
}

TEST(StaplExpression, PrecedenceAndAssociativity) {
  EXPECT_EQ(Value("1 + 2 * 3"), 7);
  EXPECT_EQ(Value("1 << 2 + 1"), 8);
  EXPECT_EQ(Value("5 > 3 == 1"), 1);
  EXPECT_EQ(Value("I > 6"), 0);
  EXPECT_EQ(Value("I > 5"), 1);
  EXPECT_EQ(Value("6 & 3 ^ 1"), 3);
  EXPECT_EQ(Value("10 - 4 - 3"), 3);
  EXPECT_EQ(Value("100 / 10 / 5"), 2);
  EXPECT_EQ(Value("-7 / 2"), -3);
  EXPECT_EQ(Value("+7 - -+2"), 9);
  EXPECT_EQ(Value("-7 % 2"), -1);
  EXPECT_EQ(Value("-8 >> 1"), -4);
  EXPECT_EQ(Value("1 << 65"), 2);
  EXPECT_EQ(Value("~0"), -1);
  EXPECT_EQ(Value("(1 + 2) * 3"), 9);
  EXPECT_EQ(Value("I * 2 + N[1]"), 32);
  EXPECT_EQ(Value("B && !(I == 5) || 0"), 1);
  EXPECT_EQ(Value("1 OR 0 AND 0"), 1);
}

TEST(StaplExpression, TypesOfLiteralsAndResults) {
  EXPECT_EQ(Eval("1").type, kStaplEither);
  EXPECT_EQ(Eval("2").type, kStaplInteger);
  EXPECT_EQ(Eval("B").type, kStaplBoolean);
  EXPECT_EQ(Eval("I > 1").type, kStaplBoolean);
  EXPECT_EQ(Eval("BITS[2]").type, kStaplBoolean);
  EXPECT_EQ(Value("BITS[2]"), 1);
  // Numbers are 32-bit values that wrap.
  EXPECT_EQ(Value("4294967295"), -1);
  EXPECT_EQ(Value("B == 1"), 1);
  EXPECT_EQ(Error("B + 1"), kStaplTypeMismatch);
  EXPECT_EQ(Error("!I"), kStaplTypeMismatch);
  EXPECT_EQ(Error("B == 2"), kStaplTypeMismatch);
  EXPECT_EQ(Error("I && B"), kStaplTypeMismatch);
  EXPECT_EQ(Error("N[B]"), kStaplTypeMismatch);
  // Each operand of each operator and function is checked, the right one as well as the left.
  for (const char* text : {"-B", "~B", "ABS(B)", "LOG2(B)", "SQRT(B)", "FLOOR(B)", "CEIL(B)",
                           "1 + B", "B && I", "BITS[B]", "INT(BITS[B..0])", "INT(BITS[1..B])"}) {
    EXPECT_EQ(Error(text), kStaplTypeMismatch) << text;
  }
}

TEST(StaplExpression, Conversions) {
  EXPECT_EQ(Value("INT(#101)"), 5);
  EXPECT_EQ(Value("INT($FF)"), 255);
  EXPECT_EQ(Value("INT($ff)"), 255);
  EXPECT_EQ(Value("INT(# 101)"), 5);  // blanks may follow the base mark
  EXPECT_EQ(Value("INT(BITS[])"), 0xB4);
  EXPECT_EQ(Value("INT(BITS[7..4])"), 0xB);
  EXPECT_EQ(Value("INT(BITS[4..7])"), 0xD);  // bit 0 is the second index written
  EXPECT_EQ(Error("INT(5)"), kStaplSyntaxError);
  EXPECT_EQ(Error("#101"), kStaplSyntaxError);
  EXPECT_EQ(Error("INT(#102)"), kStaplSyntaxError);
  EXPECT_EQ(Value("INT(BITS[7..0])"), 0xB4);
  EXPECT_EQ(Error("INT(BITS[8..0])"), kStaplBoundsError);
  EXPECT_EQ(Error("INT(BITS[0..8])"), kStaplBoundsError);
  EXPECT_EQ(Value("INT(WIDE[63..0])"), -1);  // as many bits as an integer holds
  EXPECT_EQ(Error("INT(WIDE[64..0])"), kStaplIntegerOverflow);
  EXPECT_EQ(Error("INT(N[])"), kStaplTypeMismatch);
}

TEST(StaplExpression, Functions) {
  EXPECT_EQ(Value("LOG2(1)"), 0);
  EXPECT_EQ(Value("LOG2(5)"), 3);
  EXPECT_EQ(Value("LOG2(8)"), 3);
  EXPECT_EQ(Value("FLOOR(LOG2(5))"), 2);
  EXPECT_EQ(Value("FLOOR(LOG2(8))"), 3);
  EXPECT_EQ(Value("SQRT(10)"), 3);
  EXPECT_EQ(Value("CEIL(SQRT(10))"), 4);
  EXPECT_EQ(Value("CEIL(SQRT(9))"), 3);
  EXPECT_EQ(Value("CEIL(7/2)"), 4);
  EXPECT_EQ(Value("CEIL((7/2))"), 4);
  EXPECT_EQ(Value("CEIL(8/2)"), 4);
  EXPECT_EQ(Value("CEIL(7/2 + 0)"), 3);
  EXPECT_EQ(Value("ABS(-4)"), 4);
  EXPECT_EQ(Error("LOG2(0)"), kStaplIntegerOverflow);
  EXPECT_EQ(Error("SQRT(-1)"), kStaplIntegerOverflow);
}

// Every inexact quotient goes up by one, whatever its sign, as stored programs expect: -7/2
// truncates to -3 and CEIL makes it -2.
TEST(StaplExpression, CeilAddsOneToEveryInexactQuotient) {
  EXPECT_EQ(Value("CEIL(-7/2)"), -2);
  EXPECT_EQ(Value("CEIL(7/-2)"), -2);
  EXPECT_EQ(Value("CEIL(-7/-2)"), 4);
  EXPECT_EQ(Value("CEIL(-8/2)"), -4);
}

TEST(StaplExpression, ArithmeticErrors) {
  EXPECT_EQ(Error("7 / 0"), kStaplDivideByZero);
  EXPECT_EQ(Error("7 % 0"), kStaplDivideByZero);
  EXPECT_EQ(Error("2147483647 * 2147483647 * 2147483647"), kStaplIntegerOverflow);
  EXPECT_EQ(Error("(1 << 63) / -1"), kStaplIntegerOverflow);
  EXPECT_EQ(Error("(1 << 63) % -1"), kStaplIntegerOverflow);
  EXPECT_EQ(Error("-(1 << 63)"), kStaplIntegerOverflow);
  EXPECT_EQ(Error("N[2]"), kStaplBoundsError);
  EXPECT_EQ(Error("UNKNOWN + 1"), kStaplUndefinedSymbol);
  EXPECT_EQ(Error("L + 1"), kStaplSyntaxError);
  EXPECT_EQ(Error("1 +"), kStaplSyntaxError);
  EXPECT_EQ(Error("(1"), kStaplSyntaxError);
  EXPECT_EQ(Error("1 2"), kStaplSyntaxError);
}

TEST(StaplExpression, LongTokensAreSafe) {
  EXPECT_EQ(Error(std::string(5000, 'X')), kStaplUndefinedSymbol);
  EXPECT_EQ(Value(std::string(3000, '0') + "1"), 1);
}

// A statement's worth of nesting must not exhaust the stack.
TEST(StaplExpression, DeepNestingIsRefused) {
  EXPECT_EQ(Value(std::string(100, '(') + "1" + std::string(100, ')')), 1);
  EXPECT_EQ(Error(std::string(8000, '(') + "1" + std::string(8000, ')')), kStaplSyntaxError);
  EXPECT_EQ(Error(std::string(8000, '-') + "1"), kStaplSyntaxError);
  std::string index = "0";
  for (int i = 0; i < 3000; ++i) index = "N[" + index + "]";
  EXPECT_EQ(Error(index), kStaplSyntaxError);
}

}  // namespace
