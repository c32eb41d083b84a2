#include <gtest/gtest.h>

#include <string>

#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/symboltable.h"
#include "tests/driver/firmware/stapl/stapltesthost.h"

using namespace zor::firmware;

namespace {

StaplRun RunProc(const std::string& body, const std::string& decls = "",
                 std::vector<const char*> init = {}) {
  StaplBench bench;
  return bench.Run(Proc(body, decls), "DO", std::move(init));
}

TEST(StaplInterpreter, PrintsTextsNumbersAndCharacters) {
  StaplRun run = RunProc("PRINT \"a;b: \", 1 + 2 * 3, \" \", -5, CHR$(65), CHR$(300);");
  ASSERT_EQ(run.rc, kStaplSuccess);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_EQ(run.messages[0], std::string("a;b: 7 -5A") + char(127));
  EXPECT_EQ(run.exitCode, 0);
}

TEST(StaplInterpreter, CommentsStringsAndCase) {
  StaplRun run = RunProc(
      "' a comment; with a semicolon\n"
      "print \"Mixed ;Case: kept\" ; ' trailing comment\n"
      "\tPRINT\t\"x\",\n   1;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"Mixed ;Case: kept", "x1"}));
  // Names are upper-cased up to a boolean array's data, which keeps its case.
  run = RunProc("print int(flags[]);", "boolean flags[8] = $a5;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"165"}));
}

TEST(StaplInterpreter, LoopsRunTheirBodyAtLeastOnce) {
  StaplRun run = RunProc(
      "FOR I = 5 TO 3; PRINT I; NEXT I;"
      "FOR I = 1 TO 7 STEP 3; PRINT \"s\", I; NEXT I;"
      "FOR I = 3 TO 1 STEP -1; PRINT \"d\", I; NEXT I;",
      "INTEGER I;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"5", "s1", "s4", "s7", "d3", "d2", "d1"}));
  EXPECT_EQ(RunProc("FOR I = 1 TO 2 STEP 0; NEXT I;", "INTEGER I;").rc, kStaplSyntaxError);
  EXPECT_EQ(RunProc("FOR B = 1 TO 2; NEXT B;", "BOOLEAN B;").rc, kStaplTypeMismatch);
  EXPECT_EQ(RunProc("NEXT I;", "INTEGER I;").rc, kStaplNextUnexpected);
}

TEST(StaplInterpreter, IfRunsTheStatementAfterThen) {
  StaplRun run = RunProc(
      "IF 1 THEN PRINT \"yes\"; IF 0 THEN PRINT \"no\"; IF I > 1 THEN I = 9;"
      "PRINT I;",
      "INTEGER I = 2;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"yes", "9"}));
  EXPECT_EQ(RunProc("IF 5 THEN PRINT \"x\";").rc, kStaplTypeMismatch);
  EXPECT_EQ(RunProc("IF 1 PRINT \"x\";").rc, kStaplSyntaxError);
}

TEST(StaplInterpreter, ExitCodes) {
  StaplRun run = RunProc("EXIT 10; PRINT \"never\";");
  EXPECT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_TRUE(run.messages.empty());
  EXPECT_EQ(RunProc("EXIT 6;").exitCode, 2);
  EXPECT_EQ(RunProc("EXIT 3;").exitCode, 3);
  EXPECT_EQ(RunProc("EXIT 100000;").rc, kStaplIntegerOverflow);
  EXPECT_EQ(RunProc("EXIT 1 == 1;").rc, kStaplTypeMismatch);
}

TEST(StaplInterpreter, StackStatements) {
  StaplRun run =
      RunProc("PUSH 42; PUSH 1; POP B; POP A[1]; PRINT A[1], B;", "INTEGER A[2]; BOOLEAN B;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"421"}));
  EXPECT_EQ(RunProc("POP I;", "INTEGER I;").rc, kStaplPopUnexpected);
  EXPECT_EQ(RunProc("PUSH 2; POP B;", "BOOLEAN B;").rc, kStaplTypeMismatch);
  EXPECT_EQ(RunProc("PUSH 2; POP A[2];", "INTEGER A[2];").rc, kStaplBoundsError);
  EXPECT_EQ(RunProc("PUSH 1; POP F[1]; PRINT INT(F[]);", "BOOLEAN F[2];").messages,
            (std::vector<std::string>{"2"}));
  EXPECT_EQ(RunProc("PUSH 2; POP F[1];", "BOOLEAN F[2];").rc, kStaplTypeMismatch);
  std::string pushes;
  for (int i = 0; i < 16; ++i) pushes += "PUSH 1;";
  // The call of P holds one record: 15 more fit, the sixteenth push does not.
  EXPECT_EQ(RunProc(pushes).rc, kStaplOutOfMemory);
  EXPECT_EQ(RunProc(pushes.substr(7) + "EXIT 0;").rc, kStaplSuccess);
  // Calls take records of the same stack: a procedure calling itself, directly or through
  // another, ends there instead of exhausting the machine's stack.
  StaplBench bench;
  for (const char* program : {"ACTION A = Q;\nPROCEDURE Q USES Q;\n CALL Q;\nENDPROC;\n",
                              "ACTION A = Q;\nPROCEDURE Q USES R;\n CALL R;\nENDPROC;\n"
                              "PROCEDURE R USES Q;\n CALL Q;\nENDPROC;\n"}) {
    EXPECT_EQ(bench.Run(program, "A").rc, kStaplOutOfMemory) << program;
  }
}

TEST(StaplInterpreter, ExportsGoToTheHost) {
  StaplRun run = RunProc("EXPORT \"Key One\", 5 * 3; EXPORT \"b\", 1 == 1;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.exports, (std::vector<std::pair<std::string, int64_t>>{{"Key One", 15}, {"b", 1}}));
  EXPECT_EQ(RunProc("EXPORT KEY, 1;").rc, kStaplSyntaxError);
  // A whole word of bits: nothing beyond its end is read or written.
  run = RunProc(
      "EXPORT \"ID\", A[]; EXPORT \"LOW\", A[2..0]; EXPORT \"BIT\", A[3]; "
      "EXPORT \"W\", W[31..0];",
      "BOOLEAN A[6] = #101100; BOOLEAN W[32] = $FFFFFFFF;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.bitExports, (std::vector<std::pair<std::string, std::string>>{
                                {"ID", "101100"}, {"LOW", "100"}, {"W", std::string(32, '1')}}));
  EXPECT_EQ(run.exports, (std::vector<std::pair<std::string, int64_t>>{{"BIT", 1}}));
  EXPECT_EQ(RunProc("EXPORT \"X\", A[0..2];", "BOOLEAN A[6];").rc, kStaplBoundsError);
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
  StaplRun run = bench.Run(fixed, "run");
  ASSERT_EQ(run.rc, kStaplSuccess) << run.errorLine;
  EXPECT_EQ(run.messages, (std::vector<std::string>{"P1 11", "P4 1", "P3", "P1 21", "P4 1"}));
  run = bench.Run(fixed, "RUN", {"P2=1", "p3 = 0"});
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"P1 11", "P4 1", "P2", "P1 21", "P4 1"}));
  // A recommended procedure that the list leaves out runs.
  run = bench.Run(fixed, "RUN", {"P2=1"});
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"P1 11", "P4 1", "P2", "P3", "P1 21", "P4 1"}));
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
  EXPECT_EQ(run.rc, kStaplScopeError);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"3"}));
  EXPECT_EQ(run.errorLine, 7);  // CALL P2 of P1 may not reach P2
  EXPECT_EQ(bench.Run("ACTION A = Q;\nPROCEDURE Q;\n CALL NONE;\nENDPROC;\n", "A").rc,
            kStaplUndefinedSymbol);
  EXPECT_EQ(bench.Run("ACTION A = Q;\nPROCEDURE Q;\n PRINT X;\nENDPROC;\n", "A").rc,
            kStaplUndefinedSymbol);
}

TEST(StaplInterpreter, PhaseAndLanguageLevelErrors) {
  StaplBench bench;
  EXPECT_EQ(bench.Run(Proc("LET I = 1;", "INTEGER I;"), "DO").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run("INTEGER I;\nI = 1;\nEXIT 0;\n").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run("ACTION OTHER = P;\nNOTE \"A\" \"B\";\n", "DO").rc, kStaplPhaseError);
  EXPECT_EQ(bench.Run("INTEGER I;\nLET I = 1;\nACTION DO = P;\n", "DO").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run("ACTION DO = P;\nPROCEDURE P;\nENDPROC;\nCRC 1234;\n", "DO").rc,
            kStaplSuccess);
  // Falling into the CRC statement is an error.
  EXPECT_EQ(bench.Run("INTEGER I;\nLET I = 0;\nCRC 1234;\n").rc, kStaplPhaseError);
  EXPECT_EQ(bench.Run("LET I = 0;\n").rc, kStaplUndefinedSymbol);
  EXPECT_EQ(bench.Run("INTEGER I;\nLET I = 0;\n").rc, kStaplUnexpectedEnd);
  EXPECT_EQ(bench.Run("INTEGER I;\nLET I = 1;\nFREQUENCY 5;\n").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run(Proc("FREQUENCY;")).rc, kStaplActionNotFound);
  EXPECT_EQ(bench.Run(Proc("FREQUENCY;"), "DO").rc, kStaplSuccess);
  EXPECT_EQ(bench.Run(Proc("RETURN;"), "DO").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run(Proc("ENDPROC 1;"), "DO").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run(Proc("WHATEVER 1;"), "DO").rc, kStaplSyntaxError);
}

// STAPL proper runs every statement of program flow, data management (but declarations) and
// boundary scan inside procedures only: in a data block each one stops the run at its line.
TEST(StaplInterpreter, ProcedureStatementsInADataBlockArePhaseErrors) {
  const char* const statements[] = {
      "CALL P;",       "GOTO L;",       "EXIT 0;",          "IF 1 THEN EXIT 0;", "FOR I = 1 TO 2;",
      "NEXT I;",       "PUSH 1;",       "POP I;",           "PRINT \"x\";",      "EXPORT \"K\", 1;",
      "DRSCAN 1, #1;", "IRSCAN 1, #1;", "DRSTOP IDLE;",     "IRSTOP IDLE;",      "PREDR 0;",
      "POSTDR 0;",     "PREIR 0;",      "POSTIR 0;",        "STATE IDLE;",       "WAIT 1 USEC;",
      "TRST 1 USEC;",  "VECTOR 1, #1;", "VMAP 1, \"TDI\";", "FREQUENCY 5;",      "I = 1;",
  };
  StaplBench bench;
  for (const char* statement : statements) {
    const std::string program = std::string("ACTION DO = P;\nDATA D;\n INTEGER I;\n ") + statement +
                                "\nENDDATA;\nPROCEDURE P USES D;\nENDPROC;\n";
    const StaplRun run = bench.Run(program, "DO");
    EXPECT_EQ(run.rc, kStaplPhaseError) << statement;
    EXPECT_EQ(run.errorLine, 4) << statement;
  }
  // Declarations belong in data blocks; a LET is no STAPL statement.
  EXPECT_EQ(bench
                .Run("ACTION DO = P;\nDATA D;\n BOOLEAN B;\nENDDATA;\nPROCEDURE P USES D;\n"
                     "ENDPROC;\n",
                     "DO")
                .rc,
            kStaplSuccess);
  EXPECT_EQ(bench
                .Run("ACTION DO = P;\nDATA D;\n INTEGER I;\n LET I = 1;\nENDDATA;\n"
                     "PROCEDURE P USES D;\nENDPROC;\n",
                     "DO")
                .rc,
            kStaplSyntaxError);
}

TEST(StaplInterpreter, ErrorLineCountsLineFeeds) {
  StaplBench bench;
  StaplRun run = bench.Run(Proc("PRINT 1;\nPRINT 1 / 0;"), "DO");
  EXPECT_EQ(run.rc, kStaplDivideByZero);
  EXPECT_EQ(run.errorLine, 4);
  const int32_t codes[] = {
      kStaplSuccess,          kStaplOutOfMemory,     kStaplIoError,         kStaplSyntaxError,
      kStaplUnexpectedEnd,    kStaplUndefinedSymbol, kStaplRedefinedSymbol, kStaplIntegerOverflow,
      kStaplDivideByZero,     kStaplCrcError,        kStaplInternalError,   kStaplBoundsError,
      kStaplTypeMismatch,     kStaplAssignToConst,   kStaplNextUnexpected,  kStaplPopUnexpected,
      kStaplReturnUnexpected, kStaplIllegalSymbol,   kStaplVectorMapFailed, kStaplPhaseError,
      kStaplScopeError,       kStaplActionNotFound,  kStaplResultCount};
  for (int32_t code = 0; code <= kStaplResultCount; ++code) EXPECT_EQ(codes[code], code);
  std::string texts;
  for (int32_t code = -1; code <= kStaplResultCount; ++code)
    texts += std::string(StaplResultText(code) ? StaplResultText(code) : "-") + "|";
  EXPECT_EQ(texts,
            "-|success|out of memory|file access error|syntax error|unexpected end of file|"
            "undefined symbol|redefined symbol|integer overflow|divide by zero|CRC mismatch|"
            "internal error|bounds error|type mismatch|assignment to constant object|"
            "NEXT statement unexpected|POP statement unexpected|RETURN statement unexpected|"
            "illegal symbolic name|vector signal name not found|"
            "unexpected statement type (phase error)|illegal symbol reference (scope error)|"
            "action name not found|-|");
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
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"sub", "I=3"}));
  EXPECT_EQ(bench.Run("INTEGER I;\nL: LET I = 1;\nL: LET I = 2;\n").rc, kStaplRedefinedSymbol);
  EXPECT_EQ(bench.Run("GOTO NOWHERE;\n").rc, kStaplUndefinedSymbol);
  EXPECT_EQ(bench.Run("RETURN;\n").rc, kStaplReturnUnexpected);
  EXPECT_EQ(bench.Run("A: B: RETURN;\n").rc, kStaplSyntaxError);
  EXPECT_EQ(bench.Run(std::string(40, 'L') + ": RETURN;\n").rc, kStaplIllegalSymbol);
  EXPECT_EQ(bench.Run("PADDING 1, 2, 3, 1001;\n").rc, kStaplSyntaxError);
  // The init list sets a scalar of a line-oriented program, not one of STAPL proper.
  EXPECT_EQ(RunProc("PRINT N;", "INTEGER N = 1;", {"N=5"}).messages,
            (std::vector<std::string>{"1"}));
  run = bench.Run("BOOLEAN X;\nINTEGER N = 1;\nPRINT N;\nEXIT 0;\n", nullptr, {"n=-12"});
  EXPECT_EQ(run.messages, (std::vector<std::string>{"-12"}));
}

TEST(StaplInterpreter, LongStatementsAreCut) {
  StaplBench bench;
  StaplRun run = bench.Run(Proc("PRINT \"" + std::string(9000, 'x') + "\";"), "DO");
  EXPECT_EQ(run.rc, kStaplSyntaxError);
  // A PRINT text just inside the limit is printed whole.
  run = bench.Run(Proc("PRINT \"" + std::string(8180, 'y') + "\";"), "DO");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages[0].size(), 8180u);
}

// The printed line is bounded even when its items together are longer than a statement.
TEST(StaplInterpreter, PrintedLineIsBounded) {
  std::string items;
  for (int i = 0; i < 3000; ++i) items += "S,";
  StaplRun run = RunProc("PRINT " + items + "S;", "INTEGER S = 2147483647 * 1000;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_EQ(run.messages[0].size(), 8192u);
  EXPECT_EQ(run.messages[0].substr(0, 13), "2147483647000");
}

// A byte 0xFF is program text, not the end of the program.
TEST(StaplInterpreter, ByteFFInsideTheProgram) {
  StaplBench bench;
  StaplRun run = bench.Run(Proc("' comment \xFF here\nPRINT \"a\xFF\";"), "DO");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"a\xFF"}));
}

// Its hash is 0x80000000, whose absolute value does not exist in 32 bits.
TEST(StaplInterpreter, NameHashingToTheLowestInteger) {
  const std::string name = "BAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAB";
  EXPECT_LT(StaplSymbolBucket(name), 1021u);
  StaplRun run = RunProc("PRINT " + name + ";", "INTEGER " + name + " = 77;");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"77"}));
}

TEST(StaplInterpreter, ProcedureVariablesAreReinitialisedAtEachCall) {
  StaplBench bench;
  StaplRun run = bench.Run(
      "ACTION A = P, P;\n"
      "PROCEDURE P;\n INTEGER N = 1;\n BOOLEAN F[4];\n PRINT N, INT(F[]);\n N = 7;\n"
      " F[2] = 1;\nENDPROC;\n",
      "A");
  ASSERT_EQ(run.rc, kStaplSuccess);
  EXPECT_EQ(run.messages, (std::vector<std::string>{"10", "10"}));
}

}  // namespace
