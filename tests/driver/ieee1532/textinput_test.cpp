// The engine's reader, tokenizer and report function.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscfieldbits.h"
#include "driver/ieee1532/text/iscinputfile.h"
#include "driver/ieee1532/text/iscmessages.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

struct Text {
  explicit Text(const std::string& text, int comment = '-') {
    IscEngineInitGlobals();
    InputFileInit(record, "text");
    InputFileSetText(record, text);
    record.commentChar = comment;
  }
  std::vector<std::string> Tokens() {
    std::vector<std::string> tokens;
    while (true) {
      InputFileNextToken(record, kIscTokenSkipSpace);
      if (record.eof) return tokens;
      tokens.push_back(record.token);
    }
  }
  IscInputFile record;
};

class TextInput : public testing::Test {
 protected:
  MessagePort port_;
};

TEST_F(TextInput, CommentsAndSingleDashes) {
  EXPECT_EQ(Text("a -- note\nb - c").Tokens(), (std::vector<std::string>{"a", "b", "-", "c"}));
  EXPECT_EQ(Text("a // note\nb / c", '/').Tokens(), (std::vector<std::string>{"a", "b", "/", "c"}));
  EXPECT_EQ(Text("x-y", '-').Tokens(), (std::vector<std::string>{"x", "-", "y"}));
  // A name or number that ends the text is still a token.
  EXPECT_EQ(Text("12ab 3.5 last").Tokens(),
            (std::vector<std::string>{"12ab", "3", ".", "5", "last"}));
  // Kinds: name, space kept, number, punctuation, other.
  Text kinds("a 1;\x01 1_2");
  std::vector<int> seen;
  while (InputFileNextToken(kinds.record, kIscTokenKeepSpace), !kinds.record.eof) {
    seen.push_back(kinds.record.tokenKind);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 3, 0, 2, 4, 3, 1}));  // digits with a '_' make a name
}

TEST_F(TextInput, NameLengthLimit) {
  EXPECT_EQ(Text(std::string(197, 'n')).Tokens().front().size(), 197u);
  Text tooLong(std::string(198, 'n') + " x");
  EXPECT_THROW(tooLong.Tokens(), EngineStop);
  Text longNumber(std::string(199, '7'));
  EXPECT_THROW(longNumber.Tokens(), EngineStop);
  EXPECT_EQ(Masked(port_.text_),
            "Error  : xParseData bufsize err [198]\n[text: line 1]:[" + std::string(198, 'n') +
                "]\n*** Program stopped at DATE\n\nError  : xParseNumData err [199]\n"
                "[text: line 1]:[" +
                std::string(199, '7') + "]\n*** Program stopped at DATE\n\n");
}

TEST_F(TextInput, ExpectedWordsAndCharacters) {
  Text text("  is  x ; y");
  InputFileExpectWord(text.record, "IS", false);
  InputFileExpectChar(text.record, ';', true);
  EXPECT_THROW(InputFileExpectChar(text.record, 'q', false), EngineStop);
  Text words("a b c");
  EXPECT_THROW(InputFileExpectWord(words.record, "d", true), EngineStop);
  // Without searching only the next word or character counts.
  Text next("a b");
  EXPECT_THROW(InputFileExpectWord(next.record, "b", false), EngineStop);
  Text nextChar("x;");
  EXPECT_THROW(InputFileExpectChar(nextChar.record, ';', false), EngineStop);
  EXPECT_EQ(Masked(port_.text_),
            "Error  : Char [q] not found\n[text: line 1]:[is]\n*** Program stopped at DATE\n\n"
            "Error  : [d] not found\n[text: line 1]:[ ]\n*** Program stopped at DATE\n\n"
            "Error  : [b] not found\n[text: line 1]:[a]\n*** Program stopped at DATE\n\n"
            "Error  : Char [;] not found\n[text: line 1]:[]\n*** Program stopped at DATE\n\n");
}

TEST_F(TextInput, ReadingPastTheEndStops) {
  Text text("a");
  InputFileNextToken(text.record, kIscTokenSkipSpace);
  InputFileNextToken(text.record, kIscTokenSkipSpace);
  EXPECT_TRUE(text.record.eof);
  EXPECT_THROW(InputFileNextToken(text.record, kIscTokenSkipSpace), EngineStop);
  EXPECT_EQ(Masked(port_.text_),
            "Error  : EOF_dp buf\n[text: line 1]:[ ]\n*** Program stopped at DATE\n\n");
}

// The kind, real and integer value each number gives, or "stop".
TEST_F(TextInput, NumberSyntax) {
  const char* const inputs[] = {"25.0e-1 ", "10.00e6)", "1e3 ",  "42 x",   "; ",
                                "7.5",      "-3",       "2.0ex", "2.5xe3 "};
  const char* const results[] = {"110 2.5 2", "110 1e+07 10000000", "110 1000 1000", "111 42 42",
                                 "112 0 0",   "110 7.5 7",          "stop",          "stop",
                                 "stop"};
  for (size_t i = 0; i < std::size(inputs); ++i) {
    Text text(inputs[i], 0);
    double real = 0;
    int64_t integer = 0;
    char seen[64] = "stop";
    try {
      int kind = InputFileReadNumber(text.record, real, integer);
      snprintf(seen, sizeof(seen), "%d %g %ld", kind, real, static_cast<long>(integer));
    } catch (const EngineStop&) {
    }
    EXPECT_EQ(std::string(seen), results[i]) << inputs[i];
  }
  const std::string syntax = "Error  : Use the ff number syntax: digits[.digits][e[+|-]digits]\n";
  EXPECT_EQ(
      Masked(port_.text_),
      "Error  : Positive number expected\n[text: line 1]:[-]\n*** Program stopped at DATE\n\n" +
          syntax + "[text: line 1]:[0ex]\n*** Program stopped at DATE\n\n" + syntax +
          "[text: line 1]:[5xe3]\n*** Program stopped at DATE\n\n");
}

TEST_F(TextInput, ReportsCutAtTheMessageBufferAndErrorsStop) {
  Text text("token");
  InputFileNextToken(text.record, kIscTokenSkipSpace);
  std::string longText(1000, 'w');
  IscReportf(kIscWarning, true, &text.record, "%s", longText.c_str());
  EXPECT_EQ(text.record.warnings, 1);
  size_t start = port_.text_.find("Warning: ");
  ASSERT_NE(start, std::string::npos);
  EXPECT_EQ(port_.text_.find('\n', start) - start, 298u);  // a buffer of 299 with its end
  EXPECT_TRUE(port_.Saw("[text: line 1]:[token]"));

  // Without a record no prefix and nothing counted; without the line no line.
  port_.text_.clear();
  IscReportMessage(kIscWarning, "quiet", true, nullptr);
  EXPECT_THROW(IscReportMessage(kIscError, "stop", false, &text.record), EngineStop);
  const std::string expected = "quiet\nError  : stop\n*** Program stopped at ";
  EXPECT_EQ(port_.text_.substr(0, expected.size()), expected);
  EXPECT_EQ(text.record.warnings, 1);
  // A range holds both its bounds.
  IscCheckRange(kIscError, "r", 2, 2, 3);
  IscCheckRange(kIscError, "r", 2, 3, 3);
  EXPECT_THROW(IscCheckRange(kIscError, "r", 2, 1, 3), EngineStop);
  EXPECT_THROW(IscCheckRange(kIscError, "r", 2, 4, 3), EngineStop);
  EXPECT_EQ(Missing(port_.text_, {"[r] range[2 <= 1 <= 3]", "[r] range[2 <= 4 <= 3]"}), "");
  port_.text_.clear();
  EXPECT_THROW(IscReportMessage(kIscError, "plain", false, nullptr), EngineStop);
  EXPECT_EQ(port_.text_.find("plain\n"), 0u);  // no prefix without a record
  EXPECT_TRUE(port_.Saw("*** Program stopped at "));
  // Lines by their flags; a long one reaches the port in pieces of 499 characters.
  const std::string pad77(77, ' ');
  const std::pair<int, std::string> lines[] = {
      {kIscLineClear, "\r" + pad77 + "  \r"},
      {kIscLineStatus, "\rab" + pad77},
      {kIscLineStatus | kIscLineReturnAfter, "\rab" + pad77 + "\r"},
      {kIscLineBreakFirst | kIscLineBreakAfter, "\nab\n"},
      {kIscLineReturnAfter, "ab\r"},
  };
  for (const auto& [flags, expected] : lines) {
    port_.text_.clear();
    IscWriteMessageLine("ab", flags);
    EXPECT_EQ(port_.text_, expected) << flags;
  }
  port_.text_.clear(), port_.pieces_ = 0;
  IscMessagef(kIscLineBreakFirst, "%s", std::string(997, 'p').c_str());
  EXPECT_EQ(port_.text_, "\n" + std::string(997, 'p'));
  EXPECT_EQ(port_.pieces_, 2u);
}

TEST_F(TextInput, CommandTextFromThePortCountsItsLines) {
  port_.commandSource_ = 0;
  port_.lines_[0].Assign("first;");
  port_.lines_[1].Assign("second ?");
  IscEngineInitGlobals();
  IscInputFile record;
  InputFileInit(record, "");
  std::vector<std::string> tokens;
  while (true) {
    InputFileNextToken(record, kIscTokenSkipSpace);
    if (record.eof) break;
    tokens.push_back(record.token);
    if (record.token == "?") {
      EXPECT_EQ(record.line, 2);
    }
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"first", ";", "second", "?"}));
}

TEST_F(TextInput, WriteBufferKeepsEveryPiece) {
  ScratchFolder folder;
  IscEngineInitGlobals();
  IscGetSettings().writeBufferSize = 1024;
  IscInputFile out;
  InputFileInit(out, folder.Path("out.txt"));
  auto files = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  const auto before = files();
  InputFileReopen(out, "w");
  InputFileReopen(out, "w");  // closes the first stream
  EXPECT_EQ(files(), before + 1);
  std::string expected;
  for (int i = 0; i < 500; ++i) {
    std::string piece = std::to_string(i) + ",";
    InputFileWrite(out, 0, piece.c_str());
    expected += piece;
  }
  InputFileWrite(out, 1, "");
  InputFileClose(out);
  EXPECT_EQ(files(), before);
  EXPECT_EQ(ReadText(folder.Path("out.txt")), expected);
  EXPECT_THROW(InputFileWrite(out, 7, ""), EngineStop);
  // Field records: words from the top, a line break once a line passes 64 columns.
  IscInputFile records;
  InputFileInit(records, folder.Path("records.txt"));
  InputFileReopen(records, "w");
  IscWriteFieldRecord(records, std::string(300, '1'));
  IscWriteFieldRecord(records, "0011");
  IscWriteFieldRecord(records, std::string(33, '0'));  // the top word's leading zeros too
  InputFileWrite(records, 1, "");
  InputFileClose(records);
  std::string seven;
  for (int i = 0; i < 7; ++i) seven += "FFFFFFFF ";
  EXPECT_EQ(ReadText(folder.Path("records.txt")),
            "FFF " + seven + "\nFFFFFFFF FFFFFFFF ,\n3 ,\n0 00000000 ");
}

}  // namespace
