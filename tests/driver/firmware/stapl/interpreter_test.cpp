#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/symboltable.h"
#include "tests/driver/firmware/stapl/stapltesthost.h"
#include "tests/support/testdata/testdata.h"

using namespace zor::firmware;

namespace {

// A whole program, the action run (none in a line-oriented program) and the run's outcome.
struct ProgramCase {
  std::string program;
  const char* action;
  std::string outcome;
};

template <size_t N>
void ExpectPrograms(const ProgramCase (&cases)[N]) {
  StaplBench bench;
  for (const ProgramCase& c : cases) {
    EXPECT_EQ(Outcome(bench.Run(c.program, c.action)), c.outcome) << c.program.substr(0, 80);
  }
}

// Names are upper-cased up to a boolean array's data, which keeps its case. Loops run their body
// at least once; IF runs the statement after THEN.
TEST(StaplInterpreter, CommentsStringsAndCase) {
  std::string pushes;
  for (int i = 0; i < 16; ++i) pushes += "PUSH 1;";
  const StaplCase cases[] = {
      {"PRINT \"a;b: \", 1 + 2 * 3, \" \", -5, CHR$(65), CHR$(300);", "",
       std::string("success|a;b: 7 -5A") + char(127)},
      {"' a comment; with a semicolon\n"
       "print \"Mixed ;Case: kept\" ; ' trailing comment\n"
       "\tPRINT\t\"x\",\n   1;",
       "", "success|Mixed ;Case: kept|x1"},
      {"print int(flags[]);", "boolean flags[8] = $a5;", "success|165"},
      {"FOR I = 5 TO 3; PRINT I; NEXT I;"
       "FOR I = 1 TO 7 STEP 3; PRINT \"s\", I; NEXT I;"
       "FOR I = 3 TO 1 STEP -1; PRINT \"d\", I; NEXT I;",
       "INTEGER I;", "success|5|s1|s4|s7|d3|d2|d1"},
      {"FOR I = 1 TO 2 STEP 0; NEXT I;", "INTEGER I;", "syntax error"},
      {"FOR B = 1 TO 2; NEXT B;", "BOOLEAN B;", "type mismatch"},
      {"IF 1 THEN PRINT \"yes\"; IF 0 THEN PRINT \"no\"; IF I > 1 THEN I = 9; PRINT I;",
       "INTEGER I = 2;", "success|yes|9"},
      {"IF 5 THEN PRINT \"x\";", "", "type mismatch"},
      {"IF 1 PRINT \"x\";", "", "syntax error"},
      {"EXIT 100000;", "", "integer overflow"},
      {"EXIT 1 == 1;", "", "type mismatch"},
      {"PUSH 42; PUSH 1; POP B; POP A[1]; PRINT A[1], B;", "INTEGER A[2]; BOOLEAN B;",
       "success|421"},
      {"PUSH 2; POP B;", "BOOLEAN B;", "type mismatch"},
      {"PUSH 2; POP A[2];", "INTEGER A[2];", "bounds error"},
      {"F[] = $8; PUSH 1; POP F[1]; F[2] = 1 == 1; F[3] = 0 == 1; PRINT INT(F[]);", "BOOLEAN F[4];",
       "success|6"},
      {"PUSH 2; POP F[1];", "BOOLEAN F[2];", "type mismatch"},
      // The call of P holds one record: 15 more fit, the sixteenth push does not.
      {pushes, "", "out of memory"},
      {pushes.substr(7) + "EXIT 0;", "", "success"},
      {"EXPORT KEY, 1;", "", "syntax error"},
      {"EXPORT \"X\", A[0..2];", "BOOLEAN A[6];", "bounds error"},
      // A byte 0xFF is program text, not the end of the program.
      {"' comment \xFF here\nPRINT \"a\xFF\";", "", "success|a\xFF"},
      // A PRINT text just inside the statement's limit is printed whole.
      {"PRINT \"" + std::string(8180, 'y') + "\";", "", "success|" + std::string(8180, 'y')}};
  ExpectOutcomes(cases);
}

// Each code of STAPL proper's map, its neighbours outside it and both ends of the range, as
// "proper/line-oriented" exit codes ("e": refused); line-oriented programs keep their codes.
TEST(StaplInterpreter, ExitCodes) {
  const auto exitCode = [](const StaplRun& run) {
    return Outcome(run) == "success" ? std::to_string(run.exitCode) : std::string("e");
  };
  StaplBench bench;
  std::string codes;
  for (const int code : {-32768, -32767, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 32767, 32768}) {
    const std::string exit = "EXIT " + std::to_string(code) + ";";
    codes += exitCode(bench.Run(Proc(exit + " PRINT \"never\";"), "DO")) + "/" +
             exitCode(bench.Run(exit + "\nPRINT \"never\";\n")) + " ";
  }
  EXPECT_EQ(codes,
            "e/e -32767/-32767 3/3 8/4 5/5 2/6 3/7 8/8 5/9 4/10 6/11 12/12 32767/32767 e/e ");
  EXPECT_EQ(RunProc("PRINT \"a;b: \", 1 + 2 * 3, \" \", -5, CHR$(65), CHR$(300);").exitCode, 0);
}

// A whole word of bits: nothing beyond its end is read or written.
TEST(StaplInterpreter, ExportsGoToTheHost) {
  StaplRun run = RunProc("EXPORT \"Key One\", 5 * 3; EXPORT \"b\", 1 == 1;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.exports, (std::vector<std::pair<std::string, int64_t>>{{"Key One", 15}, {"b", 1}}));
  run = RunProc(
      "EXPORT \"ID\", A[]; EXPORT \"LOW\", A[2..0]; EXPORT \"BIT\", A[3]; "
      "EXPORT \"W\", W[31..0];",
      "BOOLEAN A[6] = #101100; BOOLEAN W[32] = $FFFFFFFF;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.bitExports, (std::vector<std::pair<std::string, std::string>>{
                                {"ID", "101100"}, {"LOW", "100"}, {"W", std::string(32, '1')}}));
  EXPECT_EQ(run.exports, (std::vector<std::pair<std::string, int64_t>>{{"BIT", 1}}));
}

TEST(StaplInterpreter, ActionsProceduresAndDataBlocks) {
  const std::string program =
      "NOTE \"DEVICE\" \"X\";\n"
      "ACTION OTHER = P1;\n"
      "ACTION RUN \"described\" = P1, P2 OPTIONAL, P3 RECOMMENDED, P1;\n"
      "DATA D;\n INTEGER COUNT = 0;\n PRINT \"never\";\nENDDATA;\n"
      "DATA D2;\n BOOLEAN SEEN[2] = #10;\nENDDATA;\n"
      "PROCEDURE P1 USES D, P4;\n INTEGER LOCAL = 1;\n COUNT = COUNT + 1;\n"
      " PRINT \"P1 \", COUNT, LOCAL;\n LOCAL = 5;\n CALL P4;\nENDPROC;\n"
      "PROCEDURE P2;\n PRINT \"P2\";\nENDPROC;\n"
      "PROCEDURE P3;\n PRINT \"P3\";\nENDPROC;\n"
      "PROCEDURE P4 USES D2;\n PRINT \"P4 \", SEEN[1];\nENDPROC;\n"
      "CRC ABCD;\n";
  StaplBench bench;
  // DATA D has a PRINT: statements other than declarations are phase errors there.
  EXPECT_EQ(bench.Run(program, "RUN").rc, kStaplPhaseError);
  std::string fixed = program;
  const std::string never = " PRINT \"never\";\n";
  fixed.erase(fixed.find(never), never.size());
  EXPECT_EQ(Outcome(bench.Run(fixed, "run")), "success|P1 11|P4 1|P3|P1 21|P4 1");
  EXPECT_EQ(Outcome(bench.Run(fixed, "RUN", {"P2=1", "p3 = 0"})),
            "success|P1 11|P4 1|P2|P1 21|P4 1");
  // A recommended procedure that the list leaves out runs.
  EXPECT_EQ(Outcome(bench.Run(fixed, "RUN", {"P2=1"})), "success|P1 11|P4 1|P2|P3|P1 21|P4 1");
  EXPECT_EQ(bench.Run(fixed, "MISSING").rc, kStaplActionNotFound);
  EXPECT_EQ(bench.Run(fixed, nullptr).rc, kStaplActionNotFound);
}

TEST(StaplInterpreter, ScopeOfBlocks) {
  const std::string program =
      "ACTION A = P1;\n"
      "DATA D;\n INTEGER SHARED = 3;\nENDDATA;\n"
      "PROCEDURE P1 USES D;\n PRINT SHARED;\n CALL P2;\nENDPROC;\n"
      "PROCEDURE P2;\n PRINT SHARED;\nENDPROC;\n";
  StaplBench bench;
  StaplRun run = bench.Run(program, "A");
  EXPECT_EQ(Outcome(run), "illegal symbol reference (scope error)|3");
  EXPECT_EQ(run.errorLine, 7);  // CALL P2 of P1 may not reach P2
}

// Falling into the CRC statement is an error; a LET is no STAPL statement. Calls take records
// of the same stack as PUSH: a procedure calling itself, directly or through another, ends there
// instead of exhausting the machine's stack.
TEST(StaplInterpreter, PhaseAndLanguageLevelErrors) {
  const ProgramCase cases[] = {
      {"ACTION A = Q;\nPROCEDURE Q USES Q;\n CALL Q;\nENDPROC;\n", "A", "out of memory"},
      {"ACTION A = Q;\nPROCEDURE Q USES R;\n CALL R;\nENDPROC;\nPROCEDURE R USES Q;\n CALL Q;\n"
       "ENDPROC;\n",
       "A", "out of memory"},
      {"INTEGER I;\nLET I = 1;\nACTION DO = P;\n", "DO", "syntax error"},
      {"ACTION DO = P;\nPROCEDURE P;\nENDPROC;\nCRC 1234;\n", "DO", "success"},
      {"INTEGER I;\nLET I = 0;\nCRC 1234;\n", nullptr, "unexpected statement type (phase error)"},
      {"LET I = 0;\n", nullptr, "undefined symbol"},
      {"INTEGER I;\nLET I = 0;\n", nullptr, "unexpected end of file"},
      {"INTEGER I;\nLET I = 1;\nFREQUENCY 5;\n", nullptr, "syntax error"},
      {Proc("FREQUENCY;"), nullptr, "action name not found"},
      {Proc("FREQUENCY;"), "DO", "success"},
      {Proc("ENDPROC 1;"), "DO", "syntax error"},
      {Proc("WHATEVER 1;"), "DO", "syntax error"},
      {"ACTION A = Q;\nPROCEDURE Q;\n CALL NONE;\nENDPROC;\n", "A", "undefined symbol"},
      {"ACTION A = Q;\nPROCEDURE Q;\n PRINT X;\nENDPROC;\n", "A", "undefined symbol"},
      {"INTEGER I;\nL: LET I = 1;\nL: LET I = 2;\n", nullptr, "redefined symbol"},
      {"GOTO NOWHERE;\n", nullptr, "undefined symbol"},
      {"A: B: RETURN;\n", nullptr, "syntax error"},
      {std::string(40, 'L') + ": RETURN;\n", nullptr, "illegal symbolic name"},
      {"PADDING 1, 2, 3, 1001;\n", nullptr, "syntax error"},
      {Proc("PRINT \"" + std::string(9000, 'x') + "\";"), "DO", "syntax error"},
      // Procedure variables are initialised again at each call.
      {"ACTION A = P, P;\nPROCEDURE P;\n INTEGER N = 1;\n BOOLEAN F[4];\n PRINT N, INT(F[]);\n N = "
       "7;\n"
       " F[2] = 1;\nENDPROC;\n",
       "A", "success|10|10"}};
  ExpectPrograms(cases);
}

// Every keyword where each rule of the keyword table shows: first in a line-oriented program
// (the version it implies or requires), before the first ACTION, among the ACTIONs, in a data
// block and in a procedure (tests/data/README.md tells the columns).
TEST(StaplInterpreter, KeywordRules) {
  const std::pair<std::string, const char*> contexts[] = {
      {"INTEGER I;\n@\nEXIT 0;\n", nullptr},
      {"@\nACTION DO = P;\nPROCEDURE P;\nENDPROC;\n", "DO"},
      {"ACTION OTHER = P;\n@\nACTION DO = P;\nPROCEDURE P;\nENDPROC;\n", "DO"},
      {"ACTION DO = P;\nDATA D;\n INTEGER I;\n @\nENDDATA;\nPROCEDURE P USES D;\nENDPROC;\n", "DO"},
      {"ACTION DO = P;\nPROCEDURE P;\n INTEGER I;\n @\nENDPROC;\nPROCEDURE Q;\nENDPROC;\n", "DO"}};
  // Each line of the expected text starts with its statement, up to its semicolon.
  const std::string expected = zortest::ReadTestData("stapl/keywordrules.txt");
  StaplBench bench;
  std::string table;
  for (size_t at = 0; at < expected.size(); at = expected.find('\n', at) + 1) {
    const std::string statement = expected.substr(at, expected.find(";:", at) + 1 - at);
    table += statement + ":";
    for (const auto& [context, action] : contexts) {
      std::string program = context;
      program.replace(program.find('@'), 1, statement);
      const StaplRun run = bench.Run(program, action);
      table += " " + std::to_string(run.rc) + ":" + std::to_string(run.errorLine);
    }
    table += "\n";
  }
  EXPECT_EQ(table, expected);
}

TEST(StaplInterpreter, ErrorLineCountsLineFeeds) {
  StaplBench bench;
  StaplRun run = bench.Run(Proc("PRINT 1;\nPRINT 1 / 0;"), "DO");
  EXPECT_EQ(Outcome(run), "divide by zero|1");
  EXPECT_EQ(run.errorLine, 4);
  // The end of the text is where the last statement ended, not past its line feed.
  EXPECT_EQ(bench.Run("INTEGER I;\nLET I = 0;\n").errorLine, 2);
  // Each result by its name, up to the count past the last; none below the first.
  const int32_t codes[] = {
      kStaplSuccess,          kStaplOutOfMemory,     kStaplIoError,         kStaplSyntaxError,
      kStaplUnexpectedEnd,    kStaplUndefinedSymbol, kStaplRedefinedSymbol, kStaplIntegerOverflow,
      kStaplDivideByZero,     kStaplCrcError,        kStaplInternalError,   kStaplBoundsError,
      kStaplTypeMismatch,     kStaplAssignToConst,   kStaplNextUnexpected,  kStaplPopUnexpected,
      kStaplReturnUnexpected, kStaplIllegalSymbol,   kStaplVectorMapFailed, kStaplPhaseError,
      kStaplScopeError,       kStaplActionNotFound,  kStaplResultCount};
  EXPECT_EQ(StaplResultText(-1), nullptr);
  std::string texts;
  for (const int32_t code : codes) {
    const char* text = StaplResultText(code);
    texts += std::to_string(code) + ":" + (text != nullptr ? text : "-") + "|";
  }
  EXPECT_EQ(texts,
            "0:success|1:out of memory|2:file access error|3:syntax error|"
            "4:unexpected end of file|5:undefined symbol|6:redefined symbol|7:integer overflow|"
            "8:divide by zero|9:CRC mismatch|10:internal error|11:bounds error|12:type mismatch|"
            "13:assignment to constant object|14:NEXT statement unexpected|"
            "15:POP statement unexpected|16:RETURN statement unexpected|17:illegal symbolic name|"
            "18:vector signal name not found|19:unexpected statement type (phase error)|"
            "20:illegal symbol reference (scope error)|21:action name not found|22:-|");
}

TEST(StaplInterpreter, LineOrientedPrograms) {
  StaplBench bench;
  StaplRun run = bench.Run(
      "INTEGER I = 0;\n"
      "BOOLEAN B;\n"
      "AGAIN: LET I = I + 1;\n"
      "IF I < 3 THEN GOTO AGAIN;\n"
      "CALL SUB;\n"
      "PRINT \"I=\", I;\n"
      "EXIT 5;\n"
      "SUB: PRINT \"sub\";\n"
      "RETURN;\n");
  EXPECT_EQ(Outcome(run), "success|sub|I=3");
  EXPECT_EQ(run.exitCode, 5);
  // The init list sets a scalar of a line-oriented program, not one of STAPL proper.
  EXPECT_EQ(Outcome(RunProc("PRINT N;", "INTEGER N = 1;", {"N=5"})), "success|1");
  run = bench.Run("BOOLEAN X;\nINTEGER N = 1;\nPRINT N;\nEXIT 0;\n", nullptr, {"n=-12"});
  EXPECT_EQ(Outcome(run), "success|-12");
}

// The printed line is bounded even when its items together are longer than a statement.
TEST(StaplInterpreter, PrintedLineIsBounded) {
  std::string items;
  for (int i = 0; i < 3000; ++i) items += "S,";
  StaplRun run = RunProc("PRINT " + items + "S;", "INTEGER S = 2147483647 * 1000;");
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_EQ(std::tuple(run.rc, run.messages[0].size(), run.messages[0].substr(0, 13)),
            std::tuple(kStaplSuccess, size_t{8192}, "2147483647000"));
}

// Its hash is 0x80000000, whose absolute value does not exist in 32 bits.
TEST(StaplInterpreter, NameHashingToTheLowestInteger) {
  const std::string name = "BAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAB";
  EXPECT_LT(StaplSymbolBucket(name), 1021u);
  EXPECT_EQ(Outcome(RunProc("PRINT " + name + ";", "INTEGER " + name + " = 77;")), "success|77");
}

}  // namespace
