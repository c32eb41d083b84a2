// CStaplStatementReader: reads and normalises one statement at a time, and finds line numbers.
#include "driver/firmware/stapl/statementreader.h"

#include <cctype>

#include "driver/firmware/stapl/staplhost.h"
#include "driver/firmware/stapl/staplresult.h"

namespace zor::firmware {

namespace {

bool KeepsCaseAfterAt(int c) { return std::isalnum(c) || c == ' ' || c == '@' || c == '_'; }

}  // namespace

int CStaplStatementReader::GetChar() {
  const int c = host_.StaplGetChar();
  if (c >= 0) ++position_;
  return c;
}

int CStaplStatementReader::Seek(int32_t position) {
  if (host_.StaplSeek(position) != 0) return kStaplIoError;
  position_ = position;
  return kStaplSuccess;
}

int CStaplStatementReader::Read(std::string& statement, std::string& label) {
  statement.clear();
  label.clear();
  bool inString = false, inComment = false, atData = false, booleanData = false;
  bool labelSeen = false, started = false;
  statementStart_ = position_;
  for (;;) {
    int c = GetChar();
    if (c < 0) return kStaplUnexpectedEnd;
    if (inComment) {
      if (c != '\n' && c != '\r') continue;
      inComment = false;
    }
    if (!inString && c == '\'') {
      inComment = true;
      continue;
    }
    if (c == '"') inString = !inString;
    if (!inString && c != '"') {
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
      if (c == ' ' && (statement.empty() || statement.back() == ' ')) continue;
      if (atData && !KeepsCaseAfterAt(c)) atData = false;
      if (c == '@') atData = true;
      if (c >= 'a' && c <= 'z' && !atData && !booleanData) c = c - 'a' + 'A';
      if (c == ':') {
        if (labelSeen) return kStaplSyntaxError;
        while (!statement.empty() && statement.back() == ' ') statement.pop_back();
        if (statement.size() > kMaxLabel) return kStaplIllegalSymbol;
        label = statement;
        labelSeen = true;
        statement.clear();
        continue;
      }
      if (c == ']' && statement.compare(0, 7, "BOOLEAN") == 0) booleanData = true;
    }
    if (!started) {
      started = true;
      statementStart_ = position_ - 1;
    }
    // Characters past the limit are dropped; a statement cut short has no ";".
    if (statement.size() < kMaxStatement) statement.push_back(static_cast<char>(c));
    if (c == ';' && !inString) {
      statementEnd_ = position_;
      return kStaplSuccess;
    }
  }
}

int32_t CStaplStatementReader::LineOf(int32_t position) {
  if (Seek(0) != kStaplSuccess) return 0;
  int32_t line = 1;
  for (int32_t i = 0; i < position; ++i) {
    const int c = GetChar();
    if (c < 0) break;
    if (c == '\n') ++line;
  }
  return line;
}

int CStaplStatementReader::ReadLongInitialiser(int32_t start, std::string& text) {
  const int32_t resume = statementEnd_;
  int rc = Seek(start);
  if (rc != kStaplSuccess) return rc;
  text.clear();
  bool inComment = false, afterEquals = false, atData = false;
  for (;;) {
    int c = GetChar();
    if (c < 0) return kStaplUnexpectedEnd;
    if (inComment) {
      inComment = c != '\n' && c != '\r';
      continue;
    }
    if (c == '\'') {
      inComment = true;
      continue;
    }
    if (c == ';') break;
    if (!afterEquals) {
      afterEquals = c == '=';
      continue;
    }
    if (c <= ' ') continue;
    if (c == '@') atData = true;
    if (c >= 'a' && c <= 'z' && !atData) c = c - 'a' + 'A';
    text.push_back(static_cast<char>(c));
  }
  return Seek(resume);
}

}  // namespace zor::firmware
