#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/firmware/stapl/staplresult.h"
#include "tests/driver/firmware/stapl/stapltesthost.h"

using namespace zor::firmware;

namespace {

// The top digit of a hex initialiser may be partly outside the array: the last digit still
// holds bits 0-3. Sizes no program needs fail before memory is touched; so does the next
// declaration once arrays, each within its own limit, together pass what one run may hold.
TEST(StaplArrays, InitialisersOfStaplProper) {
  const StaplCase cases[] = {
      {"PRINT A[0], A[1], A[2];", "INTEGER A[3] = 1, 2, 3;", "success|321"},
      {"PRINT B[0], B[3], INT(B[]);", "BOOLEAN B[4] = #0001;", "success|101"},
      {"PRINT INT(C[]), C[4], C[5];", "BOOLEAN C[8] = $1F;", "success|3110"},
      {"PRINT INT(D[]);", "BOOLEAN D[12] = $a5f;", "success|2655"},
      {"PRINT INT(V[]);", "BOOLEAN V[6] = $02;", "success|2"},
      {"PRINT INT(V[]);", "BOOLEAN V[7] = $5A;", "success|90"},
      {"PRINT A[0], B[0];", "INTEGER A[1] = 7; BOOLEAN B[1] = #1;", "success|71"},
      {"", "INTEGER A[3] = 1, 2;", "syntax error"},
      {"", "BOOLEAN B[4] = #00012;", "syntax error"},
      {"", "BOOLEAN B[4] = #001;", "syntax error"},
      {"", "BOOLEAN B[8] = $1G;", "syntax error"},
      {"", "BOOLEAN B[4] = 1, 0, 1, 1;", "syntax error"},
      {"", "BOOLEAN B[16] = @!!!;", "syntax error"},
      {"", "BOOLEAN B[I];", "undefined symbol"},
      {"", "BOOLEAN B[1 == 1];", "type mismatch"},
      {"", "BOOLEAN S = 2;", "type mismatch"},
      {"", "INTEGER S = 1 == 1;", "type mismatch"},
      {"", "INTEGER X-Y;", "syntax error"},
      {"", "INTEGER " + std::string(33, 'X') + ";", "illegal symbolic name"},
      {"", "INTEGER A[2000000000];", "out of memory"},
      {"", "INTEGER A[0];", "bounds error"},
      {"", "BOOLEAN A[0];", "bounds error"},
      {"", "INTEGER A[-1];", "bounds error"},
      {"", "BOOLEAN A[1 - 2];", "bounds error"},
      {"", "INTEGER A[33554433];", "out of memory"},
      {"", "BOOLEAN A[2147483647 + 1];", "out of memory"},
      {"", "INTEGER A[];", "syntax error"},
      {"", "INTEGER A[1 == 1];", "type mismatch"},
      {"", "INTEGER A[2] 1, 2;", "syntax error"},
      {"", "INTEGER A[2] = 1, 2, 3;", "syntax error"},
      {"", "INTEGER S 5;", "syntax error"},
      {"", "INTEGER S; BOOLEAN S;", "redefined symbol"},
      {"", "BOOLEAN A[2147483647];\nBOOLEAN B[32];\n", "out of memory"},
      {"", "BOOLEAN A[2147483647];\nINTEGER B[1];\n", "out of memory"},
      {"PRINT B[0];", "BOOLEAN A[1048576];\nBOOLEAN B[32];\n", "success|0"},
      // Four bytes past what a run may hold, after four arrays.
      {"", "BOOLEAN A[32]; BOOLEAN B[32]; BOOLEAN C[32]; BOOLEAN D[32]; BOOLEAN E[2147483552];",
       "out of memory"}};
  ExpectOutcomes(cases);
}

// "@" data of the given bytes: a header of their length, then literal groups of three bytes
// (a group's fields beyond the length are zero), packed six bits a character.
std::string Compressed(std::vector<uint8_t> data) {
  const size_t length = data.size();
  std::vector<bool> stream;
  auto put = [&stream](uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) stream.push_back((value >> i) & 1);
  };
  put(static_cast<uint32_t>(length), 32);
  data.resize((length + 2) / 3 * 3);
  for (size_t i = 0; i < data.size(); ++i) {
    if (i % 3 == 0) put(0, 1);
    put(data[i], 8);
  }
  stream.resize((stream.size() + 7) / 8 * 8);  // whole bytes: the reader drops a partial one
  const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_@";
  std::string text = "@";
  for (size_t i = 0; i < stream.size(); i += 6) {
    int digit = 0;
    for (size_t b = 0; b < 6 && i + b < stream.size(); ++b) digit |= stream[i + b] << b;
    text.push_back(digits[digit]);
  }
  return text;
}

// One byte, and nine: bits beyond the first words; the same data as a scan literal.
TEST(StaplArrays, CompressedInitialiser) {
  const std::string text = Compressed({0xA5, 0x01});
  const StaplCase cases[] = {
      {"PRINT INT(Z[]);", "BOOLEAN Z[16] = " + text + ";", "success|421"},
      {"PRINT INT(Z[]);", "BOOLEAN Z[8] = " + Compressed({0x5A}) + ";", "success|90"},
      {"PRINT INT(Z[71..64]), \" \", INT(Z[39..32]);",
       "BOOLEAN Z[72] = " + Compressed({1, 2, 3, 4, 5, 6, 7, 8, 9}) + ";", "success|9 5"},
      {"B[] = " + text + "; PRINT INT(B[]);", "BOOLEAN B[16];", "success|421"},
      {"", "BOOLEAN Z[24] = " + text + ";", "syntax error"},
      {"", "BOOLEAN Z[8] = " + Compressed({}) + ";", "syntax error"},
      {"", "BOOLEAN Z[16] = " + text + "!;", "syntax error"},
      // A header of 0x0FFFFFFF bytes on four bytes of data.
      {"B[] = @@@@@F0;", "BOOLEAN B[16];", "syntax error"}};
  ExpectOutcomes(cases);
}

TEST(StaplArrays, LongInitialiserIsReadFromTheProgram) {
  std::string bits;
  for (int i = 0; i < 20000; ++i) bits.push_back(i % 3 == 0 ? '1' : '0');
  // bit 0 is the last character: index 19999 -> bit 0. A byte 0 among them is a blank.
  StaplRun run = RunProc("PRINT L[0], L[1], L[19999], L[19998], L[19997];",
                         "BOOLEAN L[20000] = ' a note\r' another\n#" + bits.substr(0, 15000) +
                             '\0' + bits.substr(15000) + ";\n");
  ASSERT_EQ(run.rc, kStaplSuccess);
  const auto bit = [&](int index) { return bits[19999 - index]; };
  const std::string expected{bit(0), bit(1), bit(19999), bit(19998), bit(19997)};
  EXPECT_EQ(run.messages[0], expected);
  // A long list of integers names its values in any case, as a statement does.
  std::string values = "az";
  for (int i = 1; i < 3000; ++i) values += ", az";
  EXPECT_EQ(Outcome(RunProc("PRINT L[0], L[2999];",
                            "INTEGER AZ = 2; INTEGER L[3000] = " + values + ";\n")),
            "success|22");
}

// Long literals get their own storage: the rest of the statement must stay intact.
TEST(StaplArrays, AssignmentsAndRanges) {
  const StaplCase cases[] = {
      {"A[5..2] = #1011; PRINT INT(A[]);", "BOOLEAN A[8];", "success|44"},
      {"A[] = $F0; B[3..0] = A[7..4]; PRINT INT(B[]);", "BOOLEAN A[8]; BOOLEAN B[4];",
       "success|15"},
      {"A[] = #00000011; A[7..1] = A[6..0]; PRINT INT(A[]);", "BOOLEAN A[8];", "success|7"},
      {"N[1] = 5 * 5; PRINT N[1];", "INTEGER N[2];", "success|25"},
      {"C[0] = 1;", "BOOLEAN C[2] = #01;", "assignment to constant object"},
      {"N[0..1] = #11;", "INTEGER N[2];", "syntax error"},
      {"A[3) = #1;", "BOOLEAN A[8];", "syntax error"},  // never closed
      {"N[2] = 1;", "INTEGER N[2];", "bounds error"},
      {"A[0..3] = #1111;", "BOOLEAN A[8];", "bounds error"},
      {"A[9..3] = #1111;", "BOOLEAN A[8];", "bounds error"},
      {"A[1] = 2;", "BOOLEAN A[8];", "type mismatch"},
      {"I = A[0];", "INTEGER I; BOOLEAN A[8];", "type mismatch"},
      {"B[] = $0123456789ABCDEF; C[] = $FEDCBA9876543210; "
       "PRINT INT(B[31..0]), \" \", INT(B[63..32]), \" \", INT(C[63..32]);",
       "BOOLEAN B[64]; BOOLEAN C[64];",
       "success|" + std::to_string(0x89ABCDEF) + " " + std::to_string(0x01234567) + " " +
           std::to_string(0xFEDCBA98)}};
  ExpectOutcomes(cases);
  // Older programs write ranges low..high: the high end may be the last element, not past it.
  StaplBench bench;
  EXPECT_EQ(bench.Run("BOOLEAN A[8];\nLET A[5..7] = 7;\nEXIT 0;\n").rc, kStaplSuccess);
  EXPECT_EQ(bench.Run("BOOLEAN A[8];\nLET A[6..8] = 7;\nEXIT 0;\n").rc, kStaplBoundsError);
  const StaplCase onADevice[] = {
      {"IRSCAN 4, $F; DRSCAN 64, $0123456789ABCDEF, CAPTURE C[], "
       "COMPARE $02468ACF13579BDE, $FFFFFFFFFFFFFFFF, OK; PRINT OK, \" \", INT(C[63..32]);",
       "BOOLEAN C[64]; BOOLEAN OK;", "success|1 " + std::to_string(0x02468ACF)}};
  ExpectOutcomes(onADevice, 1);
}

TEST(StaplArrays, LineOrientedInitialisers) {
  StaplBench bench;
  StaplRun run = bench.Run(
      "BOOLEAN A[4] = 1, 1, 0, 1;\n"
      "BOOLEAN H[8] = HEX 1F;\n"
      "BOOLEAN B[4] = BIN 0011;\n"
      "BOOLEAN R[10] = RLC I4A2Q43;\n"  // 4 ones, 2 zeros, 4 literal bits 0b0011
      "BOOLEAN S[10] = RLC QAz1;\n"     // 10 literal bits: 0b111101, then 0b0001
      "BOOLEAN Z[16] = ACA " +
      Compressed({0xA5, 0x01}).substr(1) +
      ";\n"
      "INTEGER N[2] = 4, 5;\n"
      "PRINT INT(A[3..0]), \" \", INT(H[7..0]), \" \", INT(B[3..0]), \" \", INT(R[9..0]), \" \", "
      "N[0], \" \", INT(S[9..0]), \" \", INT(Z[15..0]);\n"
      "EXIT 0;\n");
  ASSERT_EQ(run.rc, kStaplSuccess) << run.errorLine;
  // Line-oriented data are in text order: the first value is bit 0.
  EXPECT_EQ(run.messages, (std::vector<std::string>{"11 241 12 207 4 125 421"}));
  // A run's letter is one of five in its group; the letter after a group starts no run. A length
  // cut short and anything after the last bit, a byte 0 or one past 0x7F too, are refused.
  const std::pair<std::string, int> runs[] = {
      {"E00004", kStaplSuccess},      {"M00004", kStaplSuccess},
      {"U000040", kStaplSuccess},     {"F000004", kStaplSyntaxError},
      {"N000004", kStaplSyntaxError}, {"V0000040", kStaplSyntaxError},
      {"B4", kStaplSyntaxError},      {std::string("A4\0", 3), kStaplSyntaxError},
      {"A4\x80", kStaplSyntaxError},  {"A4\xFF", kStaplSyntaxError}};
  for (const auto& [data, rc] : runs) {
    EXPECT_EQ(bench.Run("BOOLEAN R[4] = RLC " + data + ";\nEXIT 0;\n").rc, rc) << data;
  }
  // ACA data longer than a statement keep the case of their characters, as shorter ones do.
  std::vector<uint8_t> bytes(9000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  for (const size_t count : {size_t{900}, bytes.size()}) {
    const std::string data = Compressed({bytes.begin(), bytes.begin() + count}).substr(1);
    run = bench.Run("BOOLEAN Z[" + std::to_string(count * 8) + "] = ACA " + data +
                    ";\nPRINT INT(Z[31..0]);\nEXIT 0;\n");
    EXPECT_EQ(Outcome(run), "success|2052403211") << data.size();
  }
}

}  // namespace
