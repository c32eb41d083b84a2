// Checks and defaults of the BSDL parser, on variants of the example device's file.
#include "driver/ieee1532/bsdl/bsdlparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/ieee1532/text/enginestop.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

std::string ExampleBsdl() { return ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd"); }

struct Parsed {
  bool ok = false;
  std::string messages;
  BsdlEntity entity;
};

Parsed ParseText(const std::string& text) {
  ScratchFolder folder;
  MessagePort port;
  Parsed parsed;
  parsed.ok = ParseBsdl(folder.Write("device.bsd", text), parsed.entity);
  parsed.messages = Masked(port.text_);
  return parsed;
}

// The rows of a data file of edits, tab-separated, "\n" standing for a line break.
std::vector<std::vector<std::string>> EditRows(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  for (std::string line : Split(ReadText(TestDataPath("ieee1532/" + name)), '\n')) {
    if (line.empty() || line.rfind("--", 0) == 0) continue;
    for (size_t at; (at = line.find("\\n")) != std::string::npos;) line.replace(at, 2, "\n");
    rows.push_back(Split(line, '\t'));
  }
  return rows;
}

// Edits of the example that parse: pairs of the text replaced and its replacement, then the
// pieces ('|' between them; '!' first: a piece that must not show) of its messages, its dump and
// the description of its flows.
TEST(BsdlParser, AcceptedEditsGiveWhatTheyState) {
  std::string transcripts;
  for (const std::vector<std::string>& row : EditRows("bsdl-accepts.tsv")) {
    SCOPED_TRACE(row.back());
    std::string text = ExampleBsdl();
    for (size_t i = 0; i + 1 < row.size(); i += 2) text = Replace(text, row[i], row[i + 1]);
    Parsed parsed = ParseText(text);
    ASSERT_TRUE(parsed.ok) << parsed.messages;
    MessagePort dump;
    BsdlDumpInfo(parsed.entity);
    const std::string all = parsed.messages + dump.text_ + DescribeFlows(parsed.entity);
    for (const std::string& piece : Split(row.back(), '|')) {
      if (piece[0] == '!') {
        EXPECT_EQ(all.find(piece.substr(1)), std::string::npos) << piece << "\n" << all;
      } else {
        EXPECT_NE(all.find(piece), std::string::npos) << piece << "\n" << all;
      }
    }
    transcripts += "===== " + row.back() + "\n" + all;
  }
  // And whole.
  ExpectRun(transcripts, "bsdl-accepts.txt");
}

// Nested loops are read recursively: a file must not be able to exhaust the stack.
TEST(BsdlParser, StructuralErrorsStopWithTheirMessage) {
  std::vector<std::vector<std::string>> cases = EditRows("bsdl-edits.tsv");
  ASSERT_EQ(cases.size(), 77u);
  std::string loops;
  for (int i = 0; i < 20000; ++i) loops += "(loop max 1 ";
  cases.push_back(
      {"flow_erase initialize (ISC_ERASE WAIT TCK 120)",
       "flow_erase initialize " + loops + "(ISC_ERASE WAIT TCK 120)" + std::string(20000, ')'),
       "Activity lists nested deeper than 64 levels"});
  // The messages of each, whole, with the line and token they stop at.
  std::string transcripts;
  for (const std::vector<std::string>& c : cases) {
    const std::string& message = c.at(2);
    Parsed parsed = ParseText(Replace(ExampleBsdl(), c.at(0), c.at(1)));
    EXPECT_FALSE(parsed.ok) << message;
    EXPECT_NE(parsed.messages.find(message), std::string::npos) << parsed.messages;
    transcripts += "===== " + message + "\n" + parsed.messages;
  }
  ExpectRun(transcripts, "bsdl-edits.txt");
}

TEST(BsdlParser, CutFilesStopCleanly) {
  for (const auto& [text, step] :
       {std::pair{ExampleBsdl(), size_t{37}},
        std::pair{ReadText(TestDataPath("bsdl/m4a3_64_32_xxvc_1532.bsdl")), size_t{701}}}) {
    for (size_t length = 0; length < text.size(); length += step) {
      Parsed parsed = ParseText(text.substr(0, length));
      EXPECT_FALSE(parsed.ok) << length;
      EXPECT_NE(parsed.messages.find("*** Program stopped at"), std::string::npos) << length;
    }
  }
}

}  // namespace
